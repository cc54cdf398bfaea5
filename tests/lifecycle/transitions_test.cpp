#include <functional>

#include "lifecycle_test.h"

namespace quorlane::test {
namespace {

using Transitions = LifecycleTest;

const std::string kSelectF1 = "SELECT * FROM Cotizacion WHERE Ct_Folio = 'F1' ORDER BY Ct_ID";

// Operators OP1, OP2, ... one per question, to see that each column asks anew.
void number_operators(FakeHost& host) {
  auto n = std::make_shared<int>(0);
  host.on("cSistema", "Operador_Actual",
          [n](std::vector<Variant>&) { return Variant("OP" + std::to_string(++*n)); });
}

TEST_F(Transitions, CancelStampsFirstWritesBothTablesThenTheHistoryEntry) {
  add_line("F1", "0001", "AU");
  number_operators(*host);
  set_quote_row("2026-11-30", "C1");
  std::string folio = "F1";
  leave_error();

  EXPECT_TRUE(quote->Cancelar_Cotizacion(folio));

  const std::string lines =
      "UPDATE Cotizacion SET  Es_Cve_Estado = 'CA',  Oper_Ult_Modif = 'OP1',  "
      "Fecha_Ult_Modif = '2026-12-05 10:30:00',  Oper_Baja = 'OP2',  "
      "Fecha_Baja = '2026-12-05 10:30:00'  WHERE Ct_Folio = 'F1'";
  const std::string header =
      "UPDATE Cotizacion_Encabezado SET Es_Cve_Estado = 'CA', Oper_Ult_Modif = 'OP3', "
      "Fecha_Ult_Modif = '2026-12-05 10:30:00', Oper_Baja = 'OP4', "
      "Fecha_Baja = '2026-12-05 10:30:00' WHERE Ct_Folio = 'F1'";
  EXPECT_EQ(
      take_calls(),
      (std::vector<std::string>{
          "cDatos.Fecha_Servidor() -> #2026-12-05 10:30:00#",
          "cDatos.Fecha_SQL(#2026-12-05 10:30:00#) -> \"2026-12-05 10:30:00\"",
          "cSistema.Conexion()",
          execute_call(kSelectF1),
          "cSistema.Operador_Actual() -> \"OP1\"",
          "cSistema.Operador_Actual() -> \"OP2\"",
          "cSistema.Conexion()",
          execute_call(lines),
          "cSistema.Operador_Actual() -> \"OP3\"",
          "cSistema.Operador_Actual() -> \"OP4\"",
          "cSistema.Conexion()",
          execute_call(header),
          "cDatos.Obtener_Campo(\"Cotizacion\", \"Ct_Folio\", \"F1\", \"Ct_Fecha\", 0, \"\", "
          "\"\", \"\") -> \"2026-11-30\"",
          "cDatos.Obtener_Campo(\"Cotizacion\", \"Ct_Folio\", \"F1\", \"Cl_Cve_Cliente\", 0, "
          "\"\", \"\", \"\") -> \"C1\"",
          "cDatos.Registrar_Seguimiento(\"CRM\", \"COTIZACION\", \"F1\", \"CLIENTE\", \"C1\", "
          "#2026-11-30#, \"Baja de cotización\") -> True",
      }));
  // The status query's result is closed before the updates.
  EXPECT_EQ(events, (std::vector<std::string>{kSelectF1, "Close", lines, header}));
  // The history entry empties m_Error.
  EXPECT_EQ(quote->get_Error(), "");
  EXPECT_EQ(folio, "F1");
}

TEST_F(Transitions, AuthoriseAndRejectWriteTheirCodeAndKeepTheEarlierError) {
  struct Case {
    std::function<bool(std::string&)> run;
    const char* code;
  };
  for (const Case& c :
       {Case{[&](std::string& f) { return quote->Autorizar_Cotizacion(f); }, "AU"},
        Case{[&](std::string& f) { return quote->Rechazar_Cotizacion(f); }, "RZ"}}) {
    SCOPED_TRACE(c.code);
    status_rows.clear();
    add_line("F1", "0001", "AC");
    number_operators(*host);
    std::string earlier = leave_error();
    std::string folio = "F1";

    EXPECT_TRUE(c.run(folio));

    std::string code = c.code;
    const std::string lines = "UPDATE Cotizacion SET Es_Cve_Estado = '" + code +
                              "', Oper_Ult_Modif = 'OP1', Fecha_Ult_Modif = "
                              "'2026-12-05 10:30:00' WHERE Ct_Folio = 'F1'";
    const std::string header = "UPDATE Cotizacion_Encabezado SET Es_Cve_Estado = '" + code +
                               "', Oper_Ult_Modif = 'OP2', Fecha_Ult_Modif = "
                               "'2026-12-05 10:30:00' WHERE Ct_Folio = 'F1'";
    EXPECT_EQ(take_calls(),
              (std::vector<std::string>{
                  "cDatos.Fecha_Servidor() -> #2026-12-05 10:30:00#",
                  "cDatos.Fecha_SQL(#2026-12-05 10:30:00#) -> \"2026-12-05 10:30:00\"",
                  "cSistema.Conexion()",
                  execute_call(kSelectF1),
                  "cSistema.Operador_Actual() -> \"OP1\"",
                  "cSistema.Conexion()",
                  execute_call(lines),
                  "cSistema.Operador_Actual() -> \"OP2\"",
                  "cSistema.Conexion()",
                  execute_call(header),
              }));
    EXPECT_EQ(events, (std::vector<std::string>{kSelectF1, "Close", lines, header}));
    EXPECT_EQ(quote->get_Error(), earlier);
  }
}

TEST_F(Transitions, DeleteAsksNoStampNorOperatorAndLeavesTheHeaderRow) {
  add_line("F1", "0001", "AC");
  std::string earlier = leave_error();
  std::string folio = "F1";

  EXPECT_TRUE(quote->Eliminar_Cotizacion(folio));

  const std::string lines = "DELETE Cotizacion WHERE Ct_Folio = 'F1'";
  const std::string descriptions =
      "DELETE Documento_Descripcion_Extendida WHERE Dd_Tabla = 'COTIZACION' AND "
      "Dd_Documento = 'F1'";
  EXPECT_EQ(take_calls(), (std::vector<std::string>{
                              "cSistema.Conexion()",
                              execute_call(kSelectF1),
                              "cSistema.Conexion()",
                              execute_call(lines),
                              "cSistema.Conexion()",
                              execute_call(descriptions),
                          }));
  EXPECT_EQ(events, (std::vector<std::string>{kSelectF1, "Close", lines, descriptions}));
  EXPECT_EQ(quote->get_Error(), earlier);
}

// The four by name, for the cases that hold for all of them.
struct Named {
  const char* name;
  bool (Cotizacion::*run)(std::string&);
};
const Named kAll[] = {{"Eliminar", &Cotizacion::Eliminar_Cotizacion},
                      {"Cancelar", &Cotizacion::Cancelar_Cotizacion},
                      {"Autorizar", &Cotizacion::Autorizar_Cotizacion},
                      {"Rechazar", &Cotizacion::Rechazar_Cotizacion}};

TEST_F(Transitions, AFolioWithoutRowsCannotBeFound) {
  for (const Named& t : kAll) {
    SCOPED_TRACE(t.name);
    leave_error();
    std::string folio = "F9";
    EXPECT_FALSE(((*quote).*t.run)(folio));
    EXPECT_EQ(quote->get_Error(), "Imposible localizar la cotización: F9");
    EXPECT_EQ(events,
              (std::vector<std::string>{
                  "SELECT * FROM Cotizacion WHERE Ct_Folio = 'F9' ORDER BY Ct_ID", "Close"}));
  }
}

TEST_F(Transitions, TheFirstLineRowDecidesAndARefusalCarriesNoSourceLine) {
  // The first row by line id is cancelled; a later one is still open.
  add_line("F1", "0001", "CA");
  add_line("F1", "0002", "AC");
  const std::pair<const char*, std::string> expected[] = {
      {"Eliminar", "Imposible eliminar la cotización: F1, con estado: CA"},
      {"Cancelar", "Imposible cancelar la cotización: F1, con estado = 'CA'"},
      {"Autorizar", "Imposible autorizar la cotización: F1, con estado: CA"},
      {"Rechazar", "Imposible rechazar la cotización: F1, con estado: CA"}};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(kAll[i].name);
    leave_error();
    std::string folio = "F1";
    EXPECT_FALSE(((*quote).*kAll[i].run)(folio));
    EXPECT_EQ(quote->get_Error(), expected[i].second);
    EXPECT_EQ(events, (std::vector<std::string>{kSelectF1, "Close"}));
    EXPECT_TRUE(take_calls("cSistema.Operador_Actual").empty());
  }

