// What only the SQLite connection does: the answers to catalogue queries it remembers and when
// they are forgotten, writers of one file waiting for each other, one statement per call.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "db/database.h"
#include "support/failure_text.h"
#include "support/temp_dir.h"

namespace quorlane::db {
namespace {

using test::failure_of;

constexpr const char* kFractions =
    "SELECT Un_Permite_Fracciones FROM Unidad WHERE Un_Cve_Unidad = ?";
constexpr const char* kCreateUnidad =
    "CREATE TABLE Unidad (Un_Cve_Unidad TEXT PRIMARY KEY, Un_Permite_Fracciones TEXT)";

class SqliteConnection : public ::testing::Test {
 protected:
  void SetUp() override {
    a = open_sqlite(path);
    a->Execute(kCreateUnidad);
    a->Execute("INSERT INTO Unidad VALUES ('PZA', 'NO'), ('M', 'SI')");
    a->Execute("CREATE TABLE Cotizacion (Ct_Folio TEXT, Ct_Partida NUMERIC)");
    b = open_sqlite(path);
  }

  static std::string fractions(Database& d, const char* unit) {
    return d.run_catalogue(kFractions, {Variant(unit)}).first().to_text();
  }
  static void set_fractions(Database& d, const char* value) {
    d.Execute(std::string("UPDATE Unidad SET Un_Permite_Fracciones = '") + value +
              "' WHERE Un_Cve_Unidad = 'PZA'");
  }

  test::TempDir dir;
  std::string path = dir.file("catalogo.db");
  std::shared_ptr<Database> a, b;  // two connections of this process
};

TEST_F(SqliteConnection, ACatalogueWriteThroughAnyConnectionOfTheProcessIsSeenOnceCommitted) {
  EXPECT_EQ(fractions(*a, "PZA"), "NO");
  EXPECT_EQ(fractions(*b, "PZA"), "NO");
  // A plain statement of either connection.
  set_fractions(*a, "SI");
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  EXPECT_EQ(fractions(*b, "PZA"), "SI");

  // Inside a transaction the writer reads its own write; the others see it at the commit.
  b->Execute("BEGIN");
  set_fractions(*b, "NO");
  EXPECT_EQ(fractions(*b, "PZA"), "NO");
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  b->Execute("COMMIT");
  EXPECT_EQ(fractions(*a, "PZA"), "NO");

  // A rolled back write is forgotten by the writer too.
  a->Execute("BEGIN");
  set_fractions(*a, "SI");
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  a->Execute("ROLLBACK");
  EXPECT_EQ(fractions(*a, "PZA"), "NO");
  EXPECT_EQ(fractions(*b, "PZA"), "NO");

  // The host's own statements count, and so does a table made anew.
  b->run("UPDATE Unidad SET Un_Permite_Fracciones = ? WHERE Un_Cve_Unidad = ?",
         {Variant("SI"), Variant("PZA")});
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  a->Execute("DROP TABLE Unidad");
  a->Execute(kCreateUnidad);
  a->Execute("INSERT INTO Unidad VALUES ('PZA', 'TAL VEZ')");
  EXPECT_EQ(fractions(*b, "PZA"), "TAL VEZ");
  EXPECT_TRUE(b->run_catalogue(kFractions, {Variant("M")}).empty());

  // A commit of another process is seen within 10 ms: a connection this process knows nothing
  // of stands for one.
  EXPECT_EQ(fractions(*a, "PZA"), "TAL VEZ");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "UPDATE Unidad SET Un_Permite_Fracciones = 'NO'", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  sqlite3_close(other);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(fractions(*a, "PZA"), "NO");
}

TEST_F(SqliteConnection, CatalogueAnswersAreKeptPerQueryAndParameters) {
  EXPECT_EQ(fractions(*a, "PZA"), "NO");
  EXPECT_EQ(fractions(*a, "M"), "SI");
  const char* count = "SELECT COUNT(*) FROM Unidad WHERE Un_Permite_Fracciones = ?";
  EXPECT_EQ(a->run_catalogue(count, {Variant("SI")}).first(), Variant(int32_t{1}));
  EXPECT_EQ(a->run_catalogue(count, {Variant("TAL VEZ")}).first(), Variant(int32_t{0}));
  // A text parameter is not confused with a number of the same digits.
  EXPECT_EQ(a->run_catalogue("SELECT typeof(?)", {Variant("1")}).first(), Variant("text"));
  EXPECT_EQ(a->run_catalogue("SELECT typeof(?)", {Variant(int32_t{1})}).first(),
            Variant("integer"));
  EXPECT_EQ(a->run_catalogue("SELECT typeof(?)", {Variant(1.0)}).first(), Variant("real"));
}

TEST_F(SqliteConnection, AWriterWaitsForAnotherToFinishInsteadOfFailing) {
  EXPECT_EQ(a->run("PRAGMA journal_mode").first(), Variant("wal"));
  b->Execute("BEGIN IMMEDIATE");
  b->Execute("INSERT INTO Cotizacion VALUES ('A1', 1)");
  const auto start = std::chrono::steady_clock::now();
  std::thread finisher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    b->Execute("COMMIT");
  });
  a->Execute("INSERT INTO Cotizacion VALUES ('A2', 1)");
  const auto waited = std::chrono::steady_clock::now() - start;
  finisher.join();
  EXPECT_GE(waited, std::chrono::milliseconds(200));
  EXPECT_EQ(a->run("SELECT COUNT(*) FROM Cotizacion", {}).first(), Variant(int32_t{2}));
}

TEST_F(SqliteConnection, WholeNumbersComeAsLongAndFailuresCarryTheDatabaseMessage) {
  a->Execute("INSERT INTO Cotizacion VALUES ('A1', 3)");
  EXPECT_EQ(a->Execute("SELECT Ct_Partida FROM Cotizacion")->GetFields().Item("Ct_Partida").Value(),
            Variant(int32_t{3}));
  EXPECT_EQ(failure_of([&] { a->Execute("SELECT * FROM Nada"); }), "no such table: Nada");
  EXPECT_EQ(failure_of([&] { a->Execute("INSERT INTO Cotizacion VALUES ('A1', )"); }),
            "near \")\": syntax error");
  EXPECT_EQ(failure_of([&] { a->run("SELECT Nada FROM Cotizacion"); }), "no such column: Nada");
  // One statement per call: a second one is refused before the first runs; a trailing
  // semicolon is no second statement.
  EXPECT_EQ(failure_of([&] {
              a->Execute("INSERT INTO Cotizacion VALUES ('A2', 1); DELETE FROM Cotizacion");
            }),
            "El texto contiene más de una instrucción SQL");
  EXPECT_EQ(a->Execute("SELECT COUNT(*) AS n FROM Cotizacion;  ")->GetFields().Item("n").Value(),
            Variant(int32_t{1}));
  EXPECT_EQ(failure_of([&] { open_sqlite(dir.file("no/existe/prueba.db")); }),
            "unable to open database file");
}

}  // namespace
}  // namespace quorlane::db
