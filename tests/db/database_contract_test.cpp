// What every backend of the standard host promises, checked on SQLite and on PostgreSQL through
// ODBC: values by kind, fields by name in any case, the component's Transact-SQL adapted,
// bound parameters, refused NUL characters; then what only the ODBC connection does.
#include <gtest/gtest.h>

#include "db/database.h"
#include "host/sql/schema.h"
#include "support/failure_text.h"
#include "support/test_databases.h"

namespace quorlane::db {
namespace {

using test::failure_of;

constexpr const char* kNulRefused =
    "El texto para la base de datos contiene un carácter nulo (NUL) y no se ejecuta";

using Table = std::vector<std::vector<Variant>>;

class DatabaseContract : public ::testing::TestWithParam<test::TestEngine> {
 protected:
  void SetUp() override {
    test_database = std::make_unique<test::TestDatabase>(GetParam());
    QUORLANE_REQUIRE_TEST_DATABASE(*test_database);
    database = test_database->connect();
    database->Execute(
        "CREATE TABLE Linea (Folio TEXT, Importe DOUBLE PRECISION, Partida NUMERIC, Nota TEXT, "
        "Grande BIGINT, Dia DATE, Momento TIMESTAMP)");
  }

  std::unique_ptr<test::TestDatabase> test_database;
  std::shared_ptr<Database> database;
};

TEST_P(DatabaseContract, QueryRowsGiveNullNumbersDatesAndTextByColumnNameInAnyCase) {
  const std::string long_text = std::string(3000, 'x') + "ñ€😀" + std::string(2000, 'y');
  database->Execute(
      "INSERT INTO Linea VALUES ('Añil 😀', 12.5, 3, NULL, 5000000000, '2026-12-05', "
      "'2026-12-05 10:30:07'), ('A2', 7, 4, '" +
      long_text + "', 1, NULL, NULL)");
  std::shared_ptr<Recordset> rs =
      database->Execute("SELECT * FROM Linea WHERE Folio = 'Añil 😀'", -1);
  ASSERT_FALSE(rs->Eof());
  Fields& f = rs->GetFields();
  EXPECT_EQ(f.Item("folio").Value(), Variant("Añil 😀"));
  EXPECT_EQ(f.Item("IMPORTE").Value(), Variant(12.5));
  EXPECT_EQ(f.Item("Partida").Value().to_double(), 3);
  EXPECT_TRUE(f.Item("Nota").Value().is_null());
  EXPECT_EQ(f.Item("Grande").Value(), Variant(5000000000.0));  // past 32 bits: Double
  EXPECT_EQ(f.Item("Dia").Value(), Variant("2026-12-05"));
  EXPECT_EQ(f.Item("Momento").Value(), Variant("2026-12-05 10:30:07"));
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  Rows rows = database->run("SELECT Nota, Grande, Dia, Momento FROM Linea WHERE Folio = ?",
                            {Variant("A2")});
  EXPECT_EQ(rows.values,
            (Table{{Variant(long_text), Variant(int32_t{1}), Variant::null(), Variant::null()}}));
  EXPECT_EQ(rows.kinds, (std::vector<ColumnKind>{ColumnKind::Other, ColumnKind::Other,
                                                 ColumnKind::Date, ColumnKind::DateTime}));

  // A statement that is no query gives a recordset at its end, and counts the rows it changed.
  EXPECT_TRUE(database->Execute("UPDATE Linea SET Nota = 'x'")->Eof());
  EXPECT_EQ(database->changes(), 2);
  database->Execute("UPDATE Linea SET Nota = 'y' WHERE Folio = 'nada'");
  EXPECT_EQ(database->changes(), 0);
}

TEST_P(DatabaseContract, HostQueriesBindParametersAndRunAgain) {
  const std::string insert =
      "INSERT INTO Linea (Folio, Importe, Nota, Momento) VALUES (?, ?, ?, ?)";
  database->run(insert, {Variant("O'Brien \\ ñ"), Variant(1.5), Variant(), Variant::null()});
  database->run(insert, {Variant("A2"), Variant(int32_t{2}), Variant("n"),
                         Variant(make_date(2026, 12, 5, 10, 30))});
  database->run(insert, {Variant("A3"), Variant(true), Variant(std::string(5000, 'z')),
                         Variant("2026-01-02 03:04:05")});
  EXPECT_EQ(database->changes(), 1);
  // Empty goes as Null, whole numbers and Booleans as numbers, a date as its date-time.
  EXPECT_EQ(
      database->run("SELECT Folio, Importe, Nota, Momento FROM Linea ORDER BY Importe").values,
      (Table{{Variant("A3"), Variant(1.0), Variant(std::string(5000, 'z')),
              Variant("2026-01-02 03:04:05")},
             {Variant("O'Brien \\ ñ"), Variant(1.5), Variant::null(), Variant::null()},
             {Variant("A2"), Variant(2.0), Variant("n"), Variant("2026-12-05 10:30:00")}}));
  EXPECT_EQ(
      database->run("SELECT Importe FROM Linea WHERE Folio = ?", {Variant("O'Brien \\ ñ")}).values,
      (Table{{Variant(1.5)}}));
  EXPECT_TRUE(database->run("SELECT 1 FROM Linea WHERE Folio = ?", {Variant("A4")}).empty());
  // In a literal, a backslash is a plain character (ISNULL( and DELETE in literals: the hostile
  // text sweep).
  database->Execute("INSERT INTO Linea (Folio) VALUES ('C:\\ruta\\n''s')");
  EXPECT_FALSE(
      database->run("SELECT 1 FROM Linea WHERE Folio = ?", {Variant("C:\\ruta\\n's")}).empty());
  for (const char* table : {"linea", "LINEA", "Cotizacion"})
    EXPECT_TRUE(database->has_table(table)) << table;
  EXPECT_FALSE(database->has_table("Nada"));
}

std::vector<std::string> columns_of(const std::shared_ptr<Recordset>& rs) {
  auto* memory = dynamic_cast<MemoryRecordset*>(rs.get());
  return memory != nullptr ? memory->columns() : std::vector<std::string>{"(no names)"};
}

using Names = std::vector<std::string>;

// PostgreSQL folds unquoted names to lower case; a query of the Connection still answers the
// names SQLite and SQL Server answer: the table's declared name, or the alias as written.
TEST_P(DatabaseContract, QueryColumnsAreNamedAsDeclaredOrAsTheirAliasIsWritten) {
  database->Execute("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES ('MXN', 'Peso')");
  EXPECT_EQ(columns_of(database->Execute("SELECT * FROM Moneda")),
            (Names{"Mn_Cve_Moneda", "Mn_Descripcion", "Es_Cve_Estado"}));
  EXPECT_EQ(columns_of(database->Execute("SELECT mn_cve_moneda, MN_DESCRIPCION FROM moneda")),
            (Names{"Mn_Cve_Moneda", "Mn_Descripcion"}));
  // (Aliases, quoted or not, in any case: the column-name unit test.)
  // Every table of the schema answers SELECT * with the names SQLite gives.
  test::TestDatabase sqlite(test::TestEngine::SQLite);
  std::shared_ptr<Database> reference = sqlite.connect();
  const std::string create = "CREATE TABLE IF NOT EXISTS ";
  size_t tables = 0;
  for (const std::string& statement : schema_statements(Engine::SQLite)) {
    if (statement.rfind(create, 0) != 0) continue;
    std::string query =
        "SELECT * FROM " +
        statement.substr(create.size(), statement.find(' ', create.size()) - create.size());
    EXPECT_EQ(columns_of(database->Execute(query)), columns_of(reference->Execute(query))) << query;
    ++tables;
  }
  EXPECT_GT(tables, 20u);
  // A table the schema does not describe: names as written in the query.
  EXPECT_EQ(columns_of(database->Execute(
                "SELECT Folio, Importe AS Total_Linea, Nota nota_linea FROM Linea")),
            (Names{"Folio", "Total_Linea", "nota_linea"}));
}

// Every engine gives a date as "YYYY-MM-DD" and a date-time as "YYYY-MM-DD HH:MM:SS", in
// whichever form they were written (SQLite keeps the text it was given).
TEST_P(DatabaseContract, DatesAndDateTimesComeInOneFormWhateverTheFormWritten) {
  database->Execute(
      "INSERT INTO Linea (Folio, Dia, Momento) VALUES ('A1', '2026-12-05', '2026-12-05'), "
      "('A2', '2026-12-05 10:30:00', '2026-12-05T10:30:07'), "
      "('A3', '2026-02-28T23:59:59', '2026-12-05 10:30:07.75'), ('A4', NULL, NULL)");
  Rows via_run = database->run("SELECT Folio, Dia, Momento FROM Linea ORDER BY Folio");
  std::shared_ptr<Recordset> rs =
      database->Execute("SELECT Folio, Dia, Momento FROM Linea ORDER BY Folio");
  const Table expected{{Variant("A1"), Variant("2026-12-05"), Variant("2026-12-05 00:00:00")},
                       {Variant("A2"), Variant("2026-12-05"), Variant("2026-12-05 10:30:07")},
                       {Variant("A3"), Variant("2026-02-28"), Variant("2026-12-05 10:30:07")},
                       {Variant("A4"), Variant::null(), Variant::null()}};
  EXPECT_EQ(via_run.values, expected);
  auto* memory = dynamic_cast<MemoryRecordset*>(rs.get());
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(memory->rows(), expected);
}

TEST_P(DatabaseContract, TextsHoldingANulCharacterAreRefusedAndNothingRuns) {
  const std::string with_nul("A1\0'); DELETE FROM Linea; --", 29);
  database->Execute("INSERT INTO Linea (Folio) VALUES ('A0')");
  const std::function<void()> attempts[] = {
      [&] { database->Execute("INSERT INTO Linea (Folio) VALUES ('" + with_nul + "')"); },
      [&] { database->run("INSERT INTO Linea (Folio) VALUES (?)", {Variant(with_nul)}); },
      [&] { database->run("INSERT INTO Linea (Folio) VALUES ('A1')" + std::string(1, '\0')); }};
  for (const auto& attempt : attempts) EXPECT_EQ(failure_of(attempt), kNulRefused);
  EXPECT_EQ(database->run("SELECT Folio FROM Linea").values, (Table{{Variant("A0")}}));
  // The statement whose parameter was refused runs normally afterwards.
  database->run("INSERT INTO Linea (Folio) VALUES (?)", {Variant("A1")});
  EXPECT_EQ(database->run("SELECT COUNT(*) FROM Linea WHERE Folio = 'A1'").first(),
            Variant(int32_t{1}));
}

INSTANTIATE_TEST_SUITE_P(Engines, DatabaseContract, test::test_engines(), test::engine_test_name);

// ---------------------------------------------------------------- the ODBC connection

class OdbcConnection : public ::testing::Test {
 protected:
  void SetUp() override {
    test_database = std::make_unique<test::TestDatabase>(test::TestEngine::PostgreSQL);
    QUORLANE_REQUIRE_TEST_DATABASE(*test_database);
    connection_string = test_database->setting().substr(std::string("odbc:").size());
  }
  std::unique_ptr<test::TestDatabase> test_database;
  std::string connection_string;
};

TEST_F(OdbcConnection, TheServerNamesTheEngineAndFailuresCarryTheDriversDiagnostics) {
  std::shared_ptr<Database> database = open_odbc(connection_string);
  EXPECT_EQ(database->engine(), Engine::PostgreSQL);
  EXPECT_EQ(failure_of([&] { database->Execute("SELECT * FROM Nada"); }),
            "[42P01] ERROR: relation \"nada\" does not exist; Error while executing the query");
  EXPECT_EQ(failure_of([&] { database->Execute("INSERT INTO Parametro VALUES ('A1', )"); }),
            "[42601] ERROR: syntax error at or near \")\"; Error while executing the query");
  // Autocommit: a failed statement leaves the connection usable and what ran before stays.
  database->Execute("INSERT INTO Parametro (Pa_Cve_Parametro) VALUES ('P1')");
  EXPECT_NE(failure_of([&] {
              database->Execute("INSERT INTO Parametro (Pa_Cve_Parametro) VALUES ('P1')");
            }).rfind("[23505] ", 0),
            std::string::npos);
  EXPECT_EQ(open_odbc(connection_string)->run("SELECT COUNT(*) FROM Parametro").first(),
            Variant(int32_t{1}));
  std::string refused = failure_of([] { open_odbc("Driver={No existe};Server=127.0.0.1;"); });
  EXPECT_EQ(refused.rfind("[01000] ", 0), 0u) << refused;
}

TEST_F(OdbcConnection, RefusesAServerThatReadsBackslashesAsEscapes) {
  EXPECT_EQ(
      failure_of([&] {
        open_odbc(connection_string + "ConnSettings={SET standard_conforming_strings TO off};");
      }),
      "El servidor PostgreSQL tiene standard_conforming_strings desactivado: Quorlane "
      "necesita standard_conforming_strings = on, para que una barra invertida dentro de "
      "un texto se guarde tal como es");
  EXPECT_EQ(failure_of([&] { open_odbc(connection_string + std::string(1, '\0')); }), kNulRefused);
}

TEST_F(OdbcConnection, TextsThatAreNoUtf8AreRefusedAndFourByteCharactersKept) {
  std::shared_ptr<Database> database = open_odbc(connection_string);
  const std::string refused = "El texto para la base de datos no es UTF-8 válido y no se ejecuta: ";
  EXPECT_EQ(failure_of([&] {
              database->Execute("INSERT INTO Parametro (Pa_Cve_Parametro) VALUES ('A\xff')");
            }),
            refused + "byte 52");
  EXPECT_EQ(failure_of([&] {
              database->run("INSERT INTO Parametro (Pa_Cve_Parametro) VALUES (?)",
                            {Variant("ab\xc3")});  // cut in the middle of a character
            }),
            refused + "byte 3");
  EXPECT_EQ(failure_of([&] {
              database->run("SELECT 1 WHERE ? = ''", {Variant("\xc0\xaf")});  // overlong '/'
            }),
            refused + "byte 1");
  EXPECT_EQ(database->run("SELECT COUNT(*) FROM Parametro").first(), Variant(int32_t{0}));
  database->run("INSERT INTO Parametro (Pa_Cve_Parametro, Pa_Valor) VALUES (?, 'ü𝄞')",
                {Variant("𝄞€")});
  EXPECT_EQ(database->run("SELECT Pa_Cve_Parametro || Pa_Valor FROM Parametro").first(),
            Variant("𝄞€ü𝄞"));
}

}  // namespace
}  // namespace quorlane::db
