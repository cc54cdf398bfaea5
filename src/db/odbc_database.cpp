// The server backend: one ODBC connection (unixODBC and the server's driver), used by one thread
// at a time. Text crosses the driver through the wide-character calls as UTF-16, so that the
// driver manager never guesses an encoding.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_map>

#include "db/change_counter.h"
#include "db/connection_text.h"
#include "db/database.h"

namespace quorlane::db {

namespace {

constexpr const char* kUnknownServer =
    "Quorlane trabaja con PostgreSQL y Microsoft SQL Server; el servidor ODBC es: ";
constexpr const char* kNonStandardStrings =
    "El servidor PostgreSQL tiene standard_conforming_strings desactivado: Quorlane necesita "
    "standard_conforming_strings = on, para que una barra invertida dentro de un texto se "
    "guarde tal como es";
constexpr const char* kNoDiagnostics = "El controlador ODBC falló sin dar una descripción";
constexpr const char* kNotUtf8 =
    "El texto para la base de datos no es UTF-8 válido y no se ejecuta: byte ";

using WideText = std::basic_string<SQLWCHAR>;

// ---------------------------------------------------------------- UTF-8 <-> UTF-16

// Fails at a byte that is no part of well-formed UTF-8: the text cannot reach the driver as the
// characters it was meant to be, and no guess is stored in their place.
WideText wide(std::string_view utf8) {
  WideText out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t code = 0;
    size_t length = 0;
    if (c < 0x80) {
      code = c;
      length = 1;
    } else {
      size_t extra = (c >= 0xC2 && c <= 0xDF)   ? 1
                     : (c >= 0xE0 && c <= 0xEF) ? 2
                     : (c >= 0xF0 && c <= 0xF4) ? 3
                                                : 0;
      if (extra > 0 && i + extra < utf8.size()) {
        char32_t value = c & (0x3F >> extra);
        bool ok = true;
        for (size_t k = 1; ok && k <= extra; ++k) {
          unsigned char next = static_cast<unsigned char>(utf8[i + k]);
          ok = (next & 0xC0) == 0x80;
          value = (value << 6) | (next & 0x3F);
        }
        // Overlong forms and surrogates are no characters.
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (ok && value >= kLeast[extra] && value <= 0x10FFFF &&
            !(value >= 0xD800 && value <= 0xDFFF)) {
          code = value;
          length = extra + 1;
        }
      }
    }
    if (length == 0) throw Failure(kNotUtf8 + std::to_string(i + 1));
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<SQLWCHAR>(0xD800 + (code >> 10)));
      out.push_back(static_cast<SQLWCHAR>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<SQLWCHAR>(code));
    }
    i += length;
  }
  return out;
}

void append_utf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A lone surrogate becomes U+FFFD.
std::string narrow(const SQLWCHAR* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      append_utf8(out, 0xFFFD);
    } else {
      append_utf8(out, unit);
    }
  }
  return out;
}

// ---------------------------------------------------------------- failures

// The driver's diagnostics of the handle: "[SQLSTATE] message" for each record, joined by "; ".
// Every ODBC failure becomes a Failure here and nowhere else.
Failure odbc_failure(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::string text;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[2048];
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handle_type, handle, record, state, &native, message,
                                  static_cast<SQLSMALLINT>(std::size(message)), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    size_t kept = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                   std::size(message) - 1);
    std::string line = narrow(message, kept);
    // Drivers end or split a message with line breaks and tabs; the description is one line.
    for (char& c : line)
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    line.erase(
        std::unique(line.begin(), line.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
        line.end());
    while (!line.empty() && (line.back() == ' ' || line.back() == ';')) line.pop_back();
    if (!text.empty()) text += "; ";
    text += "[" + narrow(state, 5) + "] " + line;
  }
  // A driver may repeat the connection string, password included.
  return Failure(text.empty() ? kNoDiagnostics : without_passwords(text));
}

void check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle) {
  if (!SQL_SUCCEEDED(rc)) throw odbc_failure(handle_type, handle);
}

// Executing a searched UPDATE or DELETE that touches no row answers SQL_NO_DATA: no failure, but
// no result to read either (not even the empty one of a RETURNING clause). False then.
bool check_execution(SQLRETURN rc, SQLHSTMT stmt) {
  if (rc == SQL_NO_DATA) return false;
  check(rc, SQL_HANDLE_STMT, stmt);
  return true;
}

