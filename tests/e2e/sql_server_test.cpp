// The SQL Server path, end to end, through the tests' own driver that answers as SQL Server
// (strict, code page 1252 for text written without N, a trigger on Folio) and records every
// statement and parameter it ran: what a quote's life sends is Transact-SQL a server takes, and
// no character, date or factor comes back other than it went in.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "e2e/e2e_support.h"
#include "support/failure_text.h"
#include "support/program_run.h"
#include "support/test_databases.h"

namespace quorlane::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string kSource = QUORLANE_SOURCE_DIR;
const std::string kComment = "Señora Müller — 日本語 Ωμέγα";

// One statement the driver ran, with its parameters: {C type, SQL type, declared size, value}.
struct Execution {
  std::string sql;
  std::vector<std::vector<std::string>> params;
};

std::string unescaped(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

// The driver's log: its statements, and its refusals and warnings.
void read_log(const std::string& path, std::vector<Execution>& runs,
              std::vector<std::string>& errors) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
      size_t tab = line.find('\t', start);
      fields.push_back(unescaped(line.substr(start, tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields[0] == "EXEC") runs.push_back({fields[1], {}});
    if (fields[0] == "PARAM" && !runs.empty())
      runs.back().params.push_back({fields[2], fields[3], fields[4], fields[5]});
    if (fields[0] == "ERROR" || fields[0] == "WARNING")
      errors.push_back(runs.back().sql + "\n  -> " + fields[1]);
  }
}

// Runs `sql` on the ODBC connection string `connection` straight through the driver manager, as
// a client other than Quorlane would (with literals as written, no N added).
void run_raw(const std::string& connection, const std::string& sql) {
  auto utf16 = [](const std::string& s) {
    std::basic_string<SQLWCHAR> out;
    for (size_t i = 0; i < s.size();) {
      unsigned char c = s[i];
      int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      char32_t v = extra == 0 ? c : c & (0x3F >> extra);
      for (int k = 1; k <= extra; ++k) v = (v << 6) | (s[i + k] & 0x3F);
      if (v >= 0x10000) {
        out += static_cast<SQLWCHAR>(0xD800 + ((v - 0x10000) >> 10));
        v = 0xDC00 + ((v - 0x10000) & 0x3FF);
      }
      out += static_cast<SQLWCHAR>(v);
      i += extra + 1;
    }
    return out;
  };
  SQLHENV env;
  SQLHDBC dbc;
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  auto text = utf16(connection);
  SQLSMALLINT length = 0;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, text.data(), SQL_NTS, nullptr, 0,
                                              &length, SQL_DRIVER_NOPROMPT)));
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  auto statement = utf16(sql);
  EXPECT_TRUE(SQL_SUCCEEDED(SQLExecDirectW(stmt, statement.data(), SQL_NTS))) << sql;
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
}

class SqlServerPath : public ProgramDirTest {
 protected:
  Json run_json(const std::string& command, const std::string& input = "") {
    ProgramRun run = program(command + " --json --db " + quoted(database.setting() + login), input);
    EXPECT_EQ(run.status, 0) << command << ": " << run.err << run.out;
    Json answer = Json::parse(run.out, nullptr, false);
    EXPECT_TRUE(answer.is_object() && answer.value("ok", true)) << command << ": " << run.out;
    return answer.is_object() ? answer : Json::object();
  }

  // `init --demo`, then a record-shape quote carrying the comment taken through every status
  // change, an object-shape quote rejected and a third one deleted. The first quote's folio.
  std::string quote_life() {
    ProgramRun init = program("init --demo --db " + quoted(database.setting()));
    EXPECT_EQ(init.status, 0) << init.err;
    Json record = Json::parse(file_text(kSource + "/examples/demo-quote.json"));
    record["header"]["Ct_Comentario"] = kComment;
    record["finalizar"] = false;
    Json first = run_json("quote -", record.dump());
    const std::string folio = first.value("folio", "");
    for (const Json& line : first["lines"]) EXPECT_TRUE(line["stored"].get<bool>()) << line;
    Json shown = run_json("show " + folio);
    EXPECT_EQ(shown["header"]["Ct_Comentario"], kComment);
    EXPECT_EQ(shown["lines"].size(), first["rows"].size());
    for (const char* change : {"finalize", "authorize", "cancel"}) run_json(change + (" " + folio));
    run_json(
        "reject " +
        run_json("quote " + kSource + "/examples/object-quote.json").value("folio", std::string()));
    run_json("delete " + run_json("quote -", record.dump()).value("folio", std::string()));
    EXPECT_EQ(run_json("show " + folio)["header"]["Es_Cve_Estado"], "CA");
    return folio;
  }

