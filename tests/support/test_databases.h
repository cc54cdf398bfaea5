// The databases a test of the standard host runs against: a fresh SQLite file always, a fresh
// PostgreSQL schema on the server named by QUORLANE_TEST_PG (an ODBC connection string, which
// scripts/pg-test-server prints), and a SQLite file behind the tests' own ODBC driver that
// answers as Microsoft SQL Server (tests/mssql_double), strict and with code page 1252 text.
// Parametrise a fixture over test_engines():
//
//   class MyTest : public ::testing::TestWithParam<test::TestEngine> {
//     void SetUp() override {
//       database = std::make_unique<test::TestDatabase>(GetParam());
//       QUORLANE_REQUIRE_TEST_DATABASE(*database);
//       ... HostSettings s; s.database = database->setting(); ...
//     }
//   };
//   INSTANTIATE_TEST_SUITE_P(Engines, MyTest, test::test_engines(), test::engine_test_name);
//
// Without QUORLANE_TEST_PG the PostgreSQL cases are skipped with the reason shown, except under
// CI (CI=true), where they fail: CI always runs them against a server of its own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/database.h"

namespace quorlane::test {

enum class TestEngine { SQLite, PostgreSQL, SqlServerDouble };

// Every engine, as the parameters of INSTANTIATE_TEST_SUITE_P.
inline auto test_engines() {
  return ::testing::Values(TestEngine::SQLite, TestEngine::PostgreSQL, TestEngine::SqlServerDouble);
}
std::string engine_test_name(const ::testing::TestParamInfo<TestEngine>& info);

// Whether the tests run under CI (the environment variable CI is "true" or "1").
bool running_in_ci();

// Whether a new test database has the tables.
enum class Tables { Created, None };

class TestDatabase {
 public:
  // Makes the database, every table created (as `quorlane init` does) and empty: a SQLite file
  // in a directory of its own, or a new schema on the PostgreSQL server. With Tables::None the
  // schema is left empty, and the SQLite file is not made (for a test of `quorlane init`). A
  // server that cannot be had leaves the object unavailable, with the reason.
  explicit TestDatabase(TestEngine engine, Tables tables = Tables::Created);
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;
  // Drops the schema, or removes the directory.
  ~TestDatabase();

  TestEngine engine() const { return engine_; }
  bool available() const { return reason_.empty(); }
  const std::string& reason() const { return reason_; }
  // The standard host's database setting: a file path, or "odbc:" + a connection string whose
  // connections work in the new schema.
  const std::string& setting() const { return setting_; }
  // SqlServerDouble: the file where the driver records every statement and parameter it ran.
  std::string statement_log() const { return directory_ + "/statements.log"; }
  // A connection of its own to the database (for checks made beside the host's connections),
  // which names columns as the host's connections do.
  std::shared_ptr<db::Database> connect() const;

 private:
  std::shared_ptr<db::Database> connect_admin() const;

  TestEngine engine_;
  std::string reason_;
  std::string setting_;
  std::string directory_;  // SQLite and SqlServerDouble
  std::string server_;     // PostgreSQL: the connection string of QUORLANE_TEST_PG
  std::string schema_;     // PostgreSQL
};

}  // namespace quorlane::test

// In SetUp or a test body: ends the test when its database cannot be had, as a skip when run by
// hand and as a failure under CI.
#define QUORLANE_REQUIRE_TEST_DATABASE(database)                                  \
  do {                                                                            \
    if (!(database).available()) {                                                \
      if (::quorlane::test::running_in_ci()) GTEST_FAIL() << (database).reason(); \
      GTEST_SKIP() << (database).reason();                                        \
    }                                                                             \
  } while (0)