// ---------------------------------------------------------------- handles

// The process's ODBC environment, made once and kept for the life of the process (connections
// of threads still running at exit may use it).
SQLHENV environment() {
  static SQLHENV env = [] {
    SQLHENV handle = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle)))
      throw Failure("No se pudo crear el entorno ODBC");
    check(
        SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
        SQL_HANDLE_ENV, handle);
    return handle;
  }();
  return env;
}

class StatementHandle {
 public:
  explicit StatementHandle(SQLHDBC dbc) {
    check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt_), SQL_HANDLE_DBC, dbc);
  }
  StatementHandle(const StatementHandle&) = delete;
  StatementHandle& operator=(const StatementHandle&) = delete;
  ~StatementHandle() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }
  SQLHSTMT get() const { return stmt_; }
  SQLHSTMT release() {
    SQLHSTMT s = stmt_;
    stmt_ = SQL_NULL_HSTMT;
    return s;
  }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

// A connection handle, disconnected (which frees its statements) and freed when it goes.
class ConnectionHandle {
 public:
  ConnectionHandle() {
    SQLHENV env = environment();
    check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc_), SQL_HANDLE_ENV, env);
  }
  ConnectionHandle(const ConnectionHandle&) = delete;
  ConnectionHandle& operator=(const ConnectionHandle&) = delete;
  ~ConnectionHandle() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  }
  SQLHDBC get() const { return dbc_; }
  void connected() { connected_ = true; }

 private:
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

// ---------------------------------------------------------------- values

enum class Fetch { Integer, Number, Date, DateTime, Time, Text };

Fetch fetch_of(SQLSMALLINT type) {
  switch (type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return Fetch::Integer;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
      return Fetch::Number;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      return Fetch::Date;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return Fetch::DateTime;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      return Fetch::Time;
    default:
      return Fetch::Text;
  }
}

ColumnKind kind_of(Fetch fetch) {
  return fetch == Fetch::Date       ? ColumnKind::Date
         : fetch == Fetch::DateTime ? ColumnKind::DateTime
                                    : ColumnKind::Other;
}

std::string two_digits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::string date_text(int year, int month, int day) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
  return buffer;
}

std::string time_text(int hour, int minute, int second) {
  return two_digits(hour) + ":" + two_digits(minute) + ":" + two_digits(second);
}

Variant column_value(SQLHSTMT stmt, SQLUSMALLINT column, Fetch fetch) {
  SQLLEN indicator = 0;
  switch (fetch) {
    case Fetch::Integer: {
      SQLBIGINT v = 0;
      check(SQLGetData(stmt, column, SQL_C_SBIGINT, &v, sizeof v, &indicator), SQL_HANDLE_STMT,
            stmt);
      if (indicator == SQL_NULL_DATA) return Variant::null();
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant(static_cast<double>(v));
    }
    case Fetch::Number: {
      double v = 0;
      check(SQLGetData(stmt, column, SQL_C_DOUBLE, &v, sizeof v, &indicator), SQL_HANDLE_STMT,
            stmt);
      if (indicator == SQL_NULL_DATA) return Variant::null();
      return Variant(v);
    }
    case Fetch::Date: {
      SQL_DATE_STRUCT v{};
      check(SQLGetData(stmt, column, SQL_C_TYPE_DATE, &v, sizeof v, &indicator), SQL_HANDLE_STMT,
            stmt);
      if (indicator == SQL_NULL_DATA) return Variant::null();
      return Variant(date_text(v.year, v.month, v.day));
    }
    case Fetch::DateTime: {
      SQL_TIMESTAMP_STRUCT v{};
      check(SQLGetData(stmt, column, SQL_C_TYPE_TIMESTAMP, &v, sizeof v, &indicator),
            SQL_HANDLE_STMT, stmt);
      if (indicator == SQL_NULL_DATA) return Variant::null();
      return Variant(date_text(v.year, v.month, v.day) + " " +
                     time_text(v.hour, v.minute, v.second));
    }
    case Fetch::Time: {
      SQL_TIME_STRUCT v{};
      check(SQLGetData(stmt, column, SQL_C_TYPE_TIME, &v, sizeof v, &indicator), SQL_HANDLE_STMT,
            stmt);
      if (indicator == SQL_NULL_DATA) return Variant::null();
      return Variant(time_text(v.hour, v.minute, v.second));
    }
    case Fetch::Text:
      break;
  }
  // Text comes in pieces: each call fills the buffer but for its terminating NUL.
  WideText text;
  SQLWCHAR buffer[1024];
  for (;;) {
    SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    check(rc, SQL_HANDLE_STMT, stmt);
    if (indicator == SQL_NULL_DATA) return Variant::null();
    const size_t room = std::size(buffer) - 1;
    size_t got =
        indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(SQLWCHAR) > room
            ? room
            : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
    text.append(buffer, got);
    if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: truncated, more to come
  }
  return Variant(narrow(text.data(), text.size()));
}

