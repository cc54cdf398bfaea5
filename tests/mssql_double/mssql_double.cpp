// An ODBC driver for the tests that answers as Microsoft SQL Server would and keeps its data in a
// SQLite file. It lets the whole SQL Server path of the component run without a server:
//   - it names itself "Microsoft SQL Server" and answers the database's collation;
//   - it records every statement it runs and every bound parameter (C type, SQL type, declared
//     size, value) to a log file;
//   - in strict mode it refuses, with SQL Server's own messages, the forms SQL Server's parser
//     refuses (LIMIT, RETURNING, ON CONFLICT, ||, a double-quoted string, OUTPUT without INTO on
//     a table with a trigger, a long text parameter compared with =, CREATE TRIGGER after another
//     statement of its batch);
//   - a text literal without N, and text bound as narrow characters, keep only what code page
//     1252 holds, as on a database whose collation is not a _UTF8 one;
//   - text compares as SQL_Latin1_General_CP1_CI_AS does: case-insensitive, trailing blanks
//     ignored;
//   - a text parameter longer than the size it was bound with fails (right truncation), as with
//     Microsoft's driver;
//   - a text parameter of the form YYYY-MM-DD[ HH:MM:SS] is read as year-day-month under
//     Language=dmy, as a DATETIME column is read under a Spanish login.
// Settings come from the connection string:
//   Database=<sqlite file>;Strict=1;CodePage=1252;Collation=<name>;Language=dmy;Triggers=T1,T2;
//   Log=<file>
// Every Transact-SQL form the component uses is translated to SQLite here (TOP, N'', table
// variables, OUTPUT, IF ..., IDENTITY, NVARCHAR and DATETIME2, GETDATE, CONVERT, CONCAT,
// OBJECT_ID, sys.indexes, sys.triggers, INFORMATION_SCHEMA.TABLES, CREATE [OR ALTER] TRIGGER and
// DROP TRIGGER); ISNULL and DELETE t WHERE by the component's own dialect layer. A trigger is
// made of SQLite triggers, one per event, named <trigger>$<event>; they fire once a row rather
// than once a statement, which a trigger that counts changes does not mind.
#include <fcntl.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>
#include <sqlucode.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "db/dialect.h"

namespace {

// ---------------------------------------------------------------- text

std::string utf8_of(const SQLWCHAR* text, SQLINTEGER length) {
  std::string out;
  if (text == nullptr) return out;
  if (length == SQL_NTS) {
    length = 0;
    while (text[length] != 0) ++length;
  }
  for (SQLINTEGER i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The code points of UTF-8 text (a byte that is not UTF-8 stands for itself).
std::vector<char32_t> code_points(const std::string& s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t v = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) v = (v << 6) | (s[i + k] & 0x3F);
    out.push_back(v);
    i += extra + 1;
  }
  return out;
}

std::basic_string<SQLWCHAR> utf16_of(const std::string& s) {
  std::basic_string<SQLWCHAR> out;
  for (char32_t c : code_points(s)) {
    if (c >= 0x10000) {
      out += static_cast<SQLWCHAR>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<SQLWCHAR>(c);
    }
  }
  return out;
}

// What a varchar of code page 1252 keeps of the text: every other character becomes '?'.
std::string code_page_1252(const std::string& s) {
  static const std::u32string kHigh = U"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ";
  std::string out;
  for (char32_t c : code_points(s)) {
    bool kept = c < 0x80 || (c >= 0xA0 && c <= 0xFF) || kHigh.find(c) != std::u32string::npos;
    out +=
        kept ? utf8_of(std::basic_string<SQLWCHAR>(1, static_cast<SQLWCHAR>(c)).c_str(), 1) : "?";
  }
  return out;
}

// SQL_Latin1_General_CP1_CI_AS: letters of any case are equal (accents are not), trailing
// blanks are ignored.
char32_t folded(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F))
    return c + 0x20;
  return c;
}

int compare_as_server(void*, int n1, const void* p1, int n2, const void* p2) {
  auto points = [](const void* p, int n) {
    std::vector<char32_t> v = code_points(std::string(static_cast<const char*>(p), n));
    while (!v.empty() && v.back() == ' ') v.pop_back();
    for (char32_t& c : v) c = folded(c);
    return v;
  };
  std::vector<char32_t> a = points(p1, n1), b = points(p2, n2);
  return a < b ? -1 : a > b ? 1 : 0;
}

std::string escaped(const std::string& s) {
  std::string out;
  for (char c : s)
    out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\\' ? "\\\\" : std::string(1, c);
  return out;
}

bool same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// ---------------------------------------------------------------- statements as tokens

enum class Kind { Word, String, NString, Quoted, Number, Param, Punct, Blank };
struct Token {
  Kind kind;
  std::string text;  // String and NString: the value, apostrophes undoubled
};

