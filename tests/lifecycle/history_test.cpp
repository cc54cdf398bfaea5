// The follow-up history routine is private; it is driven through finalisation, whose source
// line comes in front of its text.
#include "lifecycle_test.h"

namespace quorlane::test {
namespace {

using History = LifecycleTest;

constexpr const char* kFinalise = "Quorlane.dll - Finalizar_Cotizacion()\r\n";

TEST_F(History, ARefusedEntryReportsTheHostsLastError) {
  set_totals(0, 0, 0, 0, 0);
  set_quote_row("2026-11-30", "C1");
  host->set("cDatos", "Registrar_Seguimiento", false);
  host->set("cDatos", "Ultimo_Error", "Historial lleno");
  std::string folio = "F1";
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            std::string(kFinalise) + "Crm_Historial_Seguimiento()\r\nHistorial lleno");
  std::vector<std::string> calls = take_calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 1], "cDatos.Ultimo_Error() -> \"Historial lleno\"");
  EXPECT_TRUE(calls[calls.size() - 2].starts_with("cDatos.Registrar_Seguimiento("));
  // The header totals were written; the document is not registered.
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(History, FailuresEndInTheRoutinesOwnErrorExitAndWriteNoEntry) {
  set_totals(0, 0, 0, 0, 0);  // a header row without lines: its amounts become 0
  std::string folio = "F1";
  // No row has the folio: the empty date text does not convert.
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            std::string(kFinalise) + "Crm_Historial_Seguimiento()\r\nNo coinciden los tipos");
  EXPECT_EQ(take_calls("cDatos.Obtener_Campo"),
            std::vector<std::string>{"cDatos.Obtener_Campo(\"Cotizacion\", \"Ct_Folio\", \"F1\", "
                                     "\"Ct_Fecha\", 0, \"\", \"\", \"\") -> \"\""});
  EXPECT_EQ(events.size(), 3u);

  // The customer cannot be read.
  set_quote_row("2026-11-30", "C1");
  boundary->fail("cDatos", "Obtener_Campo", 2, "Conexión perdida");
  EXPECT_FALSE(quote->Finalizar_Cotizacion(folio));
  EXPECT_EQ(quote->get_Error(),
            std::string(kFinalise) + "Crm_Historial_Seguimiento()\r\nConexión perdida");
  EXPECT_EQ(take_calls("cDatos.Registrar_Seguimiento"), std::vector<std::string>{});
}

}  // namespace
}  // namespace quorlane::test