// One bound parameter's value, kept alive until the statement has run.
struct Parameter {
  WideText text;
  SQLINTEGER integer = 0;
  double number = 0;
  SQL_DATE_STRUCT date{};
  SQL_TIMESTAMP_STRUCT date_time{};
  SQLLEN indicator = 0;
};

// Texts up to this many characters bind with this one declared size, so that SQL Server keeps
// one plan for a statement whatever the lengths of its values; a longer one binds as
// nvarchar(max) (declared size 0), still a plain parameter and never long data, which SQL
// Server would take as ntext (not comparable with =).
constexpr SQLULEN kTextParameterSize = 4000;

// The question a SQL Server connection asks once, to know how its database reads literals.
constexpr const char* kCollationQuery =
    "SELECT CONVERT(NVARCHAR(128), DATABASEPROPERTYEX(DB_NAME(), 'Collation'))";

Engine engine_named(const std::string& dbms) {
  if (dbms.find("PostgreSQL") != std::string::npos) return Engine::PostgreSQL;
  if (dbms.find("SQL Server") != std::string::npos) return Engine::SqlServer;
  throw Failure(kUnknownServer + dbms);
}

// ---------------------------------------------------------------- statements that write

// What a statement may write, as far as remembered catalogue answers are concerned.
struct Writes {
  bool unknown = false;  // it may write anything (anything but one plain query or DML statement)
  std::string table;     // the one table it writes, in lower case; empty for a query
};

bool is_name_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::string_view skip_blanks(std::string_view text) {
  for (;;) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
      text.remove_prefix(1);
    if (text.substr(0, 2) == "--") {
      size_t end = text.find('\n');
      text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    } else if (text.substr(0, 2) == "/*") {
      size_t end = text.find("*/", 2);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);
    } else {
      return text;
    }
  }
}

// The next word, in lower case.
std::string next_word(std::string_view& text) {
  text = skip_blanks(text);
  std::string word;
  while (!text.empty() && is_name_char(text.front())) {
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(text.front())));
    text.remove_prefix(1);
  }
  return word;
}

// A table's name, plain or quoted ("..." or [...]), of a schema or not: its last part, in lower
// case. Empty when there is none.
std::string next_table(std::string_view& text) {
  std::string name;
  for (;;) {
    text = skip_blanks(text);
    if (text.empty()) return name;
    const char open = text.front();
    if (open == '"' || open == '[') {
      const char close = open == '"' ? '"' : ']';
      size_t end = text.find(close, 1);
      if (end == std::string_view::npos) return "";
      name.clear();
      for (char c : text.substr(1, end - 1))
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      text.remove_prefix(end + 1);
    } else {
      name = next_word(text);
    }
    if (text.empty() || text.front() != '.') return name;
    text.remove_prefix(1);
  }
}

// Whether a second statement follows the first: a semicolon outside quoted texts and names
// with anything but blanks after it.
bool holds_second_statement(std::string_view text) {
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';' && !skip_blanks(text.substr(i + 1)).empty() &&
               skip_blanks(text.substr(i + 1)).front() != ';') {
      return true;
    }
  }
  return false;
}