std::vector<Token> lex(const std::string& s) {
  std::vector<Token> out;
  auto word_char = [](unsigned char c) {
    return isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80;
  };
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    size_t j = i + 1;
    if (isspace(c) || s.compare(i, 2, "--") == 0 || s.compare(i, 2, "/*") == 0) {
      if (isspace(c)) {
        while (j < s.size() && isspace(static_cast<unsigned char>(s[j]))) ++j;
      } else {
        bool line = s[i] == '-';
        j = s.find(line ? "\n" : "*/", i + 2);
        j = j == std::string::npos ? s.size() : j + (line ? 1 : 2);
      }
      out.push_back({Kind::Blank, " "});
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'')) {
      bool n = c != '\'';
      std::string value;
      for (j = i + (n ? 2 : 1); j < s.size(); ++j) {
        if (s[j] == '\'' && j + 1 < s.size() && s[j + 1] == '\'') {
          value += '\'';
          ++j;
        } else if (s[j] == '\'') {
          break;
        } else {
          value += s[j];
        }
      }
      j = std::min(j + 1, s.size());
      out.push_back({n ? Kind::NString : Kind::String, value});
    } else if (c == '"' || c == '[') {
      j = s.find(c == '"' ? '"' : ']', i + 1);
      j = j == std::string::npos ? s.size() : j + 1;
      out.push_back({Kind::Quoted, s.substr(i, j - i)});
    } else if (isdigit(c) || (c == '.' && i + 1 < s.size() && isdigit(s[i + 1]))) {
      while (j < s.size() && (isalnum(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      out.push_back({Kind::Number, s.substr(i, j - i)});
    } else if (word_char(c)) {
      while (j < s.size() && word_char(s[j])) ++j;
      out.push_back({Kind::Word, s.substr(i, j - i)});
    } else {
      out.push_back({c == '?' ? Kind::Param : Kind::Punct, std::string(1, c)});
    }
    i = j;
  }
  return out;
}

struct SqlError {
  std::string state;
  int native;
  std::string message;
};

SqlError syntax_error(const std::string& near, bool keyword = false) {
  return {"42000", 102,
          "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Incorrect syntax near " +
              std::string(keyword ? "the keyword " : "") + "'" + near + "'."};
}

// ---------------------------------------------------------------- handles

struct Settings {
  std::string database, collation = "SQL_Latin1_General_CP1_CI_AS", language = "us_english", log;
  bool strict = false, code_page = false;
  std::set<std::string> triggers;  // lower case
};

struct Diagnostics {
  std::vector<SqlError> records;
};

struct Env : Diagnostics {};

struct Stmt;

struct Dbc : Diagnostics {
  Settings settings;
  sqlite3* db = nullptr;
  // The statements not yet freed: disconnecting frees them, as a real driver does, so that a
  // client may leave its prepared statements to the disconnect.
  std::set<Stmt*> statements;
  bool utf8() const {
    std::string c = settings.collation;
    return c.size() >= 5 && same(c.substr(c.size() - 5), "_UTF8");
  }
};

struct Value {
  int type = SQLITE_NULL;
  sqlite3_int64 integer = 0;
  double number = 0;
  std::string text;
};

struct Result {
  bool rowset = false;
  std::vector<std::string> names;
  std::vector<SQLSMALLINT> types;
  std::vector<std::vector<Value>> rows;
  SQLLEN count = -1;
  bool dml = false;
};

struct Binding {
  SQLSMALLINT c_type, sql_type;
  SQLULEN size;
  SQLPOINTER data;
  SQLLEN buffer_length;
  SQLLEN* indicator;
};

struct Stmt : Diagnostics {
  Dbc* dbc;
  std::string sql;
  std::map<SQLUSMALLINT, Binding> bindings;
  std::vector<Result> results;
  size_t current = 0;
  long row = -1;
  std::map<SQLUSMALLINT, size_t> read_offset;  // of text read in pieces, in UTF-16 units
};

// ---------------------------------------------------------------- the log

void log_line(const Dbc& dbc, const std::string& line) {
  if (dbc.settings.log.empty()) return;
  int fd = open(dbc.settings.log.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (fd < 0) return;
  std::string text = line + "\n";
  ssize_t ignored =
      write(fd, text.data(), text.size());  // one write: whole lines between processes
  (void)ignored;
  close(fd);
}

std::string type_name(SQLSMALLINT t, bool c) {
  static const std::map<int, const char*> kSql = {{SQL_WVARCHAR, "SQL_WVARCHAR"},
                                                  {SQL_VARCHAR, "SQL_VARCHAR"},
                                                  {SQL_WLONGVARCHAR, "SQL_WLONGVARCHAR"},
                                                  {SQL_LONGVARCHAR, "SQL_LONGVARCHAR"},
                                                  {SQL_INTEGER, "SQL_INTEGER"},
                                                  {SQL_BIGINT, "SQL_BIGINT"},
                                                  {SQL_DOUBLE, "SQL_DOUBLE"},
                                                  {SQL_TYPE_DATE, "SQL_TYPE_DATE"},
                                                  {SQL_TYPE_TIMESTAMP, "SQL_TYPE_TIMESTAMP"},
                                                  {SQL_WCHAR, "SQL_WCHAR"}};
  static const std::map<int, const char*> kC = {{SQL_C_WCHAR, "SQL_C_WCHAR"},
                                                {SQL_C_CHAR, "SQL_C_CHAR"},
                                                {SQL_C_SLONG, "SQL_C_SLONG"},
                                                {SQL_C_SBIGINT, "SQL_C_SBIGINT"},
                                                {SQL_C_DOUBLE, "SQL_C_DOUBLE"},
                                                {SQL_C_TYPE_DATE, "SQL_C_TYPE_DATE"},
                                                {SQL_C_TYPE_TIMESTAMP, "SQL_C_TYPE_TIMESTAMP"}};
  const auto& names = c ? kC : kSql;
  auto found = names.find(t);
  return found != names.end() ? found->second : std::to_string(t);
}

// ---------------------------------------------------------------- parameters

std::string date_text(int y, int m, int d, int hh = -1, int mi = 0, int ss = 0) {
  char b[64];
  if (hh < 0)
    snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, d);
  else
    snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mi, ss);
  return b;
}

// The value a bound parameter gives the statement; its text is what the log shows.
Value parameter_value(const Dbc& dbc, const Binding& b) {
  Value v;
  if (b.indicator != nullptr && *b.indicator == SQL_NULL_DATA) return v;
  switch (b.c_type) {
    case SQL_C_WCHAR: {
      SQLLEN n = b.indicator == nullptr || *b.indicator == SQL_NTS
                     ? SQL_NTS
                     : *b.indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR));
      v.text = utf8_of(static_cast<const SQLWCHAR*>(b.data), static_cast<SQLINTEGER>(n));
      v.type = SQLITE_TEXT;
      // A declared size of 0 is nvarchar(max); a value longer than a declared size fails.
      size_t units = utf16_of(v.text).size();
      if (b.size > 0 && units > b.size && b.sql_type != SQL_WLONGVARCHAR)
        throw SqlError{"22001", 0,
                       "[Microsoft][ODBC Driver 18 for SQL Server]String data, right truncation"};
      break;
    }
    case SQL_C_CHAR: {
      const char* p = static_cast<const char*>(b.data);
      v.text = b.indicator == nullptr || *b.indicator == SQL_NTS ? std::string(p)
                                                                 : std::string(p, *b.indicator);
      v.type = SQLITE_TEXT;
      break;
    }
    case SQL_C_SLONG:
      v.type = SQLITE_INTEGER;
      v.integer = *static_cast<SQLINTEGER*>(b.data);
      v.text = std::to_string(v.integer);
      break;
    case SQL_C_SBIGINT:
      v.type = SQLITE_INTEGER;
      v.integer = *static_cast<SQLBIGINT*>(b.data);
      v.text = std::to_string(v.integer);
      break;
    case SQL_C_DOUBLE: {
      v.type = SQLITE_FLOAT;
      v.number = *static_cast<double*>(b.data);
      char t[40];
      snprintf(t, sizeof t, "%.17g", v.number);
      v.text = t;
      break;
    }
    case SQL_C_TYPE_DATE: {
      auto* d = static_cast<SQL_DATE_STRUCT*>(b.data);
      v.type = SQLITE_TEXT;
      v.text = date_text(d->year, d->month, d->day);
      break;
    }
    case SQL_C_TYPE_TIMESTAMP: {
      auto* t = static_cast<SQL_TIMESTAMP_STRUCT*>(b.data);
      v.type = SQLITE_TEXT;
      v.text = date_text(t->year, t->month, t->day, t->hour, t->minute, t->second);
      break;
    }
    default:
      throw SqlError{"HY003", 0, "Program type out of range"};
  }
  bool narrow_text =
      b.c_type == SQL_C_CHAR || b.sql_type == SQL_VARCHAR || b.sql_type == SQL_LONGVARCHAR;
  if (v.type == SQLITE_TEXT && narrow_text && dbc.settings.code_page && !dbc.utf8())
    v.text = code_page_1252(v.text);
  // A date written as text with hyphens, read by a DATETIME under a day-month-year language.
  const std::string& t = v.text;
  if (v.type == SQLITE_TEXT && b.c_type != SQL_C_TYPE_DATE && b.c_type != SQL_C_TYPE_TIMESTAMP &&
      same(dbc.settings.language, "dmy") && (t.size() == 10 || t.size() == 19) && t[4] == '-' &&
      t[7] == '-' && std::all_of(t.begin(), t.begin() + 4, ::isdigit)) {
    int month = std::atoi(t.substr(8, 2).c_str());
    if (month < 1 || month > 12)
      throw SqlError{
          "22007", 242,
          "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]The conversion of a "
          "nvarchar data type to a datetime data type resulted in an out-of-range value."};
    v.text = t.substr(0, 5) + t.substr(8, 2) + "-" + t.substr(5, 2) + t.substr(10);
  }
  return v;
}

