#include <gtest/gtest.h>

#include "db/database.h"
#include "support/temp_dir.h"

namespace quorlane::db {
namespace {

std::string failure_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const Failure& e) {
    return e.what();
  }
  return "(no failure)";
}

class SqliteDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    database = open_sqlite(dir.file("prueba.db"));
    database->Execute(
        "CREATE TABLE Linea (Folio TEXT, Importe DOUBLE PRECISION, Partida NUMERIC, "
        "Nota TEXT, Grande INTEGER)");
  }

  test::TempDir dir;
  std::shared_ptr<Database> database;
};

TEST_F(SqliteDatabase, QueryRowsGiveNullNumbersAndTextByColumnNameInAnyCase) {
  database->Execute(
      "INSERT INTO Linea VALUES ('A1', 12.5, 3, NULL, 5000000000), ('A2', 7, 4, 'nota', 1)");
  std::shared_ptr<Recordset> rs = database->Execute("SELECT * FROM Linea WHERE Folio = 'A1'", -1);
  ASSERT_FALSE(rs->Eof());
  Fields& f = rs->GetFields();
  EXPECT_EQ(f.Item("folio").Value(), Variant("A1"));
  EXPECT_EQ(f.Item("IMPORTE").Value(), Variant(12.5));
  EXPECT_EQ(f.Item("Partida").Value().kind(), Variant::Kind::Int32);
  EXPECT_EQ(f.Item("Partida").Value().to_double(), 3);
  EXPECT_TRUE(f.Item("Nota").Value().is_null());
  // Integers past 32 bits come as Double.
  EXPECT_EQ(f.Item("Grande").Value(), Variant(5000000000.0));
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  // A statement that is no query gives a recordset at its end.
  EXPECT_TRUE(database->Execute("UPDATE Linea SET Nota = 'x'")->Eof());
  EXPECT_EQ(database->changes(), 2);
}

TEST_F(SqliteDatabase, TransactSqlFormsOfTheComponentRun) {
  database->Execute("INSERT INTO Linea (Folio, Importe) VALUES ('A1', 10), ('A1', 2.5), ('B1', 4)");
  auto total = [&](const char* folio) {
    auto rs = database->Execute(std::string("SELECT ISNULL(SUM(Importe),0) as Total FROM Linea "
                                            "WHERE Folio = '") +
                                folio + "' ");
    return rs->GetFields().Item("Total").Value().to_double();
  };
  EXPECT_EQ(total("A1"), 12.5);
  EXPECT_EQ(total("ZZ"), 0);
  database->Execute("DELETE Linea WHERE Folio = 'A1'");
  EXPECT_EQ(total("A1"), 0);
  EXPECT_EQ(total("B1"), 4);
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

TEST_F(SqliteDatabase, HostQueriesBindParametersAndRunAgain) {
  database->run("INSERT INTO Linea (Folio, Importe, Nota) VALUES (?, ?, ?)",
                {Variant("O'Brien"), Variant(1.5), Variant()});
  database->run("INSERT INTO Linea (Folio, Importe, Nota) VALUES (?, ?, ?)",
                {Variant("A2"), Variant(int32_t{2}), Variant(make_date(2026, 12, 5, 10, 30))});
  Rows rows =
      database->run("SELECT Importe, Nota FROM Linea WHERE Folio = ?", {Variant("O'Brien")});
  ASSERT_EQ(rows.values.size(), 1u);
  EXPECT_EQ(rows.values[0][0], Variant(1.5));
  EXPECT_TRUE(rows.values[0][1].is_null());
  rows = database->run("SELECT Importe, Nota FROM Linea WHERE Folio = ?", {Variant("A2")});
  EXPECT_EQ(rows.first(1), Variant("2026-12-05 10:30:00"));
  EXPECT_TRUE(database->run("SELECT 1 FROM Linea WHERE Folio = ?", {Variant("A3")}).empty());
  EXPECT_TRUE(database->has_table("linea"));
  EXPECT_FALSE(database->has_table("Cotizacion"));
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
