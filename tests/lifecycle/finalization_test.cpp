#include "lifecycle/lifecycle.h"
#include "lifecycle_test.h"

namespace quorlane::test {
namespace {

using Finalisation = LifecycleTest;

std::string totals_query(const std::string& quoted_folio) {
  return "SELECT    ISNULL(SUM(Ct_Precio_Lista_Importe),0) as Ct_Precio_Lista_Importe,    "
         "ISNULL(SUM(Ct_Descuento_Importe),0) as Ct_Descuento_Importe,   "
         "ISNULL(SUM(Ct_Impuesto_Importe),0) as Ct_Impuesto_Importe,   "
         "ISNULL(SUM(Ct_Precio_Descontado_Importe),0) as Ct_Precio_Descontado_Importe,    "
         "ISNULL(SUM(Ct_Descuento_Global_Importe),0) as Ct_Descuento_Global_Importe "
         "FROM Cotizacion WHERE Ct_Folio = '" +
         quoted_folio + "' ";
}

TEST(BankersRounding, HalfWayGoesToTheEvenDigitOnTheDecimalValue) {
  EXPECT_EQ(round_half_even(0.125, 2), 0.12);
  EXPECT_EQ(round_half_even(0.375, 2), 0.38);
  EXPECT_EQ(round_half_even(0.126, 2), 0.13);
  EXPECT_EQ(round_half_even(0.135, 2), 0.14);
  EXPECT_EQ(round_half_even(0.145, 2), 0.14);
  // Binary values a little below (2.675, 1.015, 0.285) or above (0.065) the half still count
  // as half.
  EXPECT_EQ(round_half_even(2.675, 2), 2.68);
  EXPECT_EQ(round_half_even(1.015, 2), 1.02);
  EXPECT_EQ(round_half_even(0.285, 2), 0.28);
  EXPECT_EQ(round_half_even(0.065, 2), 0.06);
  EXPECT_EQ(round_half_even(1.005, 2), 1.0);
  EXPECT_EQ(round_half_even(-0.125, 2), -0.12);
  EXPECT_EQ(round_half_even(-0.375, 2), -0.38);
  EXPECT_EQ(round_half_even(9.995, 2), 10.0);
  EXPECT_EQ(round_half_even(0.005, 2), 0.0);
  EXPECT_EQ(round_half_even(0.015, 2), 0.02);
  EXPECT_EQ(round_half_even(0.0051, 2), 0.01);
  EXPECT_EQ(round_half_even(0.0004, 2), 0.0);
  EXPECT_EQ(round_half_even(123.454999, 2), 123.45);
  EXPECT_EQ(round_half_even(16, 2), 16.0);
  EXPECT_EQ(round_half_even(0, 2), 0.0);
  EXPECT_EQ(round_half_even(1.0 / 3, 2), 0.33);
  EXPECT_EQ(round_half_even(1e20, 2), 1e20);
  EXPECT_EQ(round_half_even(1234567.125, 2), 1234567.12);
}

TEST_F(Finalisation, TotalsTheLinesIntoTheHeaderThenHistoryThenRegistration) {
  set_totals(120, 20, 16, 100, 10);
  set_quote_row("2026-11-30", "C1");
  // Redondear's own answer shows that N is built from it, not from D - G.
  host->set("cDatos", "Redondear", 90.004);
  leave_error();
  std::string folio = "F1";

  EXPECT_TRUE(quote->Finalizar_Cotizacion(folio));

  const std::string update =
      "UPDATE Cotizacion_Encabezado SET    Ct_Descuento_Global_Importe = 10,   "
      "Ct_Precio_Lista_Importe = 120,   Ct_Descuento_Importe = 20,   "
      "Ct_Precio_Descontado_Importe = 100,   Ct_Impuesto_Importe = 16,   "
      "Ct_Precio_Neto_Importe = 106.004 WHERE    Ct_Folio = 'F1' ";
  std::vector<CallRecord> calls = boundary->take_calls();
  std::vector<std::string> texts;
  for (const CallRecord& c : calls) texts.push_back(call_text(c));
  EXPECT_EQ(texts,
            (std::vector<std::string>{
                "cSistema.Conexion()",
                execute_call(totals_query("F1")),
                "cDatos.Redondear(90, 2) -> 90.004",
                "cSistema.Conexion()",
                execute_call(update),
                "cDatos.Obtener_Campo(\"Cotizacion\", \"Ct_Folio\", \"F1\", \"Ct_Fecha\", 0, "
                "\"\", \"\", \"\") -> \"2026-11-30\"",
                "cDatos.Obtener_Campo(\"Cotizacion\", \"Ct_Folio\", \"F1\", "
                "\"Cl_Cve_Cliente\", 0, \"\", \"\", \"\") -> \"C1\"",
                "cDatos.Registrar_Seguimiento(\"CRM\", \"COTIZACION\", \"F1\", \"CLIENTE\", "
                "\"C1\", #2026-11-30#, \"Registro de cotización\") -> True",
                "cDatos.Registrar_Documento(\"COTIZACION\", \"F1\", \"\") -> True",
            }));
  ASSERT_EQ(calls.size(), 9u);
  EXPECT_EQ(calls[2].args[0].kind(), Variant::Kind::Double);
  EXPECT_EQ(calls[2].args[1].kind(), Variant::Kind::Int32);
  // The totals' result set is closed after the update.
  EXPECT_EQ(events, (std::vector<std::string>{totals_query("F1"), update, "Close"}));
  EXPECT_EQ(quote->get_Error(), "");
}

TEST_F(Finalisation, OnlyTheTaxAndTheNetAmountAreRounded) {
  set_totals(0.3333333333333333, 0.1, 0.125, 2.0 / 3, 0.5);
  set_quote_row("2026-11-30", "C1");
  host->set("cDatos", "Redondear", 0.17);
  std::string folio = "F1";
  EXPECT_TRUE(quote->Finalizar_Cotizacion(folio));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1],
            "UPDATE Cotizacion_Encabezado SET    Ct_Descuento_Global_Importe = 0.5,   "
            "Ct_Precio_Lista_Importe = 0.333333333333333,   Ct_Descuento_Importe = 0.1,   "
            "Ct_Precio_Descontado_Importe = 0.666666666666667,   Ct_Impuesto_Importe = 0.12,   "
            "Ct_Precio_Neto_Importe = 0.29 WHERE    Ct_Folio = 'F1' ");
}