  // An authorised quote is refused by the others with its own code, and can be cancelled.
  status_rows = {{"F1", "0001", "AU"}};
  set_quote_row("2026-11-30", "C1");
  std::string folio = "F1";
  EXPECT_FALSE(quote->Rechazar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Imposible rechazar la cotización: F1, con estado: AU");
  EXPECT_TRUE(quote->Cancelar_Cotizacion(folio));
}

TEST_F(Transitions, ANullStatusIsNeitherOpenNorCancelled) {
  add_line("F1", "0001", Variant::null());
  std::string folio = "F1";
  EXPECT_FALSE(quote->Autorizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Imposible autorizar la cotización: F1, con estado: ");
  EXPECT_FALSE(quote->Rechazar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Imposible rechazar la cotización: F1, con estado: ");
  EXPECT_FALSE(quote->Eliminar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Imposible eliminar la cotización: F1, con estado: ");
  events.clear();

  set_quote_row("2026-11-30", "C1");
  EXPECT_TRUE(quote->Cancelar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "");
  ASSERT_EQ(events.size(), 4u);
  EXPECT_TRUE(events[2].starts_with("UPDATE Cotizacion SET  Es_Cve_Estado = 'CA',"));
}

TEST_F(Transitions, AFailureAfterTheErrorExitIsArmedGivesTwoLineBreaks) {
  // The second update fails: the first stays done, nothing runs after it.
  add_line("F1", "0001", "AC");
  std::string folio = "F1";
  boundary->fail("Connection", "Execute", 3, "Violación de clave");
  EXPECT_FALSE(quote->Autorizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Quorlane.dll - Autorizar_Cotizacion()\r\n\r\nViolación de clave");
  ASSERT_EQ(events.size(), 3u);
  EXPECT_TRUE(events[2].starts_with("UPDATE Cotizacion SET "));

  // Cancellation: the second update fails, so no history entry is written.
  events.clear();
  take_calls();
  boundary->fail("Connection", "Execute", 3, "Tiempo de espera agotado");
  EXPECT_FALSE(quote->Cancelar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Cancelar_Cotizacion()\r\n\r\nTiempo de espera agotado");
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(take_calls("cDatos.Registrar_Seguimiento"), std::vector<std::string>{});

  // Deletion: the status column cannot be read.
  status_rows.clear();
  events.clear();
  host->on_execute([](const std::string&) { return rows({"Ct_Folio"}, {{"F1"}}); });
  EXPECT_FALSE(quote->Eliminar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Eliminar_Cotizacion()\r\n\r\n"
            "No se encontró el elemento en la colección: Es_Cve_Estado");
}

TEST_F(Transitions, AFailingTimestampReachesTheCaller) {
  add_line("F1", "0001", "AC");
  std::string earlier = leave_error();
  std::string folio = "F1";
  boundary->fail("cDatos", "Fecha_Servidor", 1, "Servidor no disponible");
  EXPECT_THROW(quote->Cancelar_Cotizacion(folio), Failure);
  boundary->fail("cDatos", "Fecha_SQL", 1, "Fecha no válida");
  EXPECT_THROW(quote->Autorizar_Cotizacion(folio), Failure);
  boundary->fail("cDatos", "Fecha_Servidor", 1, "Servidor no disponible");
  EXPECT_THROW(quote->Rechazar_Cotizacion(folio), Failure);
  EXPECT_EQ(quote->get_Error(), earlier);
  EXPECT_TRUE(events.empty());
}

TEST_F(Transitions, AFailingHistoryEntryLeavesTheQuoteCancelled) {
  add_line("F1", "0001", "AC");
  std::string folio = "F1";
  set_quote_row("2026-11-30", "C1");
  host->set("cDatos", "Registrar_Seguimiento", false);
  host->set("cDatos", "Ultimo_Error", "Cliente sin historial");
  EXPECT_FALSE(quote->Cancelar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Cancelar_Cotizacion()\r\nCrm_Historial_Seguimiento()\r\n"
            "Cliente sin historial");
  EXPECT_EQ(events.size(), 4u);  // both updates ran
}

TEST_F(Transitions, AnApostropheIsDoubledInEveryStatementButNotInMessages) {
  add_line("O'Neil", "0001", "AC");
  host->set("cSistema", "Operador_Actual", "D'Arcy");
  std::string folio = "O'Neil";
  EXPECT_TRUE(quote->Autorizar_Cotizacion(folio));
  EXPECT_EQ(events,
            (std::vector<std::string>{
                "SELECT * FROM Cotizacion WHERE Ct_Folio = 'O''Neil' ORDER BY Ct_ID", "Close",
                "UPDATE Cotizacion SET Es_Cve_Estado = 'AU', Oper_Ult_Modif = 'D''Arcy', "
                "Fecha_Ult_Modif = '2026-12-05 10:30:00' WHERE Ct_Folio = 'O''Neil'",
                "UPDATE Cotizacion_Encabezado SET Es_Cve_Estado = 'AU', Oper_Ult_Modif = "
                "'D''Arcy', Fecha_Ult_Modif = '2026-12-05 10:30:00' WHERE Ct_Folio = 'O''Neil'"}));
  EXPECT_EQ(folio, "O'Neil");

  events.clear();
  status_rows = {{"O'Neil", "0001", "AC"}};
  EXPECT_TRUE(quote->Eliminar_Cotizacion(folio));
  EXPECT_EQ(events[2], "DELETE Cotizacion WHERE Ct_Folio = 'O''Neil'");
  EXPECT_EQ(events[3],
            "DELETE Documento_Descripcion_Extendida WHERE Dd_Tabla = 'COTIZACION' AND "
            "Dd_Documento = 'O''Neil'");

  events.clear();
  status_rows = {{"O'Neil", "0001", "AU"}};
  set_quote_row("2026-11-30", "C1");
  EXPECT_TRUE(quote->Cancelar_Cotizacion(folio));
  ASSERT_EQ(events.size(), 4u);
  for (const std::string& update : {events[2], events[3]}) {
    EXPECT_NE(update.find(" Oper_Baja = 'D''Arcy', "), std::string::npos) << update;
    EXPECT_TRUE(update.ends_with(" WHERE Ct_Folio = 'O''Neil'")) << update;
  }

  status_rows = {{"O'Neil", "0001", "CA"}};
  EXPECT_FALSE(quote->Cancelar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Imposible cancelar la cotización: O'Neil, con estado = 'CA'");
}

}  // namespace
}  // namespace quorlane::test
