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
#include <unistd.h>

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

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info->name();  // "AnswersAsExpected/record_quote_SQLite" when parameterised
    for (char& c : name)
      if (c == '/') c = '_';
    dir = fs::temp_directory_path() / ("quorlane_e2e_" + std::to_string(getpid()) + "_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs the program with `args` (already quoted where needed), standard input from `input`.
  Outcome program(const std::string& args, const std::string& input = "",
                  const std::string& environment = "") {
    return quorlane::test::run_program(dir, args, input, environment);
  }

  // The one number a query of the database gives.
  static double count(const TestDatabase& database, const std::string& query) {
    return database.connect()->run(query).first().to_double();
  }

  fs::path dir;
};

TEST_F(ProgramTest, HelpVersionAndUsageErrors) {
  Outcome help = program("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("init"), std::string::npos);
  EXPECT_NE(help.out.find("script"), std::string::npos);
  for (const char* command : {"init", "script"}) {
    Outcome h = program(std::string(command) + " --help");
    EXPECT_EQ(h.status, 0) << command;
    EXPECT_NE(h.out.find("Example:\n  quorlane " + std::string(command)), std::string::npos)
        << h.out;
    EXPECT_NE(h.out.find("QUORLANE_DB"), std::string::npos) << h.out;
  }
  Outcome version = program("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "quorlane 1.2.0\n");

  Outcome none = program("");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err,
            "quorlane: a command is required\nRun 'quorlane --help' for more information.\n");
  Outcome unknown = program("cotizar");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err,
            "quorlane: unknown command 'cotizar'\nRun 'quorlane --help' for more information.\n");
  Outcome clock = program("script --clock 5/12/2026");
  EXPECT_EQ(clock.status, 2);
  EXPECT_EQ(clock.err,
            "quorlane script: --clock: '5/12/2026' is not a date-time: write YYYY-MM-DD or "
            "YYYY-MM-DDTHH:MM:SS\nRun 'quorlane script --help' for more information.\n");
  Outcome file = program("script no_such_file.jsonl");
  EXPECT_EQ(file.status, 2);
  EXPECT_NE(file.err.find("cannot read the file 'no_such_file.jsonl'"), std::string::npos)
      << file.err;
  Outcome extra = program("init --server-id S1");
  EXPECT_EQ(extra.status, 2);
  EXPECT_EQ(extra.out, "");
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
// the same to the character, column names and numbers included.
TEST_P(ProgramOnEngine, ScriptReadsStandardInputAndExitsZeroWhateverTheAnswers) {
  TestDatabase database(GetParam(), quorlane::test::Tables::None);
  QUORLANE_REQUIRE_TEST_DATABASE(database);
  ASSERT_EQ(program("init --db " + quoted(database.setting())).status, 0);
  Outcome run = program(
      "script --db " + quoted(database.setting()),
      "{\"op\":\"create\",\"class\":\"Cotizacion\",\"name\":\"q\"}\n"
      "\n"
      "{\"op\":\"get\",\"target\":\"q\",\"member\":\"Sin_Miembro\"}\n"
      "roto\n"
      "{\"op\":\"sql\",\"text\":\"SELECT COUNT(*) AS n FROM Cotizacion\"}\n"
      "{\"op\":\"sql\",\"text\":\"INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES "
      "('USD', 'Dólar')\"}\n"
      "{\"op\":\"sql\",\"text\":\"SELECT * FROM Moneda\"}\n"
      "{\"op\":\"sql\",\"text\":\"SELECT mn_cve_moneda, 2.5 * 2 AS Doble, NULL AS Nada FROM "
      "Moneda\"}\n");
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines;
  std::istringstream out(run.out);
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 7u) << run.out;
  EXPECT_EQ(lines[0], R"({"ok":true})");
  EXPECT_EQ(Json::parse(lines[1])["kind"], "request") << lines[1];
  EXPECT_EQ(Json::parse(lines[2])["kind"], "request") << lines[2];
  EXPECT_EQ(lines[3], R"({"ok":true,"rows":[{"n":0}]})");
  EXPECT_EQ(lines[4], R"({"ok":true,"rows":[]})");
  EXPECT_EQ(lines[5], R"({"ok":true,"rows":[{"Mn_Cve_Moneda":"USD","Mn_Descripcion":"Dólar",)"
                      R"("Es_Cve_Estado":"AC"}]})");
  EXPECT_EQ(lines[6], R"({"ok":true,"rows":[{"Mn_Cve_Moneda":"USD","Doble":5,"Nada":null}]})");
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
    if (line.rfind("> ", 0) == 0) {
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
    Json expected, actual;
    try {
      expected = Json::parse(e.expected);
    } catch (const std::exception& error) {
      ADD_FAILURE() << script << ":" << e.line
                    << ": the expected answer is not JSON: " << error.what();
      continue;
    }
    try {
      actual = Json::parse(answer);
    } catch (const std::exception&) {
      ADD_FAILURE() << script << ":" << e.line << ": the answer is not JSON: " << answer;
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
