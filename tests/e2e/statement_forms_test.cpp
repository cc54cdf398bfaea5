// The statements of a quote's whole life, taken from a real run on the standard host (on SQLite
// and on PostgreSQL): SQL Server gets every one of them as the component wrote it (its literals
// as N'...' where the database's collation needs it), while SQLite and PostgreSQL get exactly
// the two Transact-SQL forms they lack rewritten.
#include <gtest/gtest.h>

#include <algorithm>

#include "db/dialect.h"
#include "e2e/demo_quote.h"
#include "e2e/e2e_support.h"
#include "quorlane/quorlane.h"
#include "support/test_databases.h"

namespace quorlane::test {
namespace {

class StatementForms : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override {
    database = std::make_unique<TestDatabase>(GetParam());
    QUORLANE_REQUIRE_TEST_DATABASE(*database);
    installed = std::make_unique<InstalledHost>(e2e_settings(database->setting()), boundary);
    load_demo_catalogue(*installed->host->connection());
  }

  // A stored quote of one line (shirts earning a cap when promotions are asked for).
  std::string stored_quote(bool promotions) {
    Ref<_Cotizacion> quote = create_Cotizacion();
    quote->put_Agregar_Promociones(promotions);
    quote->put_Encabezado(demo_header("A2"));
    quote->put_Detalle(demo_line("P3", 10, "PZA", 320, "M", "AZ"));
    EXPECT_TRUE(quote->Add_Cotizacion_Detalle()) << quote->get_Error();
    return quote->get_Folio();
  }
  Variant first(const std::string& sql, const std::string& folio) {
    return installed->database().run(sql, {Variant(folio)}).first();
  }

  std::unique_ptr<TestDatabase> database;
  std::shared_ptr<Boundary> boundary = std::make_shared<Boundary>();
  std::unique_ptr<InstalledHost> installed;
};

TEST_P(StatementForms, SqlServerRunsEveryStatementAsWrittenAndTheOthersGetOnlyTheirTwoForms) {
  Ref<_Cotizacion> actions = create_Cotizacion();
  const std::string quote = stored_quote(true), rejected = stored_quote(false),
                    deleted = stored_quote(false);
  auto act = [&](bool (_Cotizacion::*action)(std::string&), const std::string& folio) {
    std::string f = folio;
    EXPECT_TRUE(((*actions).*action)(f)) << actions->get_Error();
  };
  act(&_Cotizacion::Finalizar_Cotizacion, quote);
  act(&_Cotizacion::Autorizar_Cotizacion, quote);
  act(&_Cotizacion::Cancelar_Cotizacion, quote);
  act(&_Cotizacion::Rechazar_Cotizacion, rejected);
  act(&_Cotizacion::Eliminar_Cotizacion, deleted);
  std::vector<std::string> all;
  for (const CallRecord& c : boundary->take_calls())
    if (c.service == "Connection" && c.operation == "Execute") all.push_back(c.args[0].raw_text());

  // Every kind of statement the component builds was run; the quote with a promotion has its
  // gift line: two line rows.
  auto ran = [&](const std::string& start, const std::string& holding = "") {
    return std::count_if(all.begin(), all.end(), [&](const std::string& s) {
      return s.rfind(start, 0) == 0 && s.find(holding) != std::string::npos;
    });
  };
  for (const char* start :
       {"INSERT INTO Cotizacion_Encabezado (", "INSERT INTO Cotizacion (", "SELECT ",
        "UPDATE Cotizacion SET", "UPDATE Cotizacion_Encabezado SET", "DELETE Cotizacion WHERE",
        "DELETE Documento_Descripcion_Extendida WHERE"})
    EXPECT_GT(ran(start), 0) << start;
  EXPECT_EQ(ran("INSERT INTO Cotizacion (", quote), 2);

  size_t rewritten = 0;
  for (const std::string& sql : all) {
    // SQL Server: as written, but for N before each literal where the collation needs it.
    EXPECT_FALSE(db::adapted_statement(db::Engine::SqlServer, sql, db::Collation::Utf8).has_value())
        << sql;
    const std::string national = db::adapt_statement(db::Engine::SqlServer, sql);
    EXPECT_EQ(national != sql, sql.find('\'') != std::string::npos) << sql;
    // Elsewhere a statement changes exactly where it holds ISNULL( or starts with DELETE.
    bool tsql_only = sql.find("ISNULL(") != std::string::npos || sql.rfind("DELETE ", 0) == 0;
    for (db::Engine engine : {db::Engine::SQLite, db::Engine::PostgreSQL}) {
      std::string adapted = db::adapt_statement(engine, sql);
      EXPECT_EQ(adapted != sql, tsql_only) << sql;
      EXPECT_EQ(adapted.find("ISNULL("), std::string::npos) << adapted;
    }
    rewritten += tsql_only;
  }
  EXPECT_EQ(rewritten, 3u);  // the totals query and the two deletions

  // What the statements did: one quote cancelled with its gift line, one rejected, one gone.
  const char* status = "SELECT Es_Cve_Estado FROM Cotizacion_Encabezado WHERE Ct_Folio = ?";
  EXPECT_EQ(first(status, quote), Variant("CA"));
  EXPECT_EQ(first(status, rejected), Variant("RZ"));
  EXPECT_EQ(first("SELECT COUNT(*) FROM Cotizacion WHERE Ct_Folio = ?", deleted),
            Variant(int32_t{0}));
  EXPECT_EQ(
      first("SELECT COUNT(*) FROM Cotizacion WHERE Es_Cve_Estado = 'CA' AND Ct_Folio = ?", quote),
      Variant(int32_t{2}));
}

INSTANTIATE_TEST_SUITE_P(Engines, StatementForms, test_engines(), engine_test_name);

}  // namespace
}  // namespace quorlane::test
