// Status transitions by folio. The whole call sequences of each transition and of a refused
// history entry, the refusals of a quote not found, authorised, rejected or cancelled (the first
// line row deciding) and a failing clock in cancellation are compared by the end-to-end scripts;
// these tests add what a database cannot show.
#include "lifecycle_test.h"

namespace quorlane::test {
namespace {

using Transitions = LifecycleTest;
using Transition = bool (Cotizacion::*)(std::string&);

// Every transition below runs on a folio and under operators with an apostrophe, doubled in the
// statements and kept as it is in the messages.
const std::string kSelect = "SELECT * FROM Cotizacion WHERE Ct_Folio = 'O''Neil' ORDER BY Ct_ID";

// Operators D'Arcy1, D'Arcy2, ... one per question, to see that each column asks anew.
void number_operators(FakeHost& host) {
  auto n = std::make_shared<int>(0);
  host.on("cSistema", "Operador_Actual",
          [n](std::vector<Variant>&) { return Variant("D'Arcy" + std::to_string(++*n)); });
}

// The two updates of an authorisation or a rejection.
std::vector<std::string> approval(const std::string& code) {
  return {"UPDATE Cotizacion SET Es_Cve_Estado = '" + code + "', Oper_Ult_Modif = 'D''Arcy1', " +
              "Fecha_Ult_Modif = '2026-12-05 10:30:00' WHERE Ct_Folio = 'O''Neil'",
          "UPDATE Cotizacion_Encabezado SET Es_Cve_Estado = '" + code +
              "', Oper_Ult_Modif = 'D''Arcy2', Fecha_Ult_Modif = '2026-12-05 10:30:00' WHERE "
              "Ct_Folio = 'O''Neil'"};
}

TEST_F(Transitions, StatusQueryIsClosedBeforeTheStatementsAndEachColumnAsksTheOperator) {
  struct Case {
    const char* name;
    Transition run;
    Variant status;
    std::vector<std::string> statements;
    bool keeps_error;  // a cancellation's history entry empties Error
  };
  const Case cases[] = {
      {"Cancelar (a Null status is neither open nor cancelled)",
       &Cotizacion::Cancelar_Cotizacion,
       Variant::null(),
       {"UPDATE Cotizacion SET  Es_Cve_Estado = 'CA',  Oper_Ult_Modif = 'D''Arcy1',  "
        "Fecha_Ult_Modif = '2026-12-05 10:30:00',  Oper_Baja = 'D''Arcy2',  "
        "Fecha_Baja = '2026-12-05 10:30:00'  WHERE Ct_Folio = 'O''Neil'",
        "UPDATE Cotizacion_Encabezado SET Es_Cve_Estado = 'CA', Oper_Ult_Modif = 'D''Arcy3', "
        "Fecha_Ult_Modif = '2026-12-05 10:30:00', Oper_Baja = 'D''Arcy4', "
        "Fecha_Baja = '2026-12-05 10:30:00' WHERE Ct_Folio = 'O''Neil'"},
       false},
      {"Autorizar", &Cotizacion::Autorizar_Cotizacion, "AC", approval("AU"), true},
      {"Rechazar", &Cotizacion::Rechazar_Cotizacion, "AC", approval("RZ"), true},
      {"Eliminar",
       &Cotizacion::Eliminar_Cotizacion,
       "AC",
       {"DELETE Cotizacion WHERE Ct_Folio = 'O''Neil'",
        "DELETE Documento_Descripcion_Extendida WHERE Dd_Tabla = 'COTIZACION' AND "
        "Dd_Documento = 'O''Neil'"},
       true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    status_rows = {{"O'Neil", "0001", c.status}};
    number_operators(*host);
    std::string earlier = leave_error();
    std::string folio = "O'Neil";
    EXPECT_TRUE(((*quote).*c.run)(folio));
    std::vector<std::string> expected = {kSelect, "Close"};
    expected.insert(expected.end(), c.statements.begin(), c.statements.end());
    EXPECT_EQ(events, expected);
    EXPECT_EQ(quote->get_Error(), c.keeps_error ? earlier : "");
    EXPECT_EQ(folio, "O'Neil");
  }
}

TEST_F(Transitions, TheFirstLineRowDecidesAndARefusalCarriesNoSourceLine) {
  const Transition eliminar = &Cotizacion::Eliminar_Cotizacion,
                   cancelar = &Cotizacion::Cancelar_Cotizacion,
                   autorizar = &Cotizacion::Autorizar_Cotizacion,
                   rechazar = &Cotizacion::Rechazar_Cotizacion;
  // The first row by line id is cancelled; a later one is still open.
  const std::vector<std::vector<Variant>> cancelled = {{"O'Neil", "0001", "CA"},
                                                       {"O'Neil", "0002", "AC"}};
  const std::vector<std::vector<Variant>> none, null = {{"O'Neil", "0001", Variant::null()}};
  const std::tuple<const std::vector<std::vector<Variant>>&, Transition, const char*> cases[] = {
      {none, eliminar, "Imposible localizar la cotización: O'Neil"},
      {cancelled, cancelar, "Imposible cancelar la cotización: O'Neil, con estado = 'CA'"},
      {cancelled, rechazar, "Imposible rechazar la cotización: O'Neil, con estado: CA"},
      {null, autorizar, "Imposible autorizar la cotización: O'Neil, con estado: "},
      {null, rechazar, "Imposible rechazar la cotización: O'Neil, con estado: "},
      {null, eliminar, "Imposible eliminar la cotización: O'Neil, con estado: "}};
  for (const auto& [rows, run, error] : cases) {
    SCOPED_TRACE(error);
    status_rows = rows;
    leave_error();
    std::string folio = "O'Neil";
    EXPECT_FALSE(((*quote).*run)(folio));
    EXPECT_EQ(quote->get_Error(), error);
    EXPECT_EQ(events, (std::vector<std::string>{kSelect, "Close"}));
    EXPECT_TRUE(take_calls("cSistema.Operador_Actual").empty());
  }
}

// A failing timestamp comes before the error exit is armed: it reaches the caller and leaves
// Error as it was. A failure after it is armed gives two line breaks.
TEST_F(Transitions, FailuresBeforeTheErrorExitReachTheCallerAndAfterItGiveTwoLineBreaks) {
  status_rows = {{"F1", "0001", "AC"}};
  std::string earlier = leave_error();
  std::string folio = "F1";
  const std::tuple<Transition, const char*, const char*> cases[] = {
      {&Cotizacion::Autorizar_Cotizacion, "Fecha_SQL", "Fecha no válida"},
      {&Cotizacion::Rechazar_Cotizacion, "Fecha_Servidor", "Servidor no disponible"}};
  for (const auto& [run, operation, description] : cases) {
    boundary->fail("cDatos", operation, 1, description);
    EXPECT_THROW(((*quote).*run)(folio), Failure) << operation;
  }
  EXPECT_EQ(quote->get_Error(), earlier);
  EXPECT_TRUE(events.empty());

  // Cancellation: the second update fails, so no history entry is written.
  boundary->fail("Connection", "Execute", 3, "Tiempo de espera agotado");
  EXPECT_FALSE(quote->Cancelar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Cancelar_Cotizacion()\r\n\r\nTiempo de espera agotado");
  ASSERT_EQ(events.size(), 3u);
  EXPECT_TRUE(events[2].starts_with("UPDATE Cotizacion SET "));
  EXPECT_EQ(take_calls("cDatos.Registrar_Seguimiento"), std::vector<std::string>{});

  // Deletion: the status column cannot be read.
  host->on_execute([](const std::string&) { return rows({"Ct_Folio"}, {{"F1"}}); });
  EXPECT_FALSE(quote->Eliminar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Eliminar_Cotizacion()\r\n\r\n"
            "No se encontró el elemento en la colección: Es_Cve_Estado");
}

}  // namespace
}  // namespace quorlane::test
