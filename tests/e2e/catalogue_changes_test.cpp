// The standard host remembers catalogue answers across lines; a change of the catalogue made
// between two lines, by another connection of the process or by another process, still reaches
// the next line. On a server, a steady line costs at most four statements.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "e2e/demo_quote.h"
#include "frame/publico.h"
#include "host/sql/standard_host.h"
#include "quorlane/quorlane.h"
#include "support/test_databases.h"

namespace quorlane {
namespace {

class CatalogueChanges : public ::testing::TestWithParam<test::TestEngine> {
 protected:
  void SetUp() override {
    database = std::make_unique<test::TestDatabase>(GetParam());
    QUORLANE_REQUIRE_TEST_DATABASE(*database);
    HostSettings s;
    s.database = database->setting();
    s.operator_name = "CATALOGO";
    s.message_log = "none";
    host = StandardHost::create(s);
    load_demo_catalogue(*host->connection());
    install_host_factory(host->factory());
    reset_thread_state();
    quote = create_Cotizacion();
    quote->put_Encabezado(test::demo_header());
  }
  void TearDown() override {
    quote = Ref<_Cotizacion>();
    reset_thread_state();
    install_host_factory(nullptr);
  }

  // Admits a line of P1 by the piece; false when the component refuses it.
  bool add_line(double quantity) {
    tCtDetalle line = test::demo_line("P1", quantity, "PZA", 10);
    line.Ct_Partida = std::to_string(++lines);
    quote->put_Detalle(line);
    return quote->Add_Cotizacion_Detalle();
  }

  // The tax factor and cost the last line was stored with.
  std::pair<double, double> last_line() {
    db::Rows rows = database->connect()->run(
        "SELECT Ct_Impuesto_Factor, Ct_Costo FROM Cotizacion ORDER BY Ct_ID DESC");
    return {rows.first(0).to_double(), rows.first(1).to_double()};
  }

  // Changes P1's tax factor and cost and whether pieces take fractions, through a connection of
  // a process of its own that this one knows nothing of.
  void change_in_another_process(double tax, double cost, const char* fractions) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        change(*database->connect(), tax, cost, fractions);
      } catch (...) {
        status = 1;
      }
      _exit(status);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  static void change(db::Database& other, double tax, double cost, const char* fractions) {
    other.run("UPDATE Producto SET Pr_Impuesto_Factor = ? WHERE Pr_Cve_Producto = 'P1'",
              {Variant(tax)});
    other.run("UPDATE Costo SET Co_Costo = ? WHERE Pr_Cve_Producto = 'P1'", {Variant(cost)});
    other.run("UPDATE Unidad SET Un_Permite_Fracciones = ? WHERE Un_Cve_Unidad = 'PZA'",
              {Variant(fractions)});
  }

  std::unique_ptr<test::TestDatabase> database;
  std::shared_ptr<StandardHost> host;
  Ref<_Cotizacion> quote;
  int lines = 0;
};

TEST_P(CatalogueChanges, AChangeMadeBetweenTwoLinesReachesTheNextLine) {
  ASSERT_TRUE(add_line(2)) << quote->get_Error();
  const std::pair<double, double> before = last_line();
  ASSERT_FALSE(add_line(2.5)) << "the demonstration catalogue sells pieces whole";

  // Another connection of this process: seen at once, by the setter's and by the admission's
  // look-ups alike.
  change(*database->connect(), 0.08, 7.25, "SI");
  ASSERT_TRUE(add_line(2.5)) << quote->get_Error();
  EXPECT_EQ(last_line(), std::make_pair(0.08, 7.25));

  // Another process: seen within 10 ms.
  change_in_another_process(before.first, before.second, "NO");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(add_line(2.5));
  ASSERT_TRUE(add_line(2)) << quote->get_Error();
  EXPECT_EQ(last_line(), before);

  if (GetParam() == test::TestEngine::SQLite) return;
  // A catalogue table without its change counter (a sales system's own table, or one whose
  // trigger was dropped): its answers serve one routine call, so even an unannounced change
  // reaches the next line at once.
  database->connect()->Execute(GetParam() == test::TestEngine::PostgreSQL
                                   ? "DROP TRIGGER quorlane_cambio ON Producto"
                                   : "DROP TRIGGER Quorlane_Cambio_Producto");
  ASSERT_TRUE(add_line(1)) << quote->get_Error();
  change_in_another_process(0.04, before.second, "NO");
  ASSERT_TRUE(add_line(1)) << quote->get_Error();
  EXPECT_EQ(last_line(), std::make_pair(0.04, before.second));
}

// Lines of a 50-line quote without promotions, once the products and units it uses have been
// read: four statements at most (the two writes, and a look at the change counters by the
// setter and by the admission at most), however slowly the lines come.
TEST_P(CatalogueChanges, AFiftyLineQuoteSendsAtMostFourStatementsALineToAServer) {
  if (GetParam() == test::TestEngine::SQLite) GTEST_SKIP() << "no round trips to count";
  const tCtDetalle mix[] = {
      test::demo_line("P1", 3, "PZA", 3.5), test::demo_line("P2", 2.5, "M", 18.9),
      test::demo_line("P5", 2, "CAJ", 210), test::demo_line("P6", 1, "PZA", 350)};
  for (const tCtDetalle& line : mix) {
    quote->put_Detalle(line);
    ASSERT_TRUE(quote->Add_Cotizacion_Detalle()) << quote->get_Error();
  }
  db::Database& connection = *host->database();
  const uint64_t before = connection.statements();
  Ref<_Cotizacion> fifty = create_Cotizacion();
  fifty->put_Encabezado(test::demo_header());
  for (int i = 0; i < 50; ++i) {
    tCtDetalle line = mix[i % 4];
    line.Ct_Partida = std::to_string(i + 1);
    fifty->put_Detalle(line);
    ASSERT_TRUE(fifty->Add_Cotizacion_Detalle()) << fifty->get_Error();
  }
  const uint64_t sent = connection.statements() - before;
  EXPECT_LE(sent, 4u * 50) << sent << " statements";
  EXPECT_GE(sent, 2u * 50) << "every line has two writes";
}

INSTANTIATE_TEST_SUITE_P(Engines, CatalogueChanges, test::test_engines(), test::engine_test_name);

}  // namespace
}  // namespace quorlane