// ---------------------------------------------------------------- translation to SQLite

struct Translator {
  Dbc& dbc;
  std::vector<Token> t;
  int* next_param;
  bool ddl = false;

  static bool word(const Token& k, const char* w) {
    return k.kind == Kind::Word && same(k.text, w);
  }
  size_t skip_blank(size_t i) const {
    while (i < t.size() && t[i].kind == Kind::Blank) ++i;
    return i;
  }
  // Index of the parenthesis closing the one at `open`.
  size_t closing(size_t open) const {
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
      if (t[i].kind != Kind::Punct) continue;
      if (t[i].text == "(") ++depth;
      if (t[i].text == ")" && --depth == 0) return i;
    }
    return t.size();
  }
  // The arguments of the call whose parenthesis opens at `open`, as token ranges.
  std::vector<std::pair<size_t, size_t>> arguments(size_t open) const {
    std::vector<std::pair<size_t, size_t>> out;
    size_t end = closing(open), from = open + 1;
    int depth = 0;
    for (size_t i = open + 1; i < end; ++i) {
      if (t[i].kind != Kind::Punct) continue;
      depth += t[i].text == "(" ? 1 : t[i].text == ")" ? -1 : 0;
      if (t[i].text == "," && depth == 0) {
        out.push_back({from, i});
        from = i + 1;
      }
    }
    out.push_back({from, end});
    return out;
  }

  static std::string quote(const std::string& v) {
    std::string out = "'";
    for (char c : v) out += c == '\'' ? "''" : std::string(1, c);
    return out + "'";
  }

  // A literal of the unseparated date form SQL Server reads under every language.
  static std::string literal_value(std::string v) {
    bool date = (v.size() == 8 || (v.size() == 17 && v[8] == ' ')) &&
                std::all_of(v.begin(), v.begin() + 8, ::isdigit);
    int month = date ? std::atoi(v.substr(4, 2).c_str()) : 0,
        day = date ? std::atoi(v.substr(6, 2).c_str()) : 0;
    if (date && month >= 1 && month <= 12 && day >= 1 && day <= 31)
      v = v.substr(0, 4) + "-" + v.substr(4, 2) + "-" + v.substr(6);
    return v;
  }

  std::string range(size_t from, size_t to) {
    std::string out;
    std::vector<std::pair<size_t, std::string>> limits;  // closing index, LIMIT text
    for (size_t i = from; i < to; ++i) {
      const Token& k = t[i];
      for (auto it = limits.begin(); it != limits.end();)
        if (it->first == i) {
          out += " LIMIT " + it->second + " ";
          it = limits.erase(it);
        } else {
          ++it;
        }
      size_t next = skip_blank(i + 1);
      bool call = next < t.size() && t[next].text == "(";
      if (k.kind == Kind::String) {
        out += quote(
            literal_value(dbc.settings.code_page && !dbc.utf8() ? code_page_1252(k.text) : k.text));
      } else if (k.kind == Kind::NString) {
        out += quote(literal_value(k.text));
      } else if (k.kind == Kind::Param) {
        out += "?" + std::to_string(++*next_param);
      } else if (k.kind == Kind::Quoted && k.text[0] == '[') {
        out += "\"" + k.text.substr(1, k.text.size() - 2) + "\"";
      } else if (k.kind != Kind::Word) {
        out += k.text;
      } else if (k.text[0] == '@') {
        out += "mssql_var_" + k.text.substr(1);
      } else if (word(k, "TOP") && next < t.size()) {
        // SELECT TOP n ...: LIMIT n where the query ends.
        size_t count = next, after = next + 1;
        if (t[next].text == "(") {
          count = skip_blank(next + 1);
          after = closing(next) + 1;
        }
        int depth = 0;
        size_t end = i;
        for (; end < to; ++end) {
          if (t[end].text == "(") ++depth;
          if (t[end].text == ")" && --depth < 0) break;
        }
        limits.push_back({end, t[count].text});
        i = after - 1;
      } else if ((word(k, "NVARCHAR") || word(k, "VARCHAR") || word(k, "NCHAR") ||
                  word(k, "CHAR"))) {
        out += ddl ? "TEXT COLLATE MSSQL" : "TEXT";
        if (call) i = closing(next);
      } else if (word(k, "DATETIME2")) {
        out += "DATETIME";
        if (call) i = closing(next);
      } else if ((word(k, "INT") || word(k, "BIGINT")) && next < t.size() &&
                 word(t[next], "IDENTITY")) {
        size_t open = skip_blank(next + 1);
        out += "INTEGER";
        i = open < t.size() && t[open].text == "(" ? closing(open) : next;
      } else if ((word(k, "GETDATE") || word(k, "SYSDATETIME")) && call) {
        out += "datetime('now', 'localtime')";
        i = closing(next);
      } else if (word(k, "CONVERT") && call) {
        auto args = arguments(next);
        std::string value = range(args[1].first, args[1].second);
        bool style_120 = args.size() > 2 &&
                         range(args[2].first, args[2].second).find("120") != std::string::npos;
        out += style_120 ? "strftime('%Y-%m-%d %H:%M:%S', " + value + ")"
                         : "CAST(" + value + " AS TEXT)";
        i = closing(next);
      } else if (word(k, "CONCAT") && call) {
        std::string joined;
        for (auto [from, to] : arguments(next))
          joined += (joined.empty() ? "" : " || ") + ("ifnull(" + range(from, to) + ", '')");
        out += "(" + joined + ")";
        i = closing(next);
      } else if (word(k, "DATABASEPROPERTYEX") && call) {
        out += quote(dbc.settings.collation);
        i = closing(next);
      } else if ((word(k, "SCHEMA_NAME") || word(k, "DB_NAME")) && call) {
        out += "'dbo'";
        i = closing(next);
      } else if (word(k, "OBJECT_ID") && call) {
        auto args = arguments(next);
        out +=
            "(SELECT name FROM sqlite_master WHERE name = " + range(args[0].first, args[0].second) +
            " COLLATE NOCASE)";
        i = closing(next);
      } else if (word(k, "sys") && i + 2 < to && t[i + 1].text == "." &&
                 word(t[i + 2], "indexes")) {
        out += "(SELECT name, tbl_name AS object_id FROM sqlite_master WHERE type = 'index')";
        i += 2;
      } else if (word(k, "sys") && i + 2 < to && t[i + 1].text == "." &&
                 word(t[i + 2], "triggers")) {
        out +=
            "(SELECT DISTINCT substr(name, 1, instr(name, '$') - 1) AS name, tbl_name AS "
            "parent_id, 0 AS is_disabled FROM sqlite_master WHERE type = 'trigger' AND "
            "instr(name, '$') > 0)";
        i += 2;
      } else if (word(k, "INFORMATION_SCHEMA") && i + 2 < to && word(t[i + 2], "TABLES")) {
        out +=
            "(SELECT 'dbo' AS TABLE_SCHEMA, name AS TABLE_NAME FROM sqlite_master WHERE type = "
            "'table')";
        i += 2;
      } else {
        out += k.text;
      }
    }
    for (auto& l : limits) out += " LIMIT " + l.second;
    return out;
  }
};

