// The statements of a quote's whole life, taken from a real run on the standard host (on SQLite
// and on PostgreSQL): SQL Server gets every one of them exactly as the component wrote it, while
// SQLite and PostgreSQL get exactly the two Transact-SQL forms they lack rewritten.
#include <gtest/gtest.h>

#include <algorithm>

#include "db/dialect.h"
#include "e2e/demo_quote.h"
#include "frame/publico.h"
#include "host/sql/standard_host.h"
#include "host/wrap/boundary.h"
#include "quorlane/quorlane.h"
#include "support/test_databases.h"

namespace quorlane {
namespace {

class StatementForms : public ::testing::TestWithParam<test::TestEngine> {
 protected:
  void SetUp() override {
    database = std::make_unique<test::TestDatabase>(GetParam());
    QUORLANE_REQUIRE_TEST_DATABASE(*database);
    HostSettings s;
    s.database = database->setting();
    s.operator_name = "FORMAS";
    s.message_log = "none";
    s.clock = make_date(2026, 12, 5, 10, 30, 0);
    host = StandardHost::create(s);
    load_demo_catalogue(*host->connection());
    reset_thread_state();
    install_thread_host_factory(wrap_host(host->factory(), boundary));
  }
  void TearDown() override {
    reset_thread_state();
    install_thread_host_factory(nullptr);
  }

  // A stored quote of one line (shirts earning a cap when promotions are asked for).
  std::string stored_quote(bool promotions) {
    Ref<_Cotizacion> quote = create_Cotizacion();
    quote->put_Agregar_Promociones(promotions);
    quote->put_Encabezado(test::demo_header("A2"));
    quote->put_Detalle(test::demo_line("P3", 10, "PZA", 320, "M", "AZ"));
    EXPECT_TRUE(quote->Add_Cotizacion_Detalle()) << quote->get_Error();
    return quote->get_Folio();
  }

  // Every statement the component ran since the last call.
  std::vector<std::string> statements() {
    std::vector<std::string> out;
    for (const CallRecord& c : boundary->take_calls())
      if (c.service == "Connection" && c.operation == "Execute")
        out.push_back(c.args[0].raw_text());
    return out;
  }

  std::unique_ptr<test::TestDatabase> database;
  std::shared_ptr<StandardHost> host;
  std::shared_ptr<Boundary> boundary = std::make_shared<Boundary>();
};

TEST_P(StatementForms, SqlServerRunsEveryStatementAsWrittenAndTheOthersGetOnlyTheirTwoForms) {
  Ref<_Cotizacion> actions = create_Cotizacion();
  std::string first = stored_quote(true);
  std::string finalised = first;
  EXPECT_TRUE(actions->Finalizar_Cotizacion(finalised)) << actions->get_Error();
  std::string authorised = first;
  EXPECT_TRUE(actions->Autorizar_Cotizacion(authorised)) << actions->get_Error();
  std::string cancelled = first;
  EXPECT_TRUE(actions->Cancelar_Cotizacion(cancelled)) << actions->get_Error();
  std::string rejected = stored_quote(false);
  EXPECT_TRUE(actions->Rechazar_Cotizacion(rejected)) << actions->get_Error();
  std::string deleted = stored_quote(false);
  EXPECT_TRUE(actions->Eliminar_Cotizacion(deleted)) << actions->get_Error();
  std::vector<std::string> all = statements();

  // Every kind of statement the component builds was run.
  auto ran = [&](const std::string& start) {
    return std::any_of(all.begin(), all.end(),
                       [&](const std::string& s) { return s.rfind(start, 0) == 0; });
  };
  for (const char* start :
       {"INSERT INTO Cotizacion_Encabezado (", "INSERT INTO Cotizacion (", "SELECT ",
        "UPDATE Cotizacion SET", "UPDATE Cotizacion_Encabezado SET", "DELETE Cotizacion WHERE",
        "DELETE Documento_Descripcion_Extendida WHERE"})
    EXPECT_TRUE(ran(start)) << start;
  // The quote with a promotion has its gift line: two line rows.
  EXPECT_EQ(std::count_if(all.begin(), all.end(),
                          [&](const std::string& s) {
                            return s.rfind("INSERT INTO Cotizacion (", 0) == 0 &&
                                   s.find(first) != std::string::npos;
                          }),
            2);

  size_t rewritten = 0;
  for (const std::string& sql : all) {
    EXPECT_FALSE(db::adapted_statement(db::Engine::SqlServer, sql).has_value()) << sql;
    EXPECT_EQ(db::adapt_statement(db::Engine::SqlServer, sql), sql);
    // Elsewhere a statement changes exactly where it holds ISNULL( or starts with DELETE.
    bool tsql_only = sql.find("ISNULL(") != std::string::npos || sql.rfind("DELETE ", 0) == 0;
    for (db::Engine engine : {db::Engine::SQLite, db::Engine::PostgreSQL}) {
      std::string adapted = db::adapt_statement(engine, sql);
      EXPECT_EQ(adapted != sql, tsql_only) << sql;
      EXPECT_EQ(adapted.find("ISNULL("), std::string::npos) << adapted;
    }
    if (tsql_only) ++rewritten;
  }
  EXPECT_EQ(rewritten, 3u);  // the totals query and the two deletions

  // What the statements did: one quote cancelled with its gift line, one rejected, one gone.
  auto status = [&](const std::string& folio) {
    return host->database()
        ->run("SELECT Es_Cve_Estado FROM Cotizacion_Encabezado WHERE Ct_Folio = ?",
              {Variant(folio)})
        .first();
  };
  EXPECT_EQ(status(first), Variant("CA"));
  EXPECT_EQ(status(rejected), Variant("RZ"));
  EXPECT_EQ(host->database()
                ->run("SELECT COUNT(*) FROM Cotizacion WHERE Ct_Folio = ?", {Variant(deleted)})
                .first(),
            Variant(int32_t{0}));
  EXPECT_EQ(
      host->database()->run("SELECT COUNT(*) FROM Cotizacion WHERE Es_Cve_Estado = 'CA'").first(),
      Variant(int32_t{2}));
}

INSTANTIATE_TEST_SUITE_P(Engines, StatementForms, test::test_engines(), test::engine_test_name);

}  // namespace
}  // namespace quorlane