TEST_F(Finalisation, RefusesAnEmptyFolioAndAFolioWithoutTotals) {
  std::string empty;
  EXPECT_FALSE(quote->Finalizar_Cotizacion(empty));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Finalizar_Cotizacion()\r\nLa cotización es incorrecta, no hay datos");
  EXPECT_EQ(take_calls(), std::vector<std::string>{});

  std::string folio = "F1";  // the totals query answers no row
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Finalizar_Cotizacion()\r\nLa cotización:F1 es incorrecta, no hay "
            "registros ");
  EXPECT_EQ(events, std::vector<std::string>{totals_query("F1")});
  EXPECT_EQ(take_calls(),
            (std::vector<std::string>{"cSistema.Conexion()", execute_call(totals_query("F1"))}));
}

TEST_F(Finalisation, FailuresGiveOneLineBreakAndKeepWhatRanBefore) {
  set_totals(120, 20, 16, 100, 10);
  set_quote_row("2026-11-30", "C1");
  std::string folio = "F1";

  // The update is refused: nothing after it runs.
  boundary->fail("Connection", "Execute", 2, "Tabla bloqueada");
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Quorlane.dll - Finalizar_Cotizacion()\r\nTabla bloqueada");
  EXPECT_EQ(take_calls("cDatos.Registrar_Seguimiento"), std::vector<std::string>{});

  // The document registration answers no: header totals and history entry stay.
  events.clear();
  host->set("cDatos", "Registrar_Documento", false);
  host->set("cDatos", "Ultimo_Error", "Documento duplicado");
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Quorlane.dll - Finalizar_Cotizacion()\r\nDocumento duplicado");
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(take_calls("cDatos.Registrar_Seguimiento").size(), 1u);

  // Redondear fails.
  boundary->fail("cDatos", "Redondear", 1, "Redondeo no disponible");
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Quorlane.dll - Finalizar_Cotizacion()\r\nRedondeo no disponible");
}

TEST_F(Finalisation, ANonFiniteAmountIsAnOverflow) {
  set_quote_row("2026-11-30", "C1");
  std::string folio = "F1";
  set_totals(0, 0, 0, 1e308, -1e308);  // D - G leaves the range before Redondear is asked
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Quorlane.dll - Finalizar_Cotizacion()\r\nDesbordamiento");
  EXPECT_EQ(take_calls("cDatos.Redondear"), std::vector<std::string>{});

  set_totals(0, 0, 1.7e308, 1.7e308, 0);  // B + T does
  host->set("cDatos", "Redondear", 1.7e308);
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "Quorlane.dll - Finalizar_Cotizacion()\r\nDesbordamiento");
  EXPECT_EQ(events.size(), 2u);  // two totals queries, no update
}

TEST_F(Finalisation, AnApostropheIsDoubledInTheStatementsOnly) {
  set_totals(1, 0, 0, 1, 0);
  set_quote_row("2026-11-30", "C1");
  std::string folio = "O'Neil";
  EXPECT_TRUE(quote->Finalizar_Cotizacion(folio));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0], totals_query("O''Neil"));
  EXPECT_TRUE(events[1].ends_with(" WHERE    Ct_Folio = 'O''Neil' "));
  EXPECT_EQ(take_calls("cDatos.Registrar_Documento"),
            std::vector<std::string>{
                "cDatos.Registrar_Documento(\"COTIZACION\", \"O'Neil\", \"\") -> True"});
  EXPECT_EQ(folio, "O'Neil");

  totals.reset();
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            "Quorlane.dll - Finalizar_Cotizacion()\r\nLa cotización:O'Neil es incorrecta, no hay "
            "registros ");
}

}  // namespace
}  // namespace quorlane::test
