// Finalisation and its follow-up history entry. The whole call sequence of a finalisation, the
// refusal of an empty folio and a refused registration are compared by the end-to-end scripts.
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
  // Binary values a little below (2.675, 1.015, 0.285) or above (0.065) the half still count
  // as half.
  // clang-format off
  const std::pair<double, double> cases[] = {
      {0.125, 0.12},  {0.375, 0.38},   {0.126, 0.13},   {0.135, 0.14},   {0.145, 0.14},
      {2.675, 2.68},  {1.015, 1.02},   {0.285, 0.28},   {0.065, 0.06},   {1.005, 1.0},
      {-0.125, -0.12}, {-0.375, -0.38}, {9.995, 10.0},  {0.005, 0.0},    {0.015, 0.02},
      {0.0051, 0.01}, {0.0004, 0.0},   {123.454999, 123.45}, {16, 16.0}, {0, 0.0},
      {1.0 / 3, 0.33}, {1e20, 1e20},   {1234567.125, 1234567.12}};
  // clang-format on
  for (const auto& [value, rounded] : cases) EXPECT_EQ(round_half_even(value, 2), rounded) << value;
}

// The folio has an apostrophe: doubled in the statements, kept as it is elsewhere.
TEST_F(Finalisation, NetAmountIsBuiltFromTheHostsRoundingAndOnlyTheTaxIsRoundedHere) {
  set_totals(120, 20, 16, 100, 10);
  // Redondear's own answer shows that N is built from it, not from D - G.
  host->set("cDatos", "Redondear", 90.004);
  leave_error();
  std::string folio = "O'Neil";
  EXPECT_TRUE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), "");
  EXPECT_EQ(folio, "O'Neil");
  // The totals' result set is closed after the update.
  EXPECT_EQ(events, (std::vector<std::string>{
                        totals_query("O''Neil"),
                        "UPDATE Cotizacion_Encabezado SET    Ct_Descuento_Global_Importe = 10,   "
                        "Ct_Precio_Lista_Importe = 120,   Ct_Descuento_Importe = 20,   "
                        "Ct_Precio_Descontado_Importe = 100,   Ct_Impuesto_Importe = 16,   "
                        "Ct_Precio_Neto_Importe = 106.004 WHERE    Ct_Folio = 'O''Neil' ",
                        "Close"}));
  std::vector<CallRecord> rounding;
  std::vector<std::string> registration;
  for (const CallRecord& c : boundary->take_calls()) {
    if (c.operation == "Redondear") rounding.push_back(c);
    if (c.operation == "Registrar_Documento") registration.push_back(call_text(c));
  }
  ASSERT_EQ(rounding.size(), 1u);
  EXPECT_EQ(call_text(rounding[0]), "cDatos.Redondear(90, 2) -> 90.004");
  EXPECT_EQ(rounding[0].args[0].kind(), Variant::Kind::Double);
  EXPECT_EQ(rounding[0].args[1].kind(), Variant::Kind::Int32);
  EXPECT_EQ(registration,
            std::vector<std::string>{
                "cDatos.Registrar_Documento(\"COTIZACION\", \"O'Neil\", \"\") -> True"});

  // The other sums are written as they come, to 15 significant digits.
  events.clear();
  set_totals(0.3333333333333333, 0.1, 0.125, 2.0 / 3, 0.5);
  host->set("cDatos", "Redondear", 0.17);
  EXPECT_TRUE(quote->Finalizar_Cotizacion(folio));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1],
            "UPDATE Cotizacion_Encabezado SET    Ct_Descuento_Global_Importe = 0.5,   "
            "Ct_Precio_Lista_Importe = 0.333333333333333,   Ct_Descuento_Importe = 0.1,   "
            "Ct_Precio_Descontado_Importe = 0.666666666666667,   Ct_Impuesto_Importe = 0.12,   "
            "Ct_Precio_Neto_Importe = 0.29 WHERE    Ct_Folio = 'O''Neil' ");
}

TEST_F(Finalisation, RefusesAFolioWithoutTotals) {
  std::string folio = "O'Neil";  // the totals query answers no row
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            std::string(kFinalise) + "La cotización:O'Neil es incorrecta, no hay registros ");
  EXPECT_EQ(events, std::vector<std::string>{totals_query("O''Neil")});
  EXPECT_EQ(take_calls(),
            (std::vector<std::string>{"cSistema.Conexion()",
                                      "Connection.Execute(\"" + totals_query("O''Neil") + "\")"}));
}

TEST_F(Finalisation, AFailingStepGivesOneLineBreakAndNothingAfterItRuns) {
  set_totals(120, 20, 16, 100, 10);
  const std::tuple<const char*, const char*, int, const char*> failures[] = {
      {"Connection", "Execute", 2, "Tabla bloqueada"},  // the update
      {"cDatos", "Redondear", 1, "Redondeo no disponible"}};
  for (const auto& [service, operation, nth, description] : failures) {
    boundary->fail(service, operation, nth, description);
    std::string folio = "F1";
    EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
    EXPECT_EQ(quote->get_Error(), std::string(kFinalise) + description);
    EXPECT_EQ(take_calls("cDatos.Registrar_Seguimiento"), std::vector<std::string>{});
  }
}

TEST_F(Finalisation, ANonFiniteAmountIsAnOverflow) {
  std::string folio = "F1";
  set_totals(0, 0, 0, 1e308, -1e308);  // D - G leaves the range before Redondear is asked
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), std::string(kFinalise) + "Desbordamiento");
  EXPECT_EQ(take_calls("cDatos.Redondear"), std::vector<std::string>{});

  set_totals(0, 0, 1.7e308, 1.7e308, 0);  // B + T does
  host->set("cDatos", "Redondear", 1.7e308);
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(), std::string(kFinalise) + "Desbordamiento");
  EXPECT_EQ(events.size(), 2u);  // two totals queries, no update
}

// The history routine is private; it is driven through finalisation, whose source line comes in
// front of its own. A refused entry, in cancellation, and a folio without rows are compared by the
// end-to-end scripts.
TEST_F(Finalisation, AFailureInTheHistoryEndsInItsOwnErrorExitAndWritesNoEntry) {
  set_totals(0, 0, 0, 0, 0);
  std::string folio = "F1";
  boundary->fail("cDatos", "Obtener_Campo", 2, "Conexión perdida");  // the customer
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            std::string(kFinalise) + "Crm_Historial_Seguimiento()\r\nConexión perdida");
  EXPECT_EQ(events.size(), 3u);  // the header totals stay written
  EXPECT_EQ(take_calls("cDatos.Registrar_Seguimiento"), std::vector<std::string>{});
}

}  // namespace
}  // namespace quorlane::test