// ---------------------------------------------------------------- running on SQLite

SqlError sqlite_error(sqlite3* db) {
  std::string m = sqlite3_errmsg(db);
  const std::string prefix = "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]";
  if (m.rfind("no such column: ", 0) == 0)
    return {"42S22", 207, prefix + "Invalid column name '" + m.substr(16) + "'."};
  if (m.rfind("no such table: ", 0) == 0)
    return {"42S02", 208, prefix + "Invalid object name '" + m.substr(15) + "'."};
  if (m.find("UNIQUE constraint failed") != std::string::npos)
    return {"23000", 2627, prefix + "Violation of PRIMARY KEY constraint. " + m};
  return {"42000", 0, prefix + m};
}

SQLSMALLINT declared_type(const char* decl) {
  std::string d = decl == nullptr ? "" : decl;
  for (char& c : d) c = static_cast<char>(toupper(c));
  if (d.empty()) return 0;
  if (d == "DATE") return SQL_TYPE_DATE;
  if (d.find("DATETIME") == 0 || d == "TIMESTAMP") return SQL_TYPE_TIMESTAMP;
  if (d.find("INT") != std::string::npos) return SQL_INTEGER;
  if (d.find("FLOAT") != std::string::npos || d.find("NUMERIC") != std::string::npos ||
      d.find("DOUBLE") != std::string::npos || d.find("REAL") != std::string::npos)
    return SQL_DOUBLE;
  return SQL_WVARCHAR;
}

Result run_sqlite(Dbc& dbc, const std::string& sql, const std::vector<Value>& params, bool dml) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(dbc.db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
    throw sqlite_error(dbc.db);
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(s, sqlite3_finalize);
  for (int i = 1; i <= sqlite3_bind_parameter_count(s); ++i) {
    const char* name = sqlite3_bind_parameter_name(s, i);
    size_t n = name == nullptr ? i : std::stoul(name + 1);
    if (n > params.size()) throw SqlError{"07002", 0, "COUNT field incorrect"};
    const Value& v = params[n - 1];
    if (v.type == SQLITE_INTEGER)
      sqlite3_bind_int64(s, i, v.integer);
    else if (v.type == SQLITE_FLOAT)
      sqlite3_bind_double(s, i, v.number);
    else if (v.type == SQLITE_TEXT)
      sqlite3_bind_text(s, i, v.text.c_str(), -1, SQLITE_TRANSIENT);
  }
  Result r;
  int columns = sqlite3_column_count(s);
  r.rowset = columns > 0;
  for (int c = 0; c < columns; ++c) {
    r.names.push_back(sqlite3_column_name(s, c));
    r.types.push_back(declared_type(sqlite3_column_decltype(s, c)));
  }
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    std::vector<Value> row(columns);
    for (int c = 0; c < columns; ++c) {
      row[c].type = sqlite3_column_type(s, c);
      row[c].integer = sqlite3_column_int64(s, c);
      row[c].number = sqlite3_column_double(s, c);
      const unsigned char* text = sqlite3_column_text(s, c);
      row[c].text = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    }
    r.rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) throw sqlite_error(dbc.db);
  // A column of no declared type takes the type of its values.
  for (int c = 0; c < columns; ++c) {
    if (r.types[c] != 0) continue;
    bool integers = true, numbers = true;
    for (auto& row : r.rows) {
      integers &= row[c].type == SQLITE_INTEGER || row[c].type == SQLITE_NULL;
      numbers &= row[c].type != SQLITE_TEXT && row[c].type != SQLITE_BLOB;
    }
    r.types[c] = integers ? SQL_INTEGER : numbers ? SQL_DOUBLE : SQL_WVARCHAR;
  }
  r.dml = dml;
  r.count = dml ? sqlite3_changes(dbc.db) : -1;
  return r;
}

// SQL Server's limits on a new table's primary key: no column of unlimited size in it, and a
// warning (logged) when its columns may hold more than the 900 bytes of a clustered index.
void check_primary_key(Dbc& dbc, const std::vector<Token>& t) {
  Translator tr{dbc, t, nullptr};
  size_t name = tr.skip_blank(tr.skip_blank(1) + 1), open = tr.skip_blank(name + 1);
  if (open >= t.size() || t[open].text != "(") return;
  std::map<std::string, std::pair<int, bool>> columns;  // lower-case name: bytes, unlimited
  std::vector<std::string> key;
  auto lower = [](std::string w) {
    for (char& c : w) c = static_cast<char>(tolower(c));
    return w;
  };
  for (auto [from, to] : tr.arguments(open)) {
    size_t first = tr.skip_blank(from), type = tr.skip_blank(first + 1);
    if (first >= to) continue;
    if (Translator::word(t[first], "PRIMARY")) {
      size_t list = first;
      while (list < to && t[list].text != "(") ++list;
      for (size_t i = list; i < to; ++i)
        if (t[i].kind == Kind::Word) key.push_back(lower(t[i].text));
      continue;
    }
    std::string type_name = type < to ? lower(t[type].text) : "";
    size_t size_at = tr.skip_blank(type + 1);
    bool sized = size_at < to && t[size_at].text == "(";
    std::string size = sized ? lower(t[tr.skip_blank(size_at + 1)].text) : "";
    int bytes = type_name == "nvarchar" || type_name == "nchar" ? 2 * std::atoi(size.c_str())
                : type_name == "varchar" || type_name == "char" ? std::atoi(size.c_str())
                : type_name == "bigint" || type_name == "float" ? 8
                : type_name == "date"                           ? 3
                                                                : 9;
    if (type_name == "int") bytes = 4;
    columns[lower(t[first].text)] = {bytes, size == "max"};
    for (size_t i = type; i < to; ++i)
      if (Translator::word(t[i], "PRIMARY")) key.push_back(lower(t[first].text));
  }
  int total = 0;
  for (const std::string& column : key) {
    if (columns[column].second)
      throw SqlError{"42000", 1919,
                     "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Column '" + column +
                         "' in table '" + t[name].text +
                         "' is of a type that is invalid for use as a key column in an index."};
    total += columns[column].first;
  }
  if (total > 900)
    log_line(dbc,
             "WARNING\tWarning! The maximum key length for a clustered index is 900 bytes. The "
             "index 'PK__" +
                 t[name].text + "' has maximum length of " + std::to_string(total) +
                 " bytes. For some combination of large values, the insert/update operation will "
                 "fail.");
}

