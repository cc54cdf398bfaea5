// A database connection of the standard host: the Connection that the component executes its
// Transact-SQL on, plus what the host's own queries need (bound parameters, statements prepared
// once per connection). One connection serves one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/dialect.h"
#include "quorlane/host.h"

namespace quorlane::db {

// How a column was declared, where the host formats its values by it.
enum class ColumnKind : uint8_t { Other, Date, DateTime };

// The rows of one of the host's own statements.
struct Rows {
  std::vector<std::string> columns;
  std::vector<ColumnKind> kinds;  // one per column
  std::vector<std::vector<Variant>> values;

  bool empty() const { return values.empty(); }
  // The first row's value of column `index`; Null when there is no row.
  Variant first(size_t index = 0) const;
};

class Database : public Connection {
 public:
  virtual Engine engine() const = 0;

  // Runs one of the host's own statements, written with ? placeholders for `params` (Empty and
  // Null bind SQL NULL; dates bind as date values on a server, as their "YYYY-MM-DD HH:MM:SS"
  // text on SQLite). The statement is prepared on first use and kept for the connection. Returns
  // the rows a query (or RETURNING, or a batch's first result with columns) gives. Fails with
  // the database's message.
  virtual Rows run(const std::string& sql, const std::vector<Variant>& params = {}) = 0;

  // Runs one of the host's own queries of catalogue tables, which the component reads and never
  // writes: `tables` are the tables it reads, `call` the number of the component's routine call
  // it serves (0 when none runs, see current_routine_call). The answer may be one remembered
  // from an earlier run of the same query with the same parameters, for as long as the
  // backend's own rule allows (see open_sqlite and open_odbc).
  Rows run_catalogue(const std::string& sql, const std::vector<Variant>& params,
                     std::initializer_list<std::string_view> tables = {}, uint64_t call = 0) {
    return answer_catalogue(sql, params, tables, call);
  }

  // Rows changed by the last statement that `run` or `Execute` ran.
  virtual int64_t changes() = 0;

  // Whether the table exists.
  virtual bool has_table(const std::string& name) = 0;

  // How many statements of this connection gave up waiting for another connection's lock.
  virtual uint64_t lock_timeouts() const { return 0; }

  // The statements this connection has sent to its engine so far: the component's, the host's
  // own and the connection's own checks alike.
  uint64_t statements() const { return statements_; }

  // The server's current local date-time, which `query` reads ("YYYY-MM-DD HH:MM:SS"): read
  // once and then carried forward by this machine's monotonic clock, and read again once
  // kClockReread has passed. Fails when the answer is no date.
  Date server_date_time(const std::string& query);
  static constexpr std::chrono::seconds kClockReread{300};

 protected:
  virtual Rows answer_catalogue(const std::string& sql, const std::vector<Variant>& params,
                                std::initializer_list<std::string_view> tables, uint64_t call) {
    (void)tables;
    (void)call;
    return run(sql, params);
  }
  void count_statement() { ++statements_; }

 private:
  uint64_t statements_ = 0;
  std::optional<Date> clock_read_;  // the server's answer when last read
  std::chrono::steady_clock::time_point clock_read_at_{};
};

// The parameters of a query, appended to its text to make the key of its remembered answer.
// False for a value no query can take (the query then fails when it runs).
bool append_answer_key(std::string& key, const Variant& value);

// How a SQLite connection waits for the write lock of another connection.
struct SqliteOptions {
  // How long one statement waits before it fails with "database is locked".
  std::chrono::milliseconds busy_timeout{10000};
  // Once a wait has run out, every later statement gives up at once instead of waiting again.
  bool wait_once = false;
  // Called on the waiting thread when a wait has lasted half a second (once per wait).
  std::function<void()> on_wait;
};

// Opens (creating when missing) a SQLite database file: WAL journal, a busy timeout (10 s unless
// `options` say otherwise) so that writers of other threads and processes are waited for. Its
// run_catalogue remembers answers per connection: a write through any connection of this process to
// a table an answer was read from makes every connection forget them at once, and a commit by
// another process within 10 ms. Fails with the database's message. Its Execute reads a query's rows
// into a MemoryRecordset (whose columns() and rows() a caller may read directly): SQL NULL gives
// Null, integers that fit in 32 bits Int32, other numbers Double, text Text. A text of a column
// declared DATE or DATETIME that reads as a date comes in the form of a server's: "YYYY-MM-DD" and
// "YYYY-MM-DD HH:MM:SS" (whatever form it was stored in); any other text as stored. It runs exactly
// one statement: a text holding a second one fails before anything runs.
std::shared_ptr<Database> open_sqlite(const std::string& path, SqliteOptions options = {});

// Connects through ODBC with a connection string ("Driver=...;Server=...;..."), in autocommit
// mode. The engine, and with it the dialect, is the one the server names itself
// (SQL_DBMS_NAME): PostgreSQL or Microsoft SQL Server; any other fails. A PostgreSQL server must
// have standard_conforming_strings on, or the connection is refused. A SQL Server connection
// asks its database's collation once and, unless it is a UTF-8 one, sends every text literal of
// every statement as N'...' (adapted_statement). Text travels as UTF-16 through the driver's
// wide-character calls; a text parameter binds as one nvarchar size up to 4000 characters,
// nvarchar(max) beyond; a date parameter as a date at midnight, else as a date-time. Its Execute
// reads a query's rows into a MemoryRecordset: SQL NULL gives Null, integer columns Int32 (Double
// beyond 32 bits), numeric, decimal and floating columns Double, dates "YYYY-MM-DD", date-times
// "YYYY-MM-DD HH:MM:SS", anything else Text. On PostgreSQL its columns are named as SQL Server and
// SQLite name them, with the spellings of `declared` (unfold_column_names), so that a query answers
// the same names on every engine; the rows of `run` keep the names the server reports. Failures
// carry the driver's diagnostics: "[SQLSTATE] message".
//
// Its run_catalogue remembers the answers of one routine call for that call alone, and across
// calls where every table read has a change counter (PostgreSQL, once `quorlane init` has
// installed them: see change_counter_statements), with the rule of a SQLite file: a statement
// of any connection of this process to the same database (by connection string) that may write
// a table an answer was read from makes every connection forget them at once, and a change by
// anyone else is seen within 10 ms (before an answer is given from memory, the counters are
// read again once 10 ms have passed since they were last read).
std::shared_ptr<Database> open_odbc(const std::string& connection_string,
                                    std::shared_ptr<const DeclaredNames> declared = nullptr);

// Fails when `text` (a statement or a parameter's value) holds a NUL character, which no engine
// keeps: the text would be cut there.
void refuse_nul(std::string_view text);

}  // namespace quorlane::db
