// The built quorlane program: its command frame, `quorlane init`, and `quorlane script` driven by
// the scripts of tests/scripts, on the embedded database and on PostgreSQL through ODBC.
//
// A script file holds requests ("> " lines) each followed by its expected answer: "< " the
// whole answer, "<? " only the members it names; a long answer goes on over "<+ " lines, whose
// text is appended as it stands (one call or one row to a line reads best); "#" lines are
// comments. Answers are compared as JSON values whatever the key order, but in their written
// form: 2 is not 2.0. Every script runs on each engine, on a fresh database (a SQLite file, a
// PostgreSQL schema) set up by `quorlane init`, with the host options below, and answers the
// same there: the expected answers are those of every engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/program_run.h"
#include "support/test_databases.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;  // answers compared as values, whatever the key order
using quorlane::test::TestDatabase;
using quorlane::test::TestEngine;

const char* const kScriptOptions = "--server-id SRV1 --operator PRUEBA --clock 2026-12-05T10:30:00";

using Outcome = quorlane::test::ProgramRun;
using quorlane::test::quoted;

class ProgramTest : public quorlane::test::ProgramDirTest {
 protected:
  // The one number a query of the database gives.
  static double count(const TestDatabase& database, const std::string& query) {
    return database.connect()->run(query).first().to_double();
  }
};

TEST_F(ProgramTest, HelpVersionSchemaAndUsageErrors) {
  const std::string commands = program("--help").out;
  for (const char* command : {"quote", "import", "show", "finalize", "authorize", "reject",
                              "cancel", "delete", "init", "script"}) {
    Outcome help = program(std::string(command) + " --help");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find("Example:\n  quorlane " + std::string(command) + " --db "),
              std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find("QUORLANE_DB"), std::string::npos) << command;
    EXPECT_NE(commands.find("  " + std::string(command)), std::string::npos) << commands;
  }
  EXPECT_EQ(program("--version").out, "quorlane 1.2.0\n");
  Outcome schema = program("quote --schema");
  EXPECT_EQ(schema.status, 0);
  EXPECT_EQ(Json::parse(schema.out),
            Json::parse(quorlane::test::file_text(std::string(QUORLANE_SOURCE_DIR) +
                                                  "/docs/quote-document.schema.json")));

  // Usage errors exit 2 with nothing on standard output; `whole` compares all of standard error.
  const std::string more = "\nRun 'quorlane --help' for more information.\n";
  struct Case {
    const char* args;
    std::string err;
    bool whole;
  };
  for (const Case& c : std::vector<Case>{
           {"", "quorlane: a command is required" + more, true},
           {"cotizar", "quorlane: unknown command 'cotizar'" + more, true},
           {"script --clock 5/12/2026",
            "quorlane script: --clock: '5/12/2026' is not a date-time: write YYYY-MM-DD or "
            "YYYY-MM-DDTHH:MM:SS\nRun 'quorlane script --help' for more information.\n",
            true},
           {"script no_such_file.jsonl", "cannot read the file 'no_such_file.jsonl'", false},
           {"init --server-id S1", "", false},
           {"quote", "a quote document is required", false},
           {"show --db missing.db A0000000001", "there is no database 'missing.db'", false}}) {
    Outcome run = program(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.out, "") << c.args;
    if (c.whole)
      EXPECT_EQ(run.err, c.err);
    else
      EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << ": " << run.err;
  }
  EXPECT_FALSE(fs::exists(dir / "missing.db"));
}

// The program on a database of each engine.
class ProgramOnEngine : public ProgramTest, public ::testing::WithParamInterface<TestEngine> {};

TEST_P(ProgramOnEngine, InitCreatesTheTablesAndTheDemonstrationCatalogue) {
  TestDatabase plain(GetParam(), quorlane::test::Tables::None);
  QUORLANE_REQUIRE_TEST_DATABASE(plain);
  Outcome init = program("init --db " + quoted(plain.setting()));
  ASSERT_EQ(init.status, 0) << init.err;
  std::shared_ptr<quorlane::db::Database> check = plain.connect();
  for (const char* table :
       {"Cotizacion", "Cotizacion_Encabezado", "Documento_Descripcion_Extendida", "Parametro",
        "Sucursal", "Producto", "Folio", "Historial_Seguimiento"})
    EXPECT_TRUE(check->has_table(table)) << table;
  EXPECT_EQ(count(plain, "SELECT COUNT(*) FROM Producto"), 0);
  // Run again on a database that has them, it changes nothing.
  Outcome again = program("init --db " + quoted(plain.setting()));
  EXPECT_EQ(again.status, 0) << again.err;

  // The database named by the environment, with the demonstration catalogue.
  TestDatabase demo(GetParam(), quorlane::test::Tables::None);
  QUORLANE_REQUIRE_TEST_DATABASE(demo);
  Outcome with_demo = program("init --demo", "", "QUORLANE_DB=" + quoted(demo.setting()));
  ASSERT_EQ(with_demo.status, 0) << with_demo.err;
  EXPECT_GT(count(demo, "SELECT COUNT(*) FROM Producto"), 0);
  EXPECT_GT(count(demo, "SELECT COUNT(*) FROM Folio"), 0);
  EXPECT_FALSE(fs::exists(dir / "quorlane.db"));
}