Writes writes_of(std::string_view sql) {
  Writes w;
  if (holds_second_statement(sql)) {
    w.unknown = true;
    return w;
  }
  std::string_view rest = sql;
  const std::string verb = next_word(rest);
  if (verb == "select" || verb == "show") return w;
  if (verb == "insert" && next_word(rest) == "into") {
    w.table = next_table(rest);
  } else if (verb == "update") {
    w.table = next_table(rest);
  } else if (verb == "delete") {
    std::string_view after = rest;
    w.table = next_word(after) == "from" ? next_table(after) : next_table(rest);
  }
  w.unknown = w.table.empty();
  return w;
}

// ---------------------------------------------------------------- connections of the process

// What the connections of this process to one database (by connection string) share, so that
// an answer one of them remembers is forgotten as soon as any of them writes a table it was read
// from.
struct SharedServer {
  std::mutex mutex;
  std::vector<std::string> tables;  // in lower case: tables remembered answers were read from
  std::atomic<uint64_t> writes{0};  // statements that wrote one of them
};

std::shared_ptr<SharedServer> shared_server(const std::string& connection_string) {
  static std::mutex registry_mutex;
  static std::map<std::string, std::weak_ptr<SharedServer>> registry;
  std::lock_guard<std::mutex> lock(registry_mutex);
  std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
  std::weak_ptr<SharedServer>& slot = registry[connection_string];
  std::shared_ptr<SharedServer> shared = slot.lock();
  if (!shared) {
    shared = std::make_shared<SharedServer>();
    slot = shared;
  }
  return shared;
}

// ---------------------------------------------------------------- connection