const char* const kServer = "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]";

// Whether the SQLite triggers of some trigger made here are on the table.
bool has_trigger(Dbc& dbc, const std::string& table) {
  Result r = run_sqlite(dbc,
                        "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND instr(name, '$') > "
                        "0 AND tbl_name = ?1 COLLATE NOCASE",
                        {Value{SQLITE_TEXT, 0, 0, table}}, false);
  return !r.rows.empty();
}

bool has_object(Dbc& dbc, const std::string& name) {
  Result r = run_sqlite(dbc, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE",
                        {Value{SQLITE_TEXT, 0, 0, name}}, false);
  return !r.rows.empty();
}

// CREATE [OR ALTER] TRIGGER name ON table AFTER events AS body, and DROP TRIGGER name, each a
// batch of its own. False for any other batch.
bool run_trigger_batch(Dbc& dbc, const std::vector<Token>& tokens) {
  std::vector<size_t> w;  // the tokens that are not blank
  for (size_t i = 0; i < tokens.size(); ++i)
    if (tokens[i].kind != Kind::Blank) w.push_back(i);
  auto is = [&](size_t n, const char* word) {
    return n < w.size() && Translator::word(tokens[w[n]], word);
  };
  auto text = [&](size_t n) { return n < w.size() ? tokens[w[n]].text : std::string(); };
  auto exec = [&](const std::string& sql) {
    if (sqlite3_exec(dbc.db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw sqlite_error(dbc.db);
  };
  static const char* kEvents[] = {"insert", "update", "delete"};
  if (is(0, "DROP") && is(1, "TRIGGER")) {
    const std::string name = text(2);
    if (!has_object(dbc, name + "$insert") && !has_object(dbc, name + "$update") &&
        !has_object(dbc, name + "$delete"))
      throw SqlError{"42000", 3701,
                     kServer + ("Cannot drop the trigger '" + name +
                                "', because it does not exist or you do not have permission.")};
    for (const char* event : kEvents) exec("DROP TRIGGER IF EXISTS \"" + name + "$" + event + "\"");
    return true;
  }
  const bool alter = is(0, "CREATE") && is(1, "OR") && is(2, "ALTER");
  for (size_t n = 1; n < w.size(); ++n)
    if (dbc.settings.strict && is(n, "TRIGGER") && (is(n - 1, "CREATE") || is(n - 1, "ALTER")) &&
        !(n == 1 && is(0, "CREATE")) && !(n == 3 && alter))
      throw SqlError{"42000", 111,
                     kServer + std::string("'CREATE TRIGGER' must be the first statement in a "
                                           "query batch.")};
  if (!is(0, "CREATE")) return false;
  size_t n = alter ? 3 : 1;
  if (!is(n, "TRIGGER")) return false;
  const std::string name = text(n + 1), table = text(n + 3);
  if (!is(n + 2, "ON") || !(is(n + 4, "AFTER") || is(n + 4, "FOR")))
    throw syntax_error(text(n + 2));
  std::vector<std::string> events;
  for (n += 5; n < w.size() && !is(n, "AS"); ++n)
    if (tokens[w[n]].text != ",") events.push_back(text(n));
  if (n >= w.size()) throw syntax_error(text(n - 1));
  // The body, its statements translated; SET NOCOUNT ON concerns no SQLite trigger.
  std::vector<std::vector<Token>> body(1);
  int depth = 0;
  for (size_t i = w[n] + 1; i < tokens.size(); ++i) {
    depth += tokens[i].text == "(" ? 1 : tokens[i].text == ")" ? -1 : 0;
    if (depth == 0 && tokens[i].text == ";")
      body.emplace_back();
    else
      body.back().push_back(tokens[i]);
  }
  std::string steps;
  int next_param = 0;
  for (const std::vector<Token>& statement : body) {
    Translator tr{dbc, statement, &next_param};
    size_t first = tr.skip_blank(0);
    if (first >= statement.size() || Translator::word(statement[first], "SET")) continue;
    steps += quorlane::db::adapt_statement(quorlane::db::Engine::SQLite,
                                           tr.range(first, statement.size())) +
             "; ";
  }
  if (!alter && (has_object(dbc, name + "$insert") || has_object(dbc, name + "$update") ||
                 has_object(dbc, name + "$delete")))
    throw SqlError{"42S01", 2714,
                   kServer + ("There is already an object named '" + name + "' in the database.")};
  exec("BEGIN IMMEDIATE");
  try {
    for (const char* event : kEvents) exec("DROP TRIGGER IF EXISTS \"" + name + "$" + event + "\"");
    for (std::string event : events) {
      for (char& c : event) c = static_cast<char>(tolower(c));
      exec("CREATE TRIGGER \"" + name + "$" + event + "\" AFTER " + event + " ON \"" + table +
           "\" BEGIN " + steps + "END");
    }
    exec("COMMIT");
  } catch (...) {
    sqlite3_exec(dbc.db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return true;
}

// One statement of a batch (no ';' at its level). Adds its results.
void run_statement(Dbc& dbc, std::vector<Token> tokens, const std::vector<Value>& params,
                   int& next_param, bool& nocount, std::vector<Result>& results) {
  while (!tokens.empty() && tokens.back().kind == Kind::Blank) tokens.pop_back();
  while (!tokens.empty() && tokens.front().kind == Kind::Blank) tokens.erase(tokens.begin());
  if (tokens.empty()) return;
  Translator tr{dbc, tokens, &next_param};
  auto at = [&](size_t i, const char* w) {
    return i < tokens.size() && Translator::word(tokens[i], w);
  };
  auto sqlite = [&](const std::string& text, bool dml) {
    return run_sqlite(dbc, quorlane::db::adapt_statement(quorlane::db::Engine::SQLite, text),
                      params, dml);
  };
  const std::string& first = tokens[0].text;
  if (same(first, "SET") && at(2, "NOCOUNT")) {
    nocount = at(4, "ON");
    return;
  }
  if (same(first, "DECLARE")) {  // DECLARE @v TABLE (columns)
    size_t open = tr.skip_blank(tr.skip_blank(tr.skip_blank(1) + 1) + 1);
    tr.ddl = true;
    std::string name = "mssql_var_" + tokens[tr.skip_blank(1)].text.substr(1);
    sqlite3_exec(dbc.db, ("DROP TABLE IF EXISTS temp." + name).c_str(), nullptr, nullptr, nullptr);
    sqlite("CREATE TEMP TABLE " + name + " " + tr.range(open, tokens.size()), false);
    return;
  }
  if (same(first, "IF")) {  // IF <condition> <statement>
    int depth = 0;
    size_t body = 1;
    for (; body < tokens.size(); ++body) {
      depth += tokens[body].text == "(" ? 1 : tokens[body].text == ")" ? -1 : 0;
      static const char* kStarts[] = {"CREATE", "INSERT", "UPDATE", "DELETE",
                                      "SELECT", "ALTER",  "DROP"};
      if (depth == 0 && std::any_of(std::begin(kStarts), std::end(kStarts), [&](const char* w) {
            return Translator::word(tokens[body], w);
          }))
        break;
    }
    std::string condition = tr.range(1, body);
    Result r = sqlite("SELECT CASE WHEN " + condition + " THEN 1 ELSE 0 END", false);
    if (r.rows[0][0].integer == 1)
      run_statement(dbc, std::vector<Token>(tokens.begin() + body, tokens.end()), params,
                    next_param, nocount, results);
    return;
  }
  bool dml = same(first, "INSERT") || same(first, "UPDATE") || same(first, "DELETE");
  // OUTPUT [INTO target [(columns)]]: RETURNING, its rows kept in the target when there is one.
  size_t output = tokens.size();
  for (size_t i = 0, depth = 0; i < tokens.size(); ++i) {
    depth += tokens[i].text == "(" ? 1 : tokens[i].text == ")" ? -1 : 0;
    if (depth == 0 && Translator::word(tokens[i], "OUTPUT")) output = i;
  }
  if (dml && output < tokens.size()) {
    size_t end = output + 1;
    static const char* kEnds[] = {"INTO", "WHERE", "FROM", "VALUES", "SELECT", "DEFAULT"};
    while (end < tokens.size() &&
           !std::any_of(std::begin(kEnds), std::end(kEnds),
                        [&](const char* w) { return Translator::word(tokens[end], w); }))
      ++end;
    std::string target_table =
        tokens[tr.skip_blank(
                   tr.skip_blank(1) +
                   (at(tr.skip_blank(1), "INTO") || at(tr.skip_blank(1), "FROM") ? 1 : 0))]
            .text;
    bool into = at(end, "INTO");
    std::string lower = target_table;
    for (char& c : lower) c = static_cast<char>(tolower(c));
    if (!into && dbc.settings.strict &&
        (dbc.settings.triggers.count(lower) || has_trigger(dbc, lower)))
      throw SqlError{
          "42000", 334,
          "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]The target table '" +
              target_table +
              "' of the DML statement cannot have any enabled triggers if the statement contains "
              "an OUTPUT clause without INTO clause."};
    std::vector<Token> list(tokens.begin() + output + 1, tokens.begin() + end);
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const Token& k) {
                                return k.kind == Kind::Word &&
                                       (same(k.text, "inserted") || same(k.text, "deleted"));
                              }),
               list.end());
    for (size_t i = 0; i + 1 < list.size(); ++i)
      if (list[i].text == "." && (i == 0 || list[i - 1].kind != Kind::Word))
        list.erase(list.begin() + i);
    std::string into_text;
    size_t rest = end;
    if (into) {
      size_t target = tr.skip_blank(end + 1), after = tr.skip_blank(target + 1);
      into_text = tr.range(target, target + 1);
      rest = target + 1;
      if (after < tokens.size() && tokens[after].text == "(") {
        into_text += " " + tr.range(after, tr.closing(after) + 1);
        rest = tr.closing(after) + 1;
      }
    }
    std::string head = tr.range(0, output), tail = tr.range(rest, tokens.size());
    Translator lt{dbc, list, &next_param};
    Result r = sqlite(head + " " + tail + " RETURNING " + lt.range(0, list.size()), true);
    if (!into) {
      results.push_back(std::move(r));
      return;
    }
    for (auto& row : r.rows) {
      std::string values;
      for (auto& v : row)
        values +=
            (values.empty() ? "" : ", ") + (v.type == SQLITE_NULL   ? "NULL"
                                            : v.type == SQLITE_TEXT ? Translator::quote(v.text)
                                                                    : v.text);
      sqlite("INSERT INTO " + into_text + " VALUES (" + values + ")", false);
    }
    if (!nocount) results.push_back({false, {}, {}, {}, static_cast<SQLLEN>(r.rows.size()), true});
    return;
  }
  tr.ddl = same(first, "CREATE");
  if (tr.ddl && dbc.settings.strict && at(tr.skip_blank(1), "TABLE"))
    check_primary_key(dbc, tokens);
  Result r = sqlite(tr.range(0, tokens.size()), dml);
  if (r.rowset || (dml && !nocount)) results.push_back(std::move(r));
}

// The refusals of SQL Server's parser for the forms SQLite and PostgreSQL take.
void refuse_foreign_forms(const std::vector<Token>& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (Translator::word(t[i], "LIMIT")) throw syntax_error("LIMIT");
    if (Translator::word(t[i], "RETURNING")) throw syntax_error("RETURNING");
    if (Translator::word(t[i], "ON")) {
      size_t next = i + 1;
      while (next < t.size() && t[next].kind == Kind::Blank) ++next;
      if (next < t.size() && Translator::word(t[next], "CONFLICT")) throw syntax_error("ON", true);
    }
    if (t[i].text == "|" && i + 1 < t.size() && t[i + 1].text == "|") throw syntax_error("|");
  }
}

