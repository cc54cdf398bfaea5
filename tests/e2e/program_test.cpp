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
#include <regex>
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
  for (const char* command : {"quote", "import", "show", "print", "finalize", "authorize", "reject",
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
           {"", "quorlane: a command is required\n\nCommands:\n  quote      build a quote", false},
           {"", "\n  script     drive the component", false},
           {"cotizar", "quorlane: unknown command 'cotizar'" + more, true},
           {"shwo A1", "quorlane: unknown command 'shwo' (did you mean 'show'?)" + more, true},
           {"finalise A1", "unknown command 'finalise' (did you mean 'finalize'?)", false},
           {"--db x show A1",
            "quorlane: options go after the command: 'quorlane show --db ...'" + more, true},
           {"--db=x", "quorlane: options go after the command: 'quorlane COMMAND --db ...'", false},
           {"quote .", "quorlane quote: FILE: '.' is a directory, not a file\n", false},
           {"import .", "quorlane import: FILE: '.' is a directory, not a file\n", false},
           {"script .", "'.' is a directory, not a file", false},
           {"script --clock 5/12/2026",
            "quorlane script: --clock: '5/12/2026' is not a date-time: write YYYY-MM-DD or "
            "YYYY-MM-DDTHH:MM:SS\nRun 'quorlane script --help' for more information.\n",
            true},
           {"script no_such_file.jsonl",
            "cannot read the file 'no_such_file.jsonl': No such file or directory", false},
           {"init --server-id S1", "", false},
           {"quote", "a quote document is required", false},
           {"show --db missing.db A0000000001", "there is no database 'missing.db'", false},
           {"print --db missing.db A0000000001", "there is no database 'missing.db'", false},
           {"print --paper a5 A0000000001", "--paper: a5 not in {a4,letter}", false}}) {
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

// Documents and requests that no reader should trust: each is refused with where and why (and,
// with --json, the JSON answer), never a crash; an import reports the bad line and goes on.
TEST_F(ProgramTest, HostileInputsAreRefusedWithTheirPlaceAndNeverCrash) {
  ASSERT_EQ(program("init --demo --db q.db").status, 0);
  const std::string demo =
      quorlane::test::file_text(std::string(QUORLANE_SOURCE_DIR) + "/examples/demo-quote.json");
  auto with = [&](const std::string& from, const std::string& to) {
    std::string text = demo;
    text.replace(text.find(from), from.size(), to);
    std::replace(text.begin(), text.end(), '\n', ' ');  // one line, for the import below
    return text;
  };
  struct Case {
    std::string text, path, problem;
  };
  const std::vector<Case> cases = {
      {"{\"header\": {\"Ct_Comentario\": " + std::string(50000, '[') + std::string(50000, ']') +
           "}}",
       "document", "nested more than 64 levels deep"},
      {with("\"Ct_Cantidad_1\": 12", "\"Ct_Cantidad_1\": 1e400"), "lines[0].Ct_Cantidad_1",
       "number out of range"},
      {with("Uniformes", "Uniform\xE9s"), "document",
       "not UTF-8: byte 0xE9 at line 1, column 171 (Latin-1 or Windows-1252 text?); convert it to "
       "UTF-8"},
      {std::string("\xFF\xFE{\0}\0", 6), "document", "UTF-16 text: convert it to UTF-8"},
  };
  std::string lines;
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    std::ofstream(dir / "doc.json", std::ios::binary) << c.text;
    Outcome run = program("quote --json --db q.db doc.json");
    EXPECT_EQ(run.status, 2) << i;
    EXPECT_EQ(Json::parse(run.out, nullptr, false),
              (Json{{"ok", false}, {"invalid", {{{"path", c.path}, {"problem", c.problem}}}}}))
        << i << ": " << run.out;
    EXPECT_NE(run.err.find("\n  " + c.path + ": " + c.problem + "\n"), std::string::npos)
        << run.err;
    lines += c.text + "\n";
  }
  lines += with("", "") + "\n";
  std::ofstream(dir / "quotes.jsonl", std::ios::binary) << lines;
  Outcome import = program("import --db q.db quotes.jsonl");
  EXPECT_EQ(import.status, 1);
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_NE(import.out.find("quotes.jsonl:" + std::to_string(i + 1) + ": invalid document: " +
                              cases[i].path + ": " + cases[i].problem + "\n"),
              std::string::npos)
        << import.out;
  EXPECT_NE(import.out.find("quotes.jsonl:5: quote A0000000001"), std::string::npos);
  EXPECT_EQ(quorlane::test::sqlite_rows(dir / "q.db", "SELECT Ct_Folio FROM Cotizacion_Encabezado"),
            Json::parse(R"([{"Ct_Folio": "A0000000001"}])"));

  // A request nested too deeply is a request error, and the next request is answered.
  Outcome script = program("script --db q.db", std::string(50000, '[') + "\n{\"op\":\"calls\"}\n");
  EXPECT_EQ(script.status, 0);
  EXPECT_EQ(script.out,
            "{\"ok\":false,\"kind\":\"request\",\"error\":\"nested more than 64 levels deep\"}\n"
            "{\"ok\":true,\"calls\":[]}\n");

  // 100 MB of brackets: refused at once by every command that reads it.
  ASSERT_EQ(quorlane::test::run_shell(dir, "head -c 100000000 /dev/zero | tr '\\0' '[' > big.json")
                .status,
            0);
  for (const auto& [command, status] :
       {std::pair<const char*, int>{"quote", 2}, {"import", 1}, {"script", 0}}) {
    Outcome big = program(std::string(command) + " --db q.db big.json");
    EXPECT_EQ(big.status, status) << command;
    EXPECT_NE((big.out + big.err).find("nested more than 64 levels deep"), std::string::npos)
        << command;
  }
}

