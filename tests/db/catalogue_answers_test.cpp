// The answers to catalogue queries that a SQLite connection remembers, when they are forgotten,
// and writers of one file waiting for each other.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "db/database.h"
#include "support/temp_dir.h"

namespace quorlane::db {
namespace {

constexpr const char* kFractions =
    "SELECT Un_Permite_Fracciones FROM Unidad WHERE Un_Cve_Unidad = ?";

class CatalogueAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    a = open_sqlite(path);
    a->Execute("CREATE TABLE Unidad (Un_Cve_Unidad TEXT PRIMARY KEY, Un_Permite_Fracciones TEXT)");
    a->Execute("INSERT INTO Unidad VALUES ('PZA', 'NO'), ('M', 'SI')");
    a->Execute("CREATE TABLE Cotizacion (Ct_Folio TEXT, Ct_ID TEXT)");
    b = open_sqlite(path);
  }

  static std::string fractions(Database& d, const char* unit) {
    return d.run_catalogue(kFractions, {Variant(unit)}).first().to_text();
  }
  static void set_fractions(Database& d, const char* unit, const char* value) {
    d.Execute(std::string("UPDATE Unidad SET Un_Permite_Fracciones = '") + value +
              "' WHERE Un_Cve_Unidad = '" + unit + "'");
  }

  test::TempDir dir;
  std::string path = dir.file("catalogo.db");
  std::shared_ptr<Database> a, b;  // two connections of this process
};

TEST_F(CatalogueAnswers, AWriteThroughAnyConnectionOfTheProcessIsSeenOnceCommitted) {
  EXPECT_EQ(fractions(*a, "PZA"), "NO");
  EXPECT_EQ(fractions(*b, "PZA"), "NO");

  // A plain statement of either connection.
  set_fractions(*a, "PZA", "SI");
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  EXPECT_EQ(fractions(*b, "PZA"), "SI");

  // Inside a transaction the writer reads its own write; the others see it at the commit.
  b->Execute("BEGIN");
  set_fractions(*b, "PZA", "NO");
  EXPECT_EQ(fractions(*b, "PZA"), "NO");
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  b->Execute("COMMIT");
  EXPECT_EQ(fractions(*a, "PZA"), "NO");

  // A rolled back write is forgotten by the writer too.
  a->Execute("BEGIN");
  set_fractions(*a, "PZA", "SI");
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  a->Execute("ROLLBACK");
  EXPECT_EQ(fractions(*a, "PZA"), "NO");
  EXPECT_EQ(fractions(*b, "PZA"), "NO");

  // The host's own statements count, and so does a table made anew.
  b->run("UPDATE Unidad SET Un_Permite_Fracciones = ? WHERE Un_Cve_Unidad = ?",
         {Variant("SI"), Variant("PZA")});
  EXPECT_EQ(fractions(*a, "PZA"), "SI");
  a->Execute("DROP TABLE Unidad");
  a->Execute("CREATE TABLE Unidad (Un_Cve_Unidad TEXT PRIMARY KEY, Un_Permite_Fracciones TEXT)");
  a->Execute("INSERT INTO Unidad VALUES ('PZA', 'TAL VEZ')");
  EXPECT_EQ(fractions(*b, "PZA"), "TAL VEZ");
  EXPECT_TRUE(b->run_catalogue(kFractions, {Variant("M")}).empty());
}

TEST_F(CatalogueAnswers, AnswersAreKeptPerQueryAndParameters) {
  EXPECT_EQ(fractions(*a, "PZA"), "NO");
  EXPECT_EQ(fractions(*a, "M"), "SI");
  EXPECT_EQ(a->run_catalogue("SELECT COUNT(*) FROM Unidad WHERE Un_Permite_Fracciones = ?",
                             {Variant("SI")})
                .first(),
            Variant(int32_t{1}));
  EXPECT_EQ(a->run_catalogue("SELECT COUNT(*) FROM Unidad WHERE Un_Permite_Fracciones = ?",
                             {Variant("NO")})
                .first(),
            Variant(int32_t{1}));
  // A text parameter is not confused with a number of the same digits.
  EXPECT_EQ(a->run_catalogue("SELECT typeof(?)", {Variant("1")}).first(), Variant("text"));
  EXPECT_EQ(a->run_catalogue("SELECT typeof(?)", {Variant(int32_t{1})}).first(),
            Variant("integer"));
  EXPECT_EQ(a->run_catalogue("SELECT typeof(?)", {Variant(1.0)}).first(), Variant("real"));
}

TEST_F(CatalogueAnswers, ACommitOfAnotherProcessIsSeenWithinTenMilliseconds) {
  EXPECT_EQ(fractions(*a, "M"), "SI");
  // A connection this process knows nothing of stands for another process.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other,
                         "UPDATE Unidad SET Un_Permite_Fracciones = 'NO' WHERE Un_Cve_Unidad = 'M'",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(other);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(fractions(*a, "M"), "NO");
}

TEST_F(CatalogueAnswers, AWriterWaitsForAnotherToFinishInsteadOfFailing) {
  b->Execute("BEGIN IMMEDIATE");
  b->Execute("INSERT INTO Cotizacion VALUES ('A1', '0001')");
  const auto start = std::chrono::steady_clock::now();
  std::thread finisher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    b->Execute("COMMIT");
  });
  a->Execute("INSERT INTO Cotizacion VALUES ('A2', '0001')");
  const auto waited = std::chrono::steady_clock::now() - start;
  finisher.join();
  EXPECT_GE(waited, std::chrono::milliseconds(200));
  EXPECT_EQ(a->run("SELECT COUNT(*) FROM Cotizacion", {}).first(), Variant(int32_t{2}));
}

}  // namespace
}  // namespace quorlane::db
