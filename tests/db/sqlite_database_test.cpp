// What only the SQLite connection does; what every backend does is checked on SQLite too by the
// database contract tests.
#include <gtest/gtest.h>

#include "db/database.h"
#include "support/failure_text.h"
#include "support/temp_dir.h"

namespace quorlane::db {
namespace {

using test::failure_of;

class SqliteDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    database = open_sqlite(dir.file("prueba.db"));
    database->Execute("CREATE TABLE Linea (Folio TEXT, Partida NUMERIC)");
  }

  test::TempDir dir;
  std::shared_ptr<Database> database;
};

TEST_F(SqliteDatabase, WholeNumbersOfNumericColumnsComeAsLong) {
  database->Execute("INSERT INTO Linea VALUES ('A1', 3)");
  EXPECT_EQ(database->Execute("SELECT Partida FROM Linea")->GetFields().Item("Partida").Value(),
            Variant(int32_t{3}));
  EXPECT_FALSE(database->has_table("Cotizacion"));
}

TEST_F(SqliteDatabase, FailuresCarryTheDatabaseMessage) {
  EXPECT_EQ(failure_of([&] { database->Execute("SELECT * FROM Nada"); }), "no such table: Nada");
  EXPECT_EQ(
      failure_of([&] { database->Execute("INSERT INTO Linea (Folio, Partida) VALUES ('A1', )"); }),
      "near \")\": syntax error");
  EXPECT_EQ(failure_of([&] { database->run("SELECT Nada FROM Linea"); }), "no such column: Nada");
  // One statement per call: a second one is refused before the first runs.
  EXPECT_EQ(failure_of([&] {
              database->Execute("INSERT INTO Linea (Folio) VALUES ('A1'); DELETE FROM Linea");
            }),
            "El texto contiene más de una instrucción SQL");
  EXPECT_TRUE(database->Execute("SELECT * FROM Linea")->Eof());
  // A trailing semicolon is no second statement.
  EXPECT_TRUE(database->Execute("SELECT * FROM Linea;  ")->Eof());
}

TEST_F(SqliteDatabase, OpensInWalModeAndTwoConnectionsSeeEachOther) {
  EXPECT_EQ(database->run("PRAGMA journal_mode").first(), Variant("wal"));
  std::shared_ptr<Database> other = open_sqlite(dir.file("prueba.db"));
  other->Execute("INSERT INTO Linea (Folio) VALUES ('X')");
  EXPECT_FALSE(database->Execute("SELECT * FROM Linea WHERE Folio = 'X'")->Eof());
  EXPECT_EQ(failure_of([&] { open_sqlite(dir.file("no/existe/prueba.db")); }),
            "unable to open database file");
}

}  // namespace
}  // namespace quorlane::db