  TestDatabase database{TestEngine::SqlServerDouble, Tables::None};
  std::string login;  // settings of the driver added to the database's
};

TEST_F(SqlServerPath, TheDemoQuoteKeepsEveryCharacterAndNoStatementIsRefused) {
  quote_life();
  std::vector<Execution> runs;
  std::vector<std::string> errors;
  read_log(database.statement_log(), runs, errors);
  EXPECT_GT(runs.size(), 50u);
  for (const std::string& e : errors) ADD_FAILURE() << "refused: " << e;
  // Text goes as nvarchar of one declared size (one cached plan, never ntext); dates as dates.
  std::set<std::string> text_types, text_sizes, dates_as_text;
  const std::regex date_shape(R"(\d{4}-\d{2}-\d{2}( \d{2}:\d{2}:\d{2})?)");
  for (const Execution& run : runs) {
    for (const auto& p : run.params) {
      if (p[1] != "SQL_WVARCHAR" && p[1] != "SQL_WLONGVARCHAR" && p[1] != "SQL_VARCHAR") continue;
      text_types.insert(p[0] + " " + p[1]);
      text_sizes.insert(p[2]);
      if (std::regex_match(p[3], date_shape)) dates_as_text.insert(run.sql);
    }
  }
  EXPECT_EQ(text_types, std::set<std::string>{"SQL_C_WCHAR SQL_WVARCHAR"});
  EXPECT_EQ(text_sizes.size(), 1u) << "declared sizes of text parameters: " << text_sizes.size();
  for (const std::string& sql : dates_as_text) ADD_FAILURE() << "a date bound as text: " << sql;
}

// The driver is a stand-in only while it refuses what SQL Server refuses, loses what a code page
// 1252 database loses and matches as its collation matches.
TEST_F(SqlServerPath, TheDriverRefusesLosesAndMatchesAsSqlServerDoes) {
  TestDatabase tables(TestEngine::SqlServerDouble);
  QUORLANE_REQUIRE_TEST_DATABASE(tables);
  std::shared_ptr<db::Database> db = tables.connect();
  const std::string server = "[42000] [Microsoft][ODBC Driver 18 for SQL Server][SQL Server]";
  const std::pair<const char*, std::string> refused[] = {
      {"SELECT Mn_Cve_Moneda FROM Moneda LIMIT 1", server + "Incorrect syntax near 'LIMIT'."},
      {"UPDATE Moneda SET Mn_Descripcion = N'x' RETURNING Mn_Cve_Moneda",
       server + "Incorrect syntax near 'RETURNING'."},
      {"INSERT INTO Moneda (Mn_Cve_Moneda) VALUES (N'X') ON CONFLICT DO NOTHING",
       server + "Incorrect syntax near the keyword 'ON'."},
      {"SELECT N'a' || N'b'", server + "Incorrect syntax near '|'."},
      {"SELECT \"x\" FROM Moneda",
       "[42S22] [Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid column name 'x'."},
      {"UPDATE Folio SET Fo_Ultimo = 1 OUTPUT inserted.Fo_Ultimo",
       server + "The target table 'Folio' of the DML statement cannot have any enabled triggers "
                "if the statement contains an OUTPUT clause without INTO clause."},
      // A catalogue table has the trigger of its change counter.
      {"UPDATE Moneda SET Mn_Descripcion = N'x' OUTPUT inserted.Mn_Cve_Moneda",
       server + "The target table 'Moneda' of the DML statement cannot have any enabled triggers "
                "if the statement contains an OUTPUT clause without INTO clause."},
      {"IF OBJECT_ID(N'Moneda_T', N'TR') IS NULL CREATE TRIGGER Moneda_T ON Moneda AFTER INSERT "
       "AS SET NOCOUNT ON",
       server + "'CREATE TRIGGER' must be the first statement in a query batch."}};
  for (const auto& refusal : refused)
    EXPECT_EQ(failure_of([&] { db->Execute(refusal.first); }), refusal.second) << refusal.first;
  // Text written without N keeps what code page 1252 holds, unless the collation is a _UTF8 one.
  run_raw(tables.setting().substr(5),
          "INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES "
          "(N'A', N'" +
              kComment + "'), (N'B', '" + kComment + "')");
  run_raw(tables.setting().substr(5) + "Collation=Latin1_General_100_CI_AS_SC_UTF8;",
          "INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES ('C', '" + kComment + "')");
  EXPECT_EQ(db->run("SELECT Mn_Descripcion FROM Moneda ORDER BY Mn_Cve_Moneda").values,
            (std::vector<std::vector<Variant>>{
                {Variant(kComment)}, {Variant("Señora Müller — ??? ?????")}, {Variant(kComment)}}));
  EXPECT_EQ(db->run("SELECT COUNT(*) FROM Moneda WHERE Mn_Cve_Moneda IN ('a ', ?)", {Variant("c")})
                .first(),
            Variant(int32_t{2}));
}

