// The built quorlane program on the embedded database: its command frame, `quorlane init`, and
// `quorlane script` driven by the scripts of tests/scripts.
//
// A script file holds requests ("> " lines) each followed by its expected answer: "< " the
// whole answer, "<? " only the members it names; a long answer goes on over "<+ " lines, whose
// text is appended as it stands (one call or one row to a line reads best); "#" lines are
// comments. Answers are compared as JSON values. Every script runs on a fresh database set up by
// `quorlane init`, with the host options below.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;  // answers compared as values, whatever the key order

const char* const kScriptOptions = "--server-id SRV1 --operator PRUEBA --clock 2026-12-05T10:30:00";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info->name();  // "AnswersAsExpected/record_quote" when parameterised
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
    fs::path in = dir / "stdin", out = dir / "stdout", err = dir / "stderr";
    std::ofstream(in, std::ios::binary) << input;
    std::string command = "cd " + quoted(dir.string()) + " && " + environment + " " +
                          quoted(QUORLANE_PROGRAM_PATH) + " " + args + " <" + quoted(in.string()) +
                          " >" + quoted(out.string()) + " 2>" + quoted(err.string());
    int raw = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = read_file(out);
    run.err = read_file(err);
    return run;
  }

  long long count(const fs::path& database, const std::string& query) {
    sqlite3* db = nullptr;
    long long n = -1;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
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

TEST_F(ProgramTest, InitCreatesTheTablesAndTheDemonstrationCatalogue) {
  fs::path plain = dir / "plain.db", demo = dir / "demo.db";
  Outcome init = program("init --db " + quoted(plain.string()));
  ASSERT_EQ(init.status, 0) << init.err;
  EXPECT_EQ(count(plain,
                  "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                  "('Cotizacion', 'Cotizacion_Encabezado', 'Documento_Descripcion_Extendida', "
                  "'Parametro', 'Sucursal', 'Producto', 'Folio', 'Historial_Seguimiento')"),
            8);
  EXPECT_EQ(count(plain, "SELECT COUNT(*) FROM Producto"), 0);

  // The database named by the environment, with the demonstration catalogue.
  Outcome with_demo = program("init --demo", "", "QUORLANE_DB=" + quoted(demo.string()));
  ASSERT_EQ(with_demo.status, 0) << with_demo.err;
  EXPECT_GT(count(demo, "SELECT COUNT(*) FROM Producto"), 0);
  EXPECT_GT(count(demo, "SELECT COUNT(*) FROM Folio"), 0);
  EXPECT_FALSE(fs::exists(dir / "quorlane.db"));
}

TEST_F(ProgramTest, ScriptReadsStandardInputAndExitsZeroWhateverTheAnswers) {
  fs::path db = dir / "q.db";
  ASSERT_EQ(program("init --db " + quoted(db.string())).status, 0);
  Outcome run = program("script --db " + quoted(db.string()),
                        "{\"op\":\"create\",\"class\":\"Cotizacion\",\"name\":\"q\"}\n"
                        "\n"
                        "{\"op\":\"get\",\"target\":\"q\",\"member\":\"Sin_Miembro\"}\n"
                        "roto\n"
                        "{\"op\":\"sql\",\"text\":\"SELECT COUNT(*) AS n FROM Cotizacion\"}\n");
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines;
  std::istringstream out(run.out);
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_EQ(lines[0], R"({"ok":true})");
  EXPECT_EQ(Json::parse(lines[1])["kind"], "request") << lines[1];
  EXPECT_EQ(Json::parse(lines[2])["kind"], "request") << lines[2];
  EXPECT_EQ(lines[3], R"({"ok":true,"rows":[{"n":0}]})");
}

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

class ScriptTest : public ProgramTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ScriptTest, AnswersAsExpected) {
  fs::path script = fs::path(QUORLANE_SOURCE_DIR) / "tests/scripts" / (GetParam() + ".jsonl");
  std::vector<Exchange> exchanges = read_script(script);
  ASSERT_FALSE(exchanges.empty());
  std::string input;
  for (const Exchange& e : exchanges) {
    ASSERT_FALSE(e.expected.empty()) << script << ":" << e.line << ": request without answer";
    input += e.request + "\n";
  }
  fs::path db = dir / "script.db";
  ASSERT_EQ(program("init --db " + quoted(db.string())).status, 0);
  Outcome run = program("script --db " + quoted(db.string()) + " " + kScriptOptions, input);
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
    EXPECT_EQ(actual, expected) << script << ":" << e.line << "\n  request:  " << e.request
                                << "\n  expected: " << e.expected << "\n  answered: " << answer;
  }
  EXPECT_FALSE(std::getline(out, answer)) << "an answer more than requests: " << answer;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, ::testing::ValuesIn(script_names()),
                         [](const auto& info) { return info.param; });

}  // namespace