// A connection string's password is never shown: not by init when it succeeds, not in any
// connection failure, in text or in JSON.
TEST_F(ProgramTest, PasswordsOfConnectionStringsAreNeverShown) {
  const std::string unreachable =
      "odbc:Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=x;Uid=u;";
  std::ofstream(dir / "doc.json") << quorlane::test::file_text(std::string(QUORLANE_SOURCE_DIR) +
                                                               "/examples/demo-quote.json");
  for (const std::string password : {"Pwd=hunter2;", "PASSWORD = {hunter2;x}}y};"}) {
    const std::string db = quoted(unreachable + password);
    for (const std::string& command :
         {"init --db " + db, "quote --json --db " + db + " doc.json",
          "quote --db " + db + " doc.json", "show --json --db " + db + " A1",
          "authorize --json --db " + db + " A1", "script --db " + db}) {
      Outcome run = program(command, "{\"op\":\"sql\",\"text\":\"SELECT 1\"}\n");
      EXPECT_EQ((run.out + run.err).find("hunter2"), std::string::npos) << command << "\n"
                                                                        << run.out << run.err;
      if (command.find("--json") != std::string::npos) {
        EXPECT_FALSE(Json::parse(run.out, nullptr, false).is_discarded()) << command;
      }
    }
    Outcome init = program("init --db " + db);
    EXPECT_EQ(init.status, 1);
    EXPECT_EQ(init.err.rfind("quorlane init: cannot set up the database " + unreachable +
                                 password.substr(0, password.find('=') + 1) + "***;: [08001] ",
                             0),
              0u)
        << init.err;
  }
}

// A password the server needs is sent to it and hidden in what the program prints.
TEST_F(ProgramTest, PasswordsOfAPostgreSQLConnectionAreHiddenWhenItWorks) {
  TestDatabase server(TestEngine::PostgreSQL, quorlane::test::Tables::None);
  QUORLANE_REQUIRE_TEST_DATABASE(server);
  Outcome ready = program("init --db " + quoted(server.setting() + "Pwd={s3;cr}}et};"));
  EXPECT_EQ(ready.status, 0) << ready.err;
  EXPECT_EQ(ready.out, "Database " + server.setting() + "Pwd=***; is ready.\n");
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
    // SQL Server gets its dates as YYYYMMDD[ HH:MM:SS], which every language setting reads
    // alike; the scripts show them as the other engines get them.
    if (engine == TestEngine::SqlServerDouble)
      answer = std::regex_replace(
          answer, std::regex(R"((["'])(\d{4})(\d{2})(\d{2})( \d{2}:\d{2}:\d{2})?\1)"),
          "$1$2-$3-$4$5$1");
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