// Under a login whose language reads a date text as year-day-month, a day after the 12th is still
// a day: the promotion of the quote's date is found and the registration keeps its date.
TEST_F(SqlServerPath, DatesReadTheSameUnderADayMonthYearLogin) {
  ASSERT_EQ(program("init --demo --db " + quoted(database.setting())).status, 0);
  login = "Language=dmy;";
  Json record = Json::parse(file_text(kSource + "/examples/demo-quote.json"));
  record["header"]["Ct_Fecha"] = "2026-12-25";
  Json quote = run_json("quote --clock 2026-12-25T10:30:00 -", record.dump());
  EXPECT_EQ(quote["rows"].size(), 4u);  // with the gift line of the promotion
  Json shown = run_json("show " + quote.value("folio", ""));
  EXPECT_EQ(shown["header"]["Fecha_Alta"], "2026-12-25 10:30:00");
  ASSERT_FALSE(shown["history"].empty());
  for (const Json& entry : shown["history"]) {
    EXPECT_EQ(entry["Hs_Fecha"], "2026-12-25");
    EXPECT_EQ(entry["Fecha_Alta"], "2026-12-25 10:30:00");
  }
}

// A catalogue row the server matches case-insensitively and without trailing blanks is the
// forward row, whatever its spelling.
TEST_F(SqlServerPath, TheConversionFactorOfARowSpelledOtherwiseIsNotInverted) {
  TestDatabase tables(TestEngine::SqlServerDouble);
  QUORLANE_REQUIRE_TEST_DATABASE(tables);
  HostSettings settings = e2e_settings(tables.setting());
  std::shared_ptr<StandardHost> host = StandardHost::create(settings);
  std::shared_ptr<cDatos> datos = host->factory()->create_datos();
  for (const char* origin : {"caj", "CAJ "}) {
    host->database()->run("DELETE FROM Unidad_Conversion");
    host->database()->run(
        "INSERT INTO Unidad_Conversion (Pr_Cve_Producto, Un_Cve_Unidad_Origen, "
        "Un_Cve_Unidad_Destino, Uc_Factor) VALUES (?, ?, ?, ?)",
        {Variant("P5"), Variant(origin), Variant("PZA"), Variant(12.0)});
    EXPECT_EQ(datos->Factor_Conversion("P5", "CAJ", "PZA"), 12.0) << origin;
    EXPECT_EQ(datos->Factor_Conversion("P5", "PZA", "CAJ"), 1.0 / 12) << origin;
  }
}

