#include "support/test_databases.h"

#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <random>

#include "host/sql/schema.h"
#include "host/sql/standard_host.h"

namespace quorlane::test {

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A schema name no other test of this or another process is using.
std::string fresh_schema_name() {
  static std::atomic<int> counter{0};
  std::random_device random;
  return "qt_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
         std::to_string(random() % 1000000);
}

}  // namespace

std::string engine_test_name(const ::testing::TestParamInfo<TestEngine>& info) {
  switch (info.param) {
    case TestEngine::SQLite:
      return "SQLite";
    case TestEngine::PostgreSQL:
      return "PostgreSQL";
    case TestEngine::SqlServerDouble:
      break;
  }
  return "SQLServer";
}

bool running_in_ci() {
  std::string ci = environment("CI");
  return strcasecmp(ci.c_str(), "true") == 0 || ci == "1";
}

TestDatabase::TestDatabase(TestEngine engine, Tables tables) : engine_(engine) {
  if (engine != TestEngine::PostgreSQL) {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorlane-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      reason_ = "cannot make a temporary directory";
      return;
    }
    directory_ = pattern;
    setting_ = directory_ + "/quorlane.db";
    // Strict, code page 1252 for text without N, and a trigger on Folio, as an audited sales
    // database has.
    if (engine == TestEngine::SqlServerDouble)
      setting_ = "odbc:Driver=" QUORLANE_MSSQL_DOUBLE_PATH ";Database=" + setting_ +
                 ";Strict=1;CodePage=1252;Triggers=Folio;Log=" + statement_log() + ";";
    if (tables == Tables::Created) create_schema(*connect());
    return;
  }
  server_ = environment("QUORLANE_TEST_PG");
  if (server_.empty()) {
    reason_ =
        "QUORLANE_TEST_PG is not set: no PostgreSQL server to test against (start one with "
        "`export QUORLANE_TEST_PG=\"$(scripts/pg-test-server start)\"`)";
    return;
  }
  try {
    schema_ = fresh_schema_name();
    connect_admin()->Execute("CREATE SCHEMA " + schema_);
    // Every connection made with this string works in the new schema.
    std::string separator = !server_.empty() && server_.back() != ';' ? ";" : "";
    setting_ = "odbc:" + server_ + separator + "pqopt={options=-csearch_path=" + schema_ + "};";
    if (tables == Tables::Created) create_schema(*connect());
  } catch (const Failure& failure) {
    reason_ = std::string("PostgreSQL server of QUORLANE_TEST_PG unusable: ") + failure.what();
  }
}

TestDatabase::~TestDatabase() {
  std::error_code ignored;
  if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  if (!schema_.empty()) {
    try {
      connect_admin()->Execute("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
    } catch (const Failure&) {
      // A schema left behind goes with the throwaway cluster.
    }
  }
}

std::shared_ptr<db::Database> TestDatabase::connect() const {
  if (engine_ == TestEngine::SQLite) return db::open_sqlite(setting_);
  // The double names its columns as declared, as SQL Server does.
  return db::open_odbc(setting_.substr(5), declared_column_names());
}

std::shared_ptr<db::Database> TestDatabase::connect_admin() const { return db::open_odbc(server_); }

}  // namespace quorlane::test
