// Many threads build quotes at once through the C++ interface, each on its own connection of one
// standard host: every call succeeds, no two quotes get the same folio, and the database holds
// exactly the rows written.
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "e2e/demo_quote.h"
#include "host/sql/standard_host.h"
#include "quorlane/quorlane.h"
#include "support/temp_dir.h"
#include "support/test_databases.h"

namespace quorlane {
namespace {

constexpr int kThreads = 8;
constexpr int kQuotesPerThread = 50;
constexpr int kLinesPerQuote = 5;

// The lines of every quote: plain pieces, metres with fractions, boxes converted to pieces, a
// product without tax, and the first product again.
tCtDetalle line(int index) {
  const tCtDetalle lines[] = {
      test::demo_line("P1", 100, "PZA", 1.25), test::demo_line("P2", 12.5, "M", 18),
      test::demo_line("P5", 2, "CAJ", 150), test::demo_line("P6", 1, "PZA", 250),
      test::demo_line("P1", 3, "PZA", 1.25)};
  return lines[index % 5];
}

class ConcurrentQuotes : public ::testing::TestWithParam<test::TestEngine> {
 protected:
  void TearDown() override { install_host_factory(nullptr); }
};

TEST_P(ConcurrentQuotes, EightThreadsBuildFiftyQuotesEachAndEveryFolioIsDistinct) {
  test::TestDatabase database(GetParam());
  QUORLANE_REQUIRE_TEST_DATABASE(database);
  HostSettings settings;
  settings.database = database.setting();
  settings.operator_name = "CONCURRENCIA";
  // The detail setters report their failures as messages, not as failed calls: none may come.
  test::TempDir dir;
  settings.message_log = dir.file("mensajes.log");
  std::shared_ptr<StandardHost> host = StandardHost::create(settings);
  load_demo_catalogue(*host->connection());
  install_host_factory(host->factory());

  std::mutex mutex;
  std::vector<std::string> folios;
  std::vector<std::string> failures;
  auto worker = [&](int thread) {
    try {
      for (int q = 0; q < kQuotesPerThread; ++q) {
        Ref<_Cotizacion> quote = create_Cotizacion();
        quote->put_Encabezado(test::demo_header());
        for (int l = 0; l < kLinesPerQuote; ++l) {
          tCtDetalle detail = line(thread + l);
          detail.Ct_Partida = std::to_string(l + 1);
          quote->put_Detalle(detail);
          if (!quote->Add_Cotizacion_Detalle()) throw Failure(quote->get_Error());
        }
        std::string folio = quote->get_Folio();
        std::string finalised = folio;
        if (!quote->Finalizar_Cotizacion(finalised)) throw Failure(quote->get_Error());
        std::lock_guard<std::mutex> lock(mutex);
        folios.push_back(folio);
      }
    } catch (const Failure& failure) {
      std::lock_guard<std::mutex> lock(mutex);
      failures.push_back("thread " + std::to_string(thread) + ": " + failure.what());
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (std::thread& t : threads) t.join();

  EXPECT_TRUE(failures.empty()) << failures.front();
  std::ifstream messages(dir.file("mensajes.log"));
  std::string first_message;
  EXPECT_FALSE(std::getline(messages, first_message)) << first_message;
  constexpr size_t kQuotes = kThreads * kQuotesPerThread;
  ASSERT_EQ(folios.size(), kQuotes);
  std::set<std::string> distinct(folios.begin(), folios.end());
  EXPECT_EQ(distinct.size(), kQuotes);
  EXPECT_EQ(*distinct.begin(), "A0000000001");
  EXPECT_EQ(*distinct.rbegin(), "A0000000400");

  // One registration per line and one per finalised quote, one history entry per quote; every
  // quote's lines numbered 0001 to 0005 and its header carrying their totals.
  std::shared_ptr<db::Database> check = database.connect();
  const std::pair<const char*, double> counts[] = {
      {"Cotizacion", kQuotes * kLinesPerQuote},
      {"(SELECT DISTINCT Ct_Folio FROM Cotizacion) f", kQuotes},
      {"Cotizacion_Encabezado", kQuotes},
      {"Documento_Registro WHERE Dr_Tabla = 'DETALLE_COTIZACION'", kQuotes * kLinesPerQuote},
      {"Documento_Registro WHERE Dr_Tabla = 'COTIZACION'", kQuotes},
      {"Documento_Registro", kQuotes * (kLinesPerQuote + 1)},
      {"Historial_Seguimiento", kQuotes},
      {"Cotizacion WHERE Ct_ID NOT IN ('0001', '0002', '0003', '0004', '0005')", 0},
      {"Cotizacion_Encabezado WHERE Ct_Precio_Neto_Importe <= 0", 0}};
  for (const auto& [from, expected] : counts)
    EXPECT_EQ(check->run(std::string("SELECT COUNT(*) FROM ") + from).first().to_double(), expected)
        << from;
  EXPECT_EQ(
      check->run("SELECT Fo_Ultimo FROM Folio WHERE Sc_Cve_Sucursal = 'S1'").first().to_double(),
      kQuotes);
}

INSTANTIATE_TEST_SUITE_P(Engines, ConcurrentQuotes, test::test_engines(), test::engine_test_name);

}  // namespace
}  // namespace quorlane