// Constructs the T-SQL reader of python3-sqlglot 10.6 cannot read, though SQL Server does. A
// statement holding one is checked by other means: the strict driver ran it without refusal,
// the statement without the construct (the pattern's unnamed groups, joined) parses, and so
// does each named group on its own (a condition or a column list as a SELECT).
struct Unreadable {
  const char* pattern;
  const char* reason;
};
const Unreadable kUnreadable[] = {
    {R"(^IF (?P<condition>OBJECT_ID\(N'\w+', N'U'\) IS NULL) (CREATE TABLE .*)$)",
     "control-of-flow IF is no statement for sqlglot 10.6"},
    {R"(^IF NOT EXISTS \((?P<query>SELECT .*?)\) ((?:CREATE INDEX|INSERT INTO) .*)$)",
     "control-of-flow IF is no statement for sqlglot 10.6"},
    {R"(^(UPDATE \w+ SET .*?) OUTPUT (?P<output>.*?)(?: INTO @\w+)?( WHERE .*)$)",
     "sqlglot 10.6 has no OUTPUT clause"},
    {R"(^(.* (?:BIG)?INT) IDENTITY\(1, 1\)(.*)$)",
     "sqlglot 10.6 reads no IDENTITY(seed, increment) after BIGINT"},
};

// Every distinct statement of a quote's whole life (both shapes, every status change, init
// --demo, and every request script) parses as T-SQL.
TEST_F(SqlServerPath, EveryStatementParsesAsTransactSql) {
  quote_life();
  std::vector<Execution> runs;
  std::vector<std::string> errors;
  read_log(database.statement_log(), runs, errors);
  for (const auto& entry : fs::directory_iterator(kSource + "/tests/scripts")) {
    TestDatabase fresh(TestEngine::SqlServerDouble, Tables::None);
    ASSERT_EQ(program("init --db " + quoted(fresh.setting())).status, 0);
    // The script's requests, its answers left out.
    run_shell(dir, "sed -n 's/^> //p' " + quoted(entry.path().string()) + " | " +
                       quoted(QUORLANE_PROGRAM_PATH) + " script --db " + quoted(fresh.setting()) +
                       " --server-id SRV1 --operator PRUEBA --clock 2026-12-05T10:30:00");
    read_log(fresh.statement_log(), runs, errors);
  }
  std::set<std::string> distinct;
  for (const Execution& run : runs) distinct.insert(run.sql);
  Json input = {{"statements", Json::array()}, {"unreadable", Json::array()}};
  for (const std::string& s : distinct) input["statements"].push_back(s);
  for (const Unreadable& u : kUnreadable) input["unreadable"].push_back(u.pattern);
  std::ofstream(dir / "statements.json") << input.dump();
  // A batch is read statement by statement.
  const char* parse = R"PY(
import json, re, sys, sqlglot
data = json.load(open(sys.argv[1]))
def parses(text):
    try:
        return all(e is not None for e in sqlglot.parse(text, read="tsql"))
    except Exception:
        return False
def statements(batch):
    out, start, quoted = [], 0, False
    for i, c in enumerate(batch):
        quoted ^= c == "'"
        if c == ";" and not quoted:
            out.append(batch[start:i])
            start = i + 1
    return [s.strip() for s in out + [batch[start:]] if s.strip()]
def readable(text, apart=False):
    if parses(text) or (apart and parses("SELECT " + text)):
        return True
    for pattern in data["unreadable"]:
        m = re.match(pattern, text, re.S)
        if m:
            named = set(m.groupdict().values())
            rest = "".join(g for g in m.groups() if g and g not in named)
            if readable(rest) and all(readable(p, True) for p in named if p):
                return True
    return False
for s in data["statements"]:
    if not parses(s):
        ok = all(readable(p) for p in statements(s))
        print(("PART " if ok else "FAIL ") + json.dumps(s, ensure_ascii=False))
)PY";
  ProgramRun checked = run_shell(dir, "/usr/bin/python3 -c " + quoted(parse) + " " +
                                          quoted((dir / "statements.json").string()));
  ASSERT_EQ(checked.status, 0) << checked.err;
  size_t in_parts = 0;
  std::istringstream out(checked.out);
  for (std::string line; std::getline(out, line);) {
    if (line.rfind("FAIL ", 0) == 0) ADD_FAILURE() << "not T-SQL: " << line.substr(5);
    in_parts += line.rfind("PART ", 0) == 0;
  }
  EXPECT_GT(distinct.size(), 60u);
  EXPECT_LT(in_parts, distinct.size() / 2) << checked.out;
}

}  // namespace
}  // namespace quorlane::test