class OdbcDatabase final : public Database {
 public:
  OdbcDatabase(const std::string& connection_string, std::shared_ptr<const DeclaredNames> declared)
      : declared_(std::move(declared)), shared_(shared_server(connection_string)) {
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    WideText text = wide(connection_string);
    SQLSMALLINT out_length = 0;
    check(SQLDriverConnectW(dbc_, nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                            nullptr, 0, &out_length, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc_);
    connection_.connected();
    // Every statement stands on its own, as the component expects.
    check(SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT,
                             reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
          SQL_HANDLE_DBC, dbc_);
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    check(SQLGetInfoW(dbc_, SQL_DBMS_NAME, name, sizeof name, &length), SQL_HANDLE_DBC, dbc_);
    engine_ = engine_named(narrow(name, std::min<size_t>(length / sizeof(SQLWCHAR), 255)));
    // The component doubles apostrophes and leaves backslashes alone: a server that reads
    // backslashes as escapes would store other texts than the ones written.
    if (engine_ == Engine::PostgreSQL &&
        run("SHOW standard_conforming_strings", {}).first().to_text() != "on")
      throw Failure(kNonStandardStrings);
    // Asked while literals still go as written (collation_ starts as Utf8), so the question is
    // sent exactly as it stands. A database that does not answer keeps the safe reading.
    if (engine_ == Engine::SqlServer) {
      Variant name = run(kCollationQuery, {}).first();
      collation_ = name.is_null() ? Collation::CodePage : collation_named(name.to_text());
    }
  }

  // The prepared statements go with the connection: disconnecting frees them, without the
  // round trip per statement that freeing each one first would cost.
  ~OdbcDatabase() override = default;

  Engine engine() const override { return engine_; }

  std::shared_ptr<Recordset> Execute(const std::string& sql, int32_t) override {
    refuse_nul(sql);
    std::optional<std::string> adapted = adapted_statement(engine_, sql, collation_);
    WideText text = wide(adapted ? *adapted : sql);
    StatementHandle stmt(dbc_);
    Rows rows;
    changes_ = 0;
    Written written{writes_catalogue(sql) ? shared_.get() : nullptr};
    count_statement();
    if (executed(SQLExecDirectW(stmt.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
                 stmt.get()))
      rows = read_rows(stmt.get());
    // Its columns named as SQL Server and SQLite name them, not as PostgreSQL folded them.
    if (engine_ == Engine::PostgreSQL) unfold_column_names(sql, rows.columns, declared_.get());
    return std::make_shared<MemoryRecordset>(std::move(rows.columns), std::move(rows.values));
  }

  Rows run(const std::string& sql, const std::vector<Variant>& params) override {
    refuse_nul(sql);
    SQLHSTMT stmt = cached(sql);
    struct Reset {
      SQLHSTMT s;
      ~Reset() {
        SQLFreeStmt(s, SQL_CLOSE);
        SQLFreeStmt(s, SQL_RESET_PARAMS);
      }
    } reset{stmt};
    std::vector<Parameter> values(params.size());
    for (size_t i = 0; i < params.size(); ++i)
      bind(stmt, static_cast<SQLUSMALLINT>(i + 1), params[i], values[i]);
    changes_ = 0;
    Written written{writes_catalogue(sql) ? shared_.get() : nullptr};
    count_statement();
    if (!executed(SQLExecute(stmt), stmt)) return Rows();
    return read_rows(stmt);
  }

  int64_t changes() override { return changes_; }

  bool has_table(const std::string& name) override {
    const char* query =
        engine_ == Engine::SqlServer
            ? "SELECT 1 FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_SCHEMA = SCHEMA_NAME() "
              "AND UPPER(TABLE_NAME) = UPPER(?)"
            : "SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() "
              "AND lower(table_name) = lower(?)";
    return !run(query, {Variant(name)}).empty();
  }

 protected:
  Rows answer_catalogue(const std::string& sql, const std::vector<Variant>& params,
                        std::initializer_list<std::string_view> tables, uint64_t call) override {
    if (call == 0 || tables.size() == 0) return run(sql, params);
    if (call != call_) {
      // Answers read from a table without a counter serve the call that read them alone.
      call_ = call;
      std::erase_if(answers_, [](const auto& entry) { return !entry.second.lasting; });
    }
    forget_answers_if_outdated();
    std::string& key = key_buffer_;
    key.assign(sql);
    for (const Variant& p : params)
      if (!append_answer_key(key, p)) return run(sql, params);
    if (auto found = answers_.find(key); found != answers_.end()) return found->second.rows;

    bool lasting = true;
    {
      // From now on a write of these tables by any connection of this process to the same
      // database makes every such connection forget its answers.
      std::lock_guard<std::mutex> lock(shared_->mutex);
      for (std::string_view table : tables) {
        std::string name = folded(std::string(table));
        lasting = lasting && counters_.count(name) != 0;
        if (std::find(shared_->tables.begin(), shared_->tables.end(), name) ==
            shared_->tables.end())
          shared_->tables.push_back(std::move(name));
      }
    }
    Rows rows = run(sql, params);
    if (shared_->writes.load() == seen_writes_) {
      if (answers_.size() >= kAnswerLimit) answers_.clear();
      answers_.emplace(key, Answer{rows, lasting});
    }
    return rows;
  }

 private:
  // Whether the executed statement has results to read. On SQL Server a batch whose first
  // statement changed no row answers SQL_NO_DATA, yet the batch's later results follow it.
  bool executed(SQLRETURN rc, SQLHSTMT stmt) {
    if (check_execution(rc, stmt)) return true;
    if (engine_ != Engine::SqlServer) return false;
    return check_execution(SQLMoreResults(stmt), stmt);
  }

  struct Answer {
    Rows rows;
    bool lasting;  // every table it was read from has a counter: it may serve later calls
  };

  static std::string folded(const std::string& name) {
    std::string out = name;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  }

  // Whether a statement may write a table some connection of the process remembers answers
  // of (a statement whose table cannot be told may write any, and a transaction's end may
  // undo what was read inside it). Such a statement makes this connection forget its answers
  // before it runs, and every connection of the process once it has run (Written).
  bool writes_catalogue(const std::string& sql) {
    Writes w = writes_of(sql);
    if (!w.unknown && w.table.empty()) return false;
    if (!w.unknown) {
      std::lock_guard<std::mutex> lock(shared_->mutex);
      if (std::find(shared_->tables.begin(), shared_->tables.end(), w.table) ==
          shared_->tables.end())
        return false;
    }
    answers_.clear();
    return true;
  }

  struct Written {
    SharedServer* shared;  // null when the statement writes no catalogue table
    ~Written() {
      if (shared != nullptr) shared->writes.fetch_add(1);
    }
  };

  // Forgets the answers when a connection of this process has written a table they were read
  // from, or when the change counters have moved since the last look, taken at most
  // kCountersCheck ago.
  void forget_answers_if_outdated() {
    const uint64_t writes = shared_->writes.load();
    bool outdated = writes != seen_writes_;
    const auto now = std::chrono::steady_clock::now();
    if (!outdated && (!counters_read_ || now - counters_read_at_ >= kCountersCheck)) {
      outdated = counters_changed();
      counters_read_ = true;
      counters_read_at_ = now;
    }
    if (outdated) {
      answers_.clear();
      seen_writes_ = writes;
    }
  }

  // Reads the change counters: whether they differ from the last read. Whether the database
  // has them at all is asked once, and again after kClockReread; without them answers last one
  // routine call.
  bool counters_changed() {
    const char* query = change_counter_query(engine_);
    const auto now = std::chrono::steady_clock::now();
    if (query != nullptr && (!counters_probed_ || now - counters_probed_at_ >= kClockReread)) {
      counters_probed_ = true;
      counters_probed_at_ = now;
      has_counters_ = has_table(kChangeCounterTable);
    }
    std::map<std::string, int64_t> counters;
    if (query != nullptr && has_counters_) {
      try {
        for (const std::vector<Variant>& row : run(query, {}).values)
          counters[folded(row.at(0).to_text())] = static_cast<int64_t>(row.at(1).to_double());
      } catch (const Failure&) {
        // Gone since it was found.
        has_counters_ = false;
        counters.clear();
      }
    }
    if (counters == counters_) return false;
    counters_ = std::move(counters);
    return true;
  }

  // The rows of the statement's first result that has columns; a statement without one leaves
  // the count of rows it changed.
  Rows read_rows(SQLHSTMT stmt) {
    Rows rows;
    changes_ = 0;
    for (;;) {
      SQLSMALLINT count = 0;
      check(SQLNumResultCols(stmt, &count), SQL_HANDLE_STMT, stmt);
      if (count > 0) {
        read_result(stmt, count, rows);
        return rows;
      }
      SQLLEN changed = 0;
      if (SQL_SUCCEEDED(SQLRowCount(stmt, &changed)) && changed >= 0) changes_ = changed;
      SQLRETURN rc = SQLMoreResults(stmt);
      if (rc == SQL_NO_DATA) return rows;
      check(rc, SQL_HANDLE_STMT, stmt);
    }
  }

  void read_result(SQLHSTMT stmt, SQLSMALLINT count, Rows& rows) {
    std::vector<Fetch> fetches;
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      check(SQLDescribeColW(stmt, i, name, static_cast<SQLSMALLINT>(std::size(name)), &length,
                            &type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, stmt);
      rows.columns.push_back(
          narrow(name, std::min<size_t>(static_cast<size_t>(length), std::size(name) - 1)));
      fetches.push_back(fetch_of(type));
      rows.kinds.push_back(kind_of(fetches.back()));
    }
    for (;;) {
      SQLRETURN rc = SQLFetch(stmt);
      if (rc == SQL_NO_DATA) break;
      check(rc, SQL_HANDLE_STMT, stmt);
      std::vector<Variant> row;
      row.reserve(fetches.size());
      for (size_t i = 0; i < fetches.size(); ++i)
        row.push_back(column_value(stmt, static_cast<SQLUSMALLINT>(i + 1), fetches[i]));
      rows.values.push_back(std::move(row));
    }
    SQLLEN changed = 0;
    if (SQL_SUCCEEDED(SQLRowCount(stmt, &changed)) && changed >= 0) changes_ = changed;
  }

  SQLHSTMT cached(const std::string& sql) {
    auto found = cache_.find(sql);
    if (found != cache_.end()) return found->second;
    // The host's statements are few; a cache grown past any sensible size starts again.
    if (cache_.size() >= kCacheLimit) {
      for (auto& entry : cache_) SQLFreeHandle(SQL_HANDLE_STMT, entry.second);
      cache_.clear();
    }
    StatementHandle stmt(dbc_);
    std::optional<std::string> adapted = adapted_statement(engine_, sql, collation_);
    WideText text = wide(adapted ? *adapted : sql);
    check(SQLPrepareW(stmt.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
          SQL_HANDLE_STMT, stmt.get());
    SQLHSTMT kept = stmt.release();
    cache_.emplace(sql, kept);
    return kept;
  }

  // Empty and Null bind SQL NULL, yes/no 1 or 0, a date at midnight a date value and any other a
  // date-time value (which the server reads the same under every language and date format),
  // text as wide characters.
  void bind(SQLHSTMT stmt, SQLUSMALLINT index, const Variant& value, Parameter& p) {
    SQLRETURN rc = SQL_SUCCESS;
    switch (value.kind()) {
      case Variant::Kind::Empty:
      case Variant::Kind::Null:
        p.indicator = SQL_NULL_DATA;
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                              kTextParameterSize, 0, nullptr, 0, &p.indicator);
        break;
      case Variant::Kind::Boolean:
      case Variant::Kind::Int16:
      case Variant::Kind::Int32:
        p.integer =
            value.kind() == Variant::Kind::Boolean ? (value.raw_bool() ? 1 : 0) : value.raw_int();
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                              &p.integer, 0, nullptr);
        break;
      case Variant::Kind::Double:
        p.number = value.raw_double();
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0,
                              &p.number, 0, nullptr);
        break;
      case Variant::Kind::Date: {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        const std::string text = date_time_text(Date{value.raw_double()});
        std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                    &second);
        if (hour == 0 && minute == 0 && second == 0) {
          p.date = {static_cast<SQLSMALLINT>(year), static_cast<SQLUSMALLINT>(month),
                    static_cast<SQLUSMALLINT>(day)};
          rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0,
                                &p.date, sizeof p.date, nullptr);
        } else {
          p.date_time = {static_cast<SQLSMALLINT>(year),
                         static_cast<SQLUSMALLINT>(month),
                         static_cast<SQLUSMALLINT>(day),
                         static_cast<SQLUSMALLINT>(hour),
                         static_cast<SQLUSMALLINT>(minute),
                         static_cast<SQLUSMALLINT>(second),
                         0};
          // 19 characters, no fraction of a second: "YYYY-MM-DD HH:MM:SS".
          rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                SQL_TYPE_TIMESTAMP, 19, 0, &p.date_time, sizeof p.date_time,
                                nullptr);
        }
        break;
      }
      case Variant::Kind::Text: {
        refuse_nul(value.raw_text());
        p.text = wide(value.raw_text());
        p.indicator = static_cast<SQLLEN>(p.text.size() * sizeof(SQLWCHAR));
        SQLULEN size = p.text.size() <= kTextParameterSize ? kTextParameterSize : 0;
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, size, 0,
                              p.text.data(), p.indicator, &p.indicator);
        break;
      }
      default:
        throw Failure(kTypeMismatch);  // objects and records have no SQL value
    }
    check(rc, SQL_HANDLE_STMT, stmt);
  }

  static constexpr size_t kCacheLimit = 256;
  ConnectionHandle connection_;  // first made, last gone
  SQLHDBC dbc_ = connection_.get();
  Engine engine_ = Engine::PostgreSQL;
  Collation collation_ = Collation::Utf8;
  std::shared_ptr<const DeclaredNames> declared_;
  int64_t changes_ = 0;
  std::unordered_map<std::string, SQLHSTMT> cache_;

  // Catalogue answers, by query text and parameters.
  static constexpr size_t kAnswerLimit = 4096;
  // How long answers may be given from memory without reading the change counters again.
  static constexpr auto kCountersCheck = std::chrono::milliseconds(10);
  std::shared_ptr<SharedServer> shared_;
  std::unordered_map<std::string, Answer> answers_;
  std::string key_buffer_;
  uint64_t call_ = 0;  // the routine call the answers serve
  uint64_t seen_writes_ = 0;
  bool counters_read_ = false;
  std::chrono::steady_clock::time_point counters_read_at_{};
  std::map<std::string, int64_t> counters_;  // by table, as last read
  bool counters_probed_ = false, has_counters_ = false;
  std::chrono::steady_clock::time_point counters_probed_at_{};
};

}  // namespace

std::shared_ptr<Database> open_odbc(const std::string& connection_string,
                                    std::shared_ptr<const DeclaredNames> declared) {
  refuse_nul(connection_string);
  return std::make_shared<OdbcDatabase>(connection_string, std::move(declared));
}

}  // namespace quorlane::db