std::vector<Result> execute(Stmt& st) {
  Dbc& dbc = *st.dbc;
  std::vector<Value> params;
  std::string log = "EXEC\t" + escaped(st.sql);
  for (auto& [index, b] : st.bindings) {
    if (index != params.size() + 1) throw SqlError{"07002", 0, "COUNT field incorrect"};
    params.push_back(parameter_value(dbc, b));
    log += "\nPARAM\t" + std::to_string(index) + "\t" + type_name(b.c_type, true) + "\t" +
           type_name(b.sql_type, false) + "\t" + std::to_string(b.size) + "\t" +
           (params.back().type == SQLITE_NULL ? "NULL" : escaped(params.back().text));
  }
  log_line(dbc, log);
  std::vector<Token> tokens = lex(st.sql);
  if (dbc.settings.strict) {
    refuse_foreign_forms(tokens);
    // A long text parameter (ntext) cannot be compared.
    size_t param = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (tokens[i].kind != Kind::Param) continue;
      auto b = st.bindings.find(static_cast<SQLUSMALLINT>(++param));
      size_t before = i;
      while (before > 0 && tokens[before - 1].kind == Kind::Blank) --before;
      if (b != st.bindings.end() &&
          (b->second.sql_type == SQL_WLONGVARCHAR || b->second.sql_type == SQL_LONGVARCHAR) &&
          before > 0 && (tokens[before - 1].text == "=" || tokens[before - 1].text == ">"))
        throw SqlError{
            "42000", 402,
            "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]The data types ntext and "
            "nvarchar are incompatible in the equal to operator."};
    }
  }
  if (run_trigger_batch(dbc, tokens)) return {};
  std::vector<std::vector<Token>> statements(1);
  int depth = 0;
  for (Token& k : tokens) {
    depth += k.text == "(" ? 1 : k.text == ")" ? -1 : 0;
    if (depth == 0 && k.kind == Kind::Punct && k.text == ";")
      statements.emplace_back();
    else
      statements.back().push_back(std::move(k));
  }
  // A batch runs whole or not at all.
  bool batch =
      statements.size() > 1 || (!statements[0].empty() && same(statements[0][0].text, "IF"));
  if (batch) sqlite3_exec(dbc.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  std::vector<Result> results;
  int next_param = 0;
  bool nocount = false;
  try {
    for (auto& s : statements) run_statement(dbc, s, params, next_param, nocount, results);
  } catch (...) {
    if (batch) sqlite3_exec(dbc.db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  if (batch) sqlite3_exec(dbc.db, "COMMIT", nullptr, nullptr, nullptr);
  return results;
}

template <class H>
SQLRETURN fail(H* h, const SqlError& e) {
  h->records.push_back(e);
  return SQL_ERROR;
}

void copy_out(const std::string& text, SQLPOINTER out, SQLSMALLINT room_bytes,
              SQLSMALLINT* length_bytes) {
  auto w = utf16_of(text);
  if (length_bytes) *length_bytes = static_cast<SQLSMALLINT>(w.size() * sizeof(SQLWCHAR));
  if (out == nullptr || room_bytes < static_cast<SQLSMALLINT>(sizeof(SQLWCHAR))) return;
  size_t n = std::min(w.size(), room_bytes / sizeof(SQLWCHAR) - 1);
  std::memcpy(out, w.data(), n * sizeof(SQLWCHAR));
  static_cast<SQLWCHAR*>(out)[n] = 0;
}

Diagnostics* diagnostics_of(SQLSMALLINT type, SQLHANDLE h) {
  if (type == SQL_HANDLE_ENV) return static_cast<Env*>(h);
  if (type == SQL_HANDLE_DBC) return static_cast<Dbc*>(h);
  return static_cast<Stmt*>(h);
}

void drop(Stmt* st) {
  st->dbc->statements.erase(st);
  delete st;
}

}  // namespace

// ---------------------------------------------------------------- the entry points

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (type == SQL_HANDLE_ENV)
    *output = new Env;
  else if (type == SQL_HANDLE_DBC)
    *output = new Dbc;
  else if (type == SQL_HANDLE_STMT) {
    Stmt* st = new Stmt{{}, static_cast<Dbc*>(input), {}, {}, {}, 0, -1, {}};
    st->dbc->statements.insert(st);
    *output = st;
  } else
    return SQL_ERROR;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE h) {
  if (type == SQL_HANDLE_ENV)
    delete static_cast<Env*>(h);
  else if (type == SQL_HANDLE_DBC)
    delete static_cast<Dbc*>(h);
  else
    drop(static_cast<Stmt*>(h));
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLEndTran(SQLSMALLINT, SQLHANDLE, SQLSMALLINT) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC h, SQLHWND, SQLWCHAR* in, SQLSMALLINT length,
                                    SQLWCHAR* out, SQLSMALLINT room, SQLSMALLINT* out_length,
                                    SQLUSMALLINT) {
  Dbc* dbc = static_cast<Dbc*>(h);
  std::string text = utf8_of(in, length);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string pair = text.substr(start, end - start);
    start = end + 1;
    size_t eq = pair.find('=');
    if (eq == std::string::npos) continue;
    std::string key = pair.substr(0, eq), value = pair.substr(eq + 1);
    Settings& s = dbc->settings;
    if (same(key, "Database"))
      s.database = value;
    else if (same(key, "Strict"))
      s.strict = value == "1";
    else if (same(key, "CodePage"))
      s.code_page = value == "1252";
    else if (same(key, "Collation"))
      s.collation = value;
    else if (same(key, "Language"))
      s.language = value;
    else if (same(key, "Log"))
      s.log = value;
    else if (same(key, "Triggers"))
      for (auto& k : lex(value))
        if (k.kind == Kind::Word) {
          std::string lower = k.text;
          for (char& c : lower) c = static_cast<char>(tolower(c));
          s.triggers.insert(lower);
        }
  }
  if (sqlite3_open_v2(dbc->settings.database.c_str(), &dbc->db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
    return fail(dbc, {"08001", 0, "cannot open " + dbc->settings.database});
  sqlite3_busy_timeout(dbc->db, 30000);
  // Readers never wait for a writer, as under SQL Server's row versioning.
  sqlite3_exec(dbc->db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
  // A test's database outlives no crash: no waiting for the disk at each commit.
  sqlite3_exec(dbc->db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  // "..." is a name, never a string, as with QUOTED_IDENTIFIER ON.
  sqlite3_db_config(dbc->db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(dbc->db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_create_collation(dbc->db, "MSSQL", SQLITE_UTF8, nullptr, compare_as_server);
  if (out != nullptr) copy_out(text, out, room, out_length);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC h) {
  Dbc* dbc = static_cast<Dbc*>(h);
  for (Stmt* st : dbc->statements) delete st;
  dbc->statements.clear();
  sqlite3_close_v2(dbc->db);
  dbc->db = nullptr;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT room,
                              SQLSMALLINT* length) {
  std::string text = type == SQL_DBMS_NAME  ? "Microsoft SQL Server"
                     : type == SQL_DBMS_VER ? "16.00.1000"
                                            : "";
  copy_out(text, value, room, length);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT h, SQLWCHAR* text, SQLINTEGER length) {
  Stmt* st = static_cast<Stmt*>(h);
  st->records.clear();
  st->sql = utf8_of(text, length);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT h, SQLUSMALLINT index, SQLSMALLINT, SQLSMALLINT c_type,
                                   SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT, SQLPOINTER data,
                                   SQLLEN buffer_length, SQLLEN* indicator) {
  static_cast<Stmt*>(h)->bindings[index] = {c_type, sql_type, size, data, buffer_length, indicator};
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT h) {
  Stmt* st = static_cast<Stmt*>(h);
  st->records.clear();
  st->results.clear();
  st->current = 0;
  st->row = -1;
  st->read_offset.clear();
  try {
    st->results = execute(*st);
  } catch (const SqlError& e) {
    log_line(*st->dbc, "ERROR\t[" + e.state + "] " + escaped(e.message));
    return fail(st, e);
  }
  if (st->results.size() == 1 && st->results[0].dml && !st->results[0].rowset &&
      st->results[0].count == 0)
    return SQL_NO_DATA;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT h, SQLWCHAR* text, SQLINTEGER length) {
  SQLPrepareW(h, text, length);
  return SQLExecute(h);
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT h, SQLSMALLINT* count) {
  Stmt* st = static_cast<Stmt*>(h);
  *count = st->current < st->results.size()
               ? static_cast<SQLSMALLINT>(st->results[st->current].names.size())
               : 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT h, SQLLEN* count) {
  Stmt* st = static_cast<Stmt*>(h);
  *count = st->current < st->results.size() ? st->results[st->current].count : -1;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT h) {
  Stmt* st = static_cast<Stmt*>(h);
  if (st->current + 1 >= st->results.size()) {
    st->current = st->results.size();
    return SQL_NO_DATA;
  }
  ++st->current;
  st->row = -1;
  st->read_offset.clear();
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT h, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT room,
                                  SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* size,
                                  SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  Stmt* st = static_cast<Stmt*>(h);
  const Result& r = st->results[st->current];
  auto w = utf16_of(r.names[column - 1]);
  size_t n = std::min<size_t>(w.size(), room > 0 ? room - 1 : 0);
  if (name != nullptr && room > 0) {
    std::memcpy(name, w.data(), n * sizeof(SQLWCHAR));
    name[n] = 0;
  }
  if (length) *length = static_cast<SQLSMALLINT>(w.size());
  if (type) *type = r.types[column - 1];
  if (size) *size = 0;
  if (digits) *digits = 0;
  if (nullable) *nullable = SQL_NULLABLE;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT h) {
  Stmt* st = static_cast<Stmt*>(h);
  if (st->current >= st->results.size()) return SQL_NO_DATA;
  st->read_offset.clear();
  return ++st->row < static_cast<long>(st->results[st->current].rows.size()) ? SQL_SUCCESS
                                                                             : SQL_NO_DATA;
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT h, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER out,
                             SQLLEN room, SQLLEN* indicator) {
  Stmt* st = static_cast<Stmt*>(h);
  const Value& v = st->results[st->current].rows[st->row][column - 1];
  if (v.type == SQLITE_NULL) {
    *indicator = SQL_NULL_DATA;
    return SQL_SUCCESS;
  }
  int y = 0, mo = 0, d = 0, hh = 0, mi = 0, ss = 0;
  std::string moment = v.text;  // "YYYY-MM-DD[ HH:MM:SS[.fff]]", the T of ISO 8601 as a blank
  std::replace(moment.begin(), moment.end(), 'T', ' ');
  bool dated = sscanf(moment.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &hh, &mi, &ss) >= 3;
  switch (c_type) {
    case SQL_C_SBIGINT:
      *static_cast<SQLBIGINT*>(out) =
          v.type == SQLITE_FLOAT ? static_cast<SQLBIGINT>(v.number) : v.integer;
      break;
    case SQL_C_DOUBLE:
      *static_cast<double*>(out) =
          v.type == SQLITE_INTEGER ? static_cast<double>(v.integer) : v.number;
      break;
    case SQL_C_TYPE_DATE:
    case SQL_C_TYPE_TIMESTAMP:
      if (!dated)
        return fail(st,
                    {"22018", 241,
                     "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Conversion failed when "
                     "converting date and/or time from character string."});
      if (c_type == SQL_C_TYPE_DATE) {
        *static_cast<SQL_DATE_STRUCT*>(out) = {static_cast<SQLSMALLINT>(y),
                                               static_cast<SQLUSMALLINT>(mo),
                                               static_cast<SQLUSMALLINT>(d)};
      } else {
        SQL_TIMESTAMP_STRUCT t{};
        t.year = y, t.month = mo, t.day = d, t.hour = hh, t.minute = mi, t.second = ss;
        *static_cast<SQL_TIMESTAMP_STRUCT*>(out) = t;
      }
      break;
    case SQL_C_WCHAR: {
      std::string text = v.text;
      if (v.type == SQLITE_FLOAT) {
        char b[40];
        snprintf(b, sizeof b, "%.15g", v.number);
        text = b;
      }
      auto w = utf16_of(text);
      size_t& offset = st->read_offset[column];
      if (offset > 0 && offset >= w.size()) return SQL_NO_DATA;
      size_t left = w.size() - offset, room_units = room / sizeof(SQLWCHAR) - 1;
      size_t n = std::min(left, room_units);
      std::memcpy(out, w.data() + offset, n * sizeof(SQLWCHAR));
      static_cast<SQLWCHAR*>(out)[n] = 0;
      *indicator = static_cast<SQLLEN>(left * sizeof(SQLWCHAR));
      offset += n;
      if (offset == 0) offset = 1;  // an empty text read once
      return n < left ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
    }
    default:
      return fail(st, {"HY003", 0, "Program type out of range"});
  }
  *indicator = 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT h, SQLUSMALLINT option) {
  Stmt* st = static_cast<Stmt*>(h);
  if (option == SQL_RESET_PARAMS) st->bindings.clear();
  if (option == SQL_CLOSE) {
    st->results.clear();
    st->current = 0;
  }
  if (option == SQL_DROP) drop(st);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT h) { return SQLFreeStmt(h, SQL_CLOSE); }

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT record, SQLWCHAR* state,
                                 SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT room,
                                 SQLSMALLINT* length) {
  Diagnostics* d = diagnostics_of(type, h);
  if (record < 1 || record > static_cast<SQLSMALLINT>(d->records.size())) return SQL_NO_DATA;
  const SqlError& e = d->records[record - 1];
  if (state != nullptr) {
    auto w = utf16_of(e.state);
    std::memcpy(state, w.data(), 5 * sizeof(SQLWCHAR));
    state[5] = 0;
  }
  if (native) *native = e.native;
  SQLSMALLINT bytes = 0;
  copy_out(e.message, message, static_cast<SQLSMALLINT>(room * sizeof(SQLWCHAR)), &bytes);
  if (length) *length = static_cast<SQLSMALLINT>(bytes / sizeof(SQLWCHAR));
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT record,
                                   SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT room,
                                   SQLSMALLINT* length) {
  Diagnostics* d = diagnostics_of(type, h);
  if (field == SQL_DIAG_NUMBER) {
    *static_cast<SQLINTEGER*>(value) = static_cast<SQLINTEGER>(d->records.size());
    return SQL_SUCCESS;
  }
  if (record < 1 || record > static_cast<SQLSMALLINT>(d->records.size())) return SQL_NO_DATA;
  const SqlError& e = d->records[record - 1];
  if (field == SQL_DIAG_SQLSTATE)
    copy_out(e.state, value, room, length);
  else if (field == SQL_DIAG_MESSAGE_TEXT)
    copy_out(e.message, value, room, length);
  else if (field == SQL_DIAG_NATIVE)
    *static_cast<SQLINTEGER*>(value) = e.native;
  else
    return SQL_ERROR;
  return SQL_SUCCESS;
}

}  // extern "C"