// The answers are compared as text here: a user comparing the outputs of two engines finds them
// the same to the character, column names and numbers included. A blank line is skipped.
TEST_P(ProgramOnEngine, ScriptAnswersAreTheSameTextOnEveryEngine) {
  TestDatabase database(GetParam(), quorlane::test::Tables::None);
  QUORLANE_REQUIRE_TEST_DATABASE(database);
  ASSERT_EQ(program("init --db " + quoted(database.setting())).status, 0);
  Outcome run = program(
      "script --db " + quoted(database.setting()),
      "{\"op\":\"sql\",\"text\":\"INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES "
      "('USD', 'Dólar')\"}\n"
      "\n"
      "{\"op\":\"sql\",\"text\":\"SELECT * FROM Moneda\"}\n"
      "{\"op\":\"sql\",\"text\":\"SELECT mn_cve_moneda, 2.5 * 2 AS Doble, NULL AS Nada FROM "
      "Moneda\"}\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"ok\":true,\"rows\":[]}\n"
            R"({"ok":true,"rows":[{"Mn_Cve_Moneda":"USD","Mn_Descripcion":"Dólar",)"
            R"("Es_Cve_Estado":"AC"}]})"
            "\n"
            R"({"ok":true,"rows":[{"Mn_Cve_Moneda":"USD","Doble":5,"Nada":null}]})"
            "\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, ProgramOnEngine, quorlane::test::test_engines(),
                         quorlane::test::engine_test_name);

// ---------------------------------------------------------------- the scripts

struct Exchange {
  int line;
  std::string request;
  std::string expected;
  bool partly = false;  // only the members the expected answer names are compared
};

std::vector<Exchange> read_script(const fs::path& path) {
  std::vector<Exchange> out;
  std::ifstream in(path);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("@include ", 0) == 0) {  // the exchanges of a shared file, in its place
      std::vector<Exchange> shared = read_script(path.parent_path() / line.substr(9));
      out.insert(out.end(), shared.begin(), shared.end());
    } else if (line.rfind("> ", 0) == 0) {
      out.push_back({n, line.substr(2), ""});
    } else if (line.rfind("< ", 0) == 0 && !out.empty() && out.back().expected.empty()) {
      out.back().expected = line.substr(2);
    } else if (line.rfind("<? ", 0) == 0 && !out.empty() && out.back().expected.empty()) {
      out.back().expected = line.substr(3);
      out.back().partly = true;
    } else if (line.rfind("<+ ", 0) == 0 && !out.empty() && !out.back().expected.empty()) {
      out.back().expected += line.substr(3);
    } else {
      ADD_FAILURE() << path << ":" << n << ": neither a request, an answer nor a comment";
    }
  }
  return out;
}

std::vector<std::string> script_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(QUORLANE_SOURCE_DIR) / "tests/scripts"))
    if (entry.path().extension() == ".jsonl") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ScriptTest : public ProgramTest,
                   public ::testing::WithParamInterface<std::tuple<std::string, TestEngine>> {};

TEST_P(ScriptTest, AnswersAsExpected) {
  const auto& [name, engine] = GetParam();
  fs::path script = fs::path(QUORLANE_SOURCE_DIR) / "tests/scripts" / (name + ".jsonl");
  std::vector<Exchange> exchanges = read_script(script);
  ASSERT_FALSE(exchanges.empty());
  std::string input;
  for (const Exchange& e : exchanges) {
    ASSERT_FALSE(e.expected.empty()) << script << ":" << e.line << ": request without answer";
    input += e.request + "\n";
  }
  TestDatabase database(engine, quorlane::test::Tables::None);
  QUORLANE_REQUIRE_TEST_DATABASE(database);
  Outcome init = program("init --db " + quoted(database.setting()));
  ASSERT_EQ(init.status, 0) << init.err;
  Outcome run = program("script --db " + quoted(database.setting()) + " " + kScriptOptions, input);
  EXPECT_EQ(run.status, 0) << run.err;

  std::istringstream out(run.out);
  std::string answer;
  for (const Exchange& e : exchanges) {
    if (!std::getline(out, answer)) {
      ADD_FAILURE() << script << ":" << e.line << ": no answer (stderr: " << run.err << ")";
      return;
    }
    Json expected = Json::parse(e.expected, nullptr, false);
    Json actual = Json::parse(answer, nullptr, false);
    if (expected.is_discarded() || actual.is_discarded()) {
      ADD_FAILURE() << script << ":" << e.line << ": not JSON: expected " << e.expected
                    << ", answered " << answer;
      continue;
    }
    if (e.partly && actual.is_object()) {
      Json named = Json::object();
      for (auto it = expected.begin(); it != expected.end(); ++it)
        if (actual.contains(it.key())) named[it.key()] = actual[it.key()];
      actual = named;
    }
    EXPECT_EQ(actual.dump(), expected.dump())
        << script << ":" << e.line << "\n  request:  " << e.request
        << "\n  expected: " << e.expected << "\n  answered: " << answer;
  }
  EXPECT_FALSE(std::getline(out, answer)) << "an answer more than requests: " << answer;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest,
                         ::testing::Combine(::testing::ValuesIn(script_names()),
                                            quorlane::test::test_engines()),
                         [](const auto& info) {
                           return std::get<0>(info.param) + "_" +
                                  quorlane::test::engine_test_name(
                                      {std::get<1>(info.param), info.index});
                         });

}  // namespace
