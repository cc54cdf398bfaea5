// The embedded backend: one SQLite connection, used by one thread at a time.
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "db/checkpointer.h"
#include "db/database.h"
#include "db/sqlite_answers.h"
#include "db/sqlite_file.h"

namespace quorlane::db {

namespace {

// Text of the failure the connection just reported. Every SQLite error becomes a Failure here
// and nowhere else.
Failure sqlite_failure(sqlite3* db, int rc) {
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  return Failure(message != nullptr ? message : sqlite3_errstr(rc));
}

constexpr const char* kOneStatementOnly = "El texto contiene más de una instrucción SQL";

// A column's text that reads as a date, in the one form a server gives for the column's type:
// "YYYY-MM-DD" for a date (any time dropped), "YYYY-MM-DD HH:MM:SS" for a date-time (fractions of
// a second dropped). SQLite keeps a date as the text it was given, in whichever form.
std::string date_text_of(ColumnKind kind, std::string text) {
  Date date;
  if (kind == ColumnKind::Other || !parse_date(text, date)) return text;
  return kind == ColumnKind::Date ? date_only_text(date) : date_time_text(date);
}

// The rows of a query give Null for SQL NULL, numbers for numeric values (integers that fit
// in 32 bits as Int32, others as Double) and text otherwise.
Variant column_value(sqlite3_stmt* stmt, int i, ColumnKind kind) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
      return Variant::null();
    case SQLITE_INTEGER: {
      sqlite3_int64 v = sqlite3_column_int64(stmt, i);
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant(static_cast<double>(v));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, i));
    default: {
      const void* bytes = sqlite3_column_blob(stmt, i);
      int size = sqlite3_column_bytes(stmt, i);
      return Variant(date_text_of(
          kind, std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))));
    }
  }
}

ColumnKind column_kind(sqlite3_stmt* stmt, int i) {
  const char* declared = sqlite3_column_decltype(stmt, i);
  if (declared == nullptr) return ColumnKind::Other;
  std::string upper(declared);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.find("DATETIME") != std::string::npos || upper.find("TIMESTAMP") != std::string::npos)
    return ColumnKind::DateTime;
  if (upper.rfind("DATE", 0) == 0) return ColumnKind::Date;
  return ColumnKind::Other;
}

// A connection's waits for the locks of other connections, and how they end.
struct LockWait {
  SqliteOptions options;
  std::chrono::steady_clock::time_point started{};
  bool told = false;
  std::atomic<uint64_t> timeouts{0};
};

// Waits while another connection writes, and gives up after the connection's busy timeout. A
// writer holds its lock only for the tens of microseconds of one statement, so the first waits
// are that short. (SQLite's own busy timeout first sleeps a whole millisecond, which lets one
// thread's writes stall another's far longer than they take.)
int wait_for_other_writer(void* arg, int count) {
  using namespace std::chrono;
  LockWait& wait = *static_cast<LockWait*>(arg);
  if (wait.options.wait_once && wait.timeouts.load() > 0) return 0;
  steady_clock::time_point now = steady_clock::now();
  if (count == 0) {
    wait.started = now;
    wait.told = false;
  }
  steady_clock::duration waited = now - wait.started;
  if (waited >= wait.options.busy_timeout) {
    wait.timeouts.fetch_add(1);
    return 0;
  }
  if (!wait.told && waited >= milliseconds(500) && wait.options.on_wait) {
    wait.told = true;
    wait.options.on_wait();
  }
  return back_off(std::min(count, 8), 1);
}

bool only_blanks(const char* text) {
  for (; *text != '\0'; ++text)
    if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') return false;
  return true;
}

class Statement {
 public:
  Statement() = default;
  explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }
  sqlite3_stmt* get() const { return stmt_; }
  sqlite3_stmt** out() { return &stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class SqliteDatabase final : public Database {
 public:
  SqliteDatabase(sqlite3* db, SqliteOptions options)
      : db_(db), shared_(shared_file(db)), answers_(shared_) {
    lock_wait_.options = std::move(options);
    // Writers of other threads and processes are waited for; WAL lets readers go on meanwhile.
    sqlite3_busy_handler(db_, wait_for_other_writer, &lock_wait_);
    sqlite3_set_authorizer(db_, note_access, &touched_);
    // The WAL of a file goes back into it in the background (Checkpointer), not in the commit
    // that made it long. This replaces SQLite's own checkpoint after a commit.
    if (!shared_->path.empty()) {
      shared_->connections.fetch_add(1);
      sqlite3_wal_hook(db_, checkpoint_after_commit, &shared_);
    }
  }
  ~SqliteDatabase() override {
    for (auto& entry : cache_) sqlite3_finalize(entry.second.stmt);
    if (!shared_->path.empty() && shared_->connections.fetch_sub(1) == 1)
      release_checkpoints(*shared_);
    sqlite3_close_v2(db_);
  }

  Engine engine() const override { return Engine::SQLite; }

  uint64_t lock_timeouts() const override { return lock_wait_.timeouts.load(); }

  std::shared_ptr<Recordset> Execute(const std::string& sql, int32_t) override {
    refuse_nul(sql);
    std::optional<std::string> adapted = adapted_statement(Engine::SQLite, sql);
    const std::string& text = adapted ? *adapted : sql;
    Statement stmt;
    const char* tail = nullptr;
    touched_.clear();
    int rc =
        sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size() + 1), stmt.out(), &tail);
    if (rc != SQLITE_OK) throw sqlite_failure(db_, rc);
    if (tail != nullptr && !only_blanks(tail)) {
      Statement next;
      rc = sqlite3_prepare_v2(db_, tail, -1, next.out(), nullptr);
      if (rc != SQLITE_OK) throw sqlite_failure(db_, rc);
      if (next.get() != nullptr) throw Failure(kOneStatementOnly);
    }
    if (stmt.get() == nullptr) return std::make_shared<MemoryRecordset>();  // only comments
    count_statement();
    Rows rows = executed(stmt.get(), touched_);
    return std::make_shared<MemoryRecordset>(std::move(rows.columns), std::move(rows.values));
  }

  Rows run(const std::string& sql, const std::vector<Variant>& params) override {
    refuse_nul(sql);
    return run(prepared(sql), params);
  }

  int64_t changes() override { return sqlite3_changes64(db_); }

  bool has_table(const std::string& name) override {
    return !run("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
                {Variant(name)})
                .empty();
  }

 protected:
  // The tables read and the routine call are not needed: SQLite reports the tables while it
  // prepares a query, and its rule holds across calls.
  Rows answer_catalogue(const std::string& sql, const std::vector<Variant>& params,
                        std::initializer_list<std::string_view>, uint64_t) override {
    answers_.forget_if_outdated(*this);
    const std::string* key = answers_.key(sql, params);
    if (key == nullptr) return run(sql, params);
    if (const Rows* found = answers_.find(*key)) return *found;

    Prepared& query = prepared(sql);
    if (!query.catalogue) {
      answers_.watch(query.touched.reads);
      query.catalogue = true;
    }
    Rows rows = run(query, params);
    answers_.remember(*key, rows);
    return rows;
  }

 private:
  // A host statement prepared once, with the tables it touches.
  struct Prepared {
    sqlite3_stmt* stmt = nullptr;
    Touched touched;
    bool catalogue = false;  // its answers are remembered
  };

  Rows run(Prepared& query, const std::vector<Variant>& params) {
    sqlite3_stmt* stmt = query.stmt;
    struct Reset {
      sqlite3_stmt* s;
      ~Reset() {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
      }
    } reset{stmt};
    for (size_t i = 0; i < params.size(); ++i) bind(stmt, static_cast<int>(i + 1), params[i]);
    count_statement();
    return executed(stmt, query.touched);
  }

  // Runs the statement and then accounts for what it wrote, even when it failed half-way.
  Rows executed(sqlite3_stmt* stmt, const Touched& touched) {
    Rows rows;
    try {
      rows = read_rows(stmt);
    } catch (...) {
      after_statement(touched);
      throw;
    }
    after_statement(touched);
    return rows;
  }

  void after_statement(const Touched& touched) {
    answers_.after_statement(touched, sqlite3_get_autocommit(db_) != 0);
  }

  // Steps the statement to its end, keeping the rows it gives.
  Rows read_rows(sqlite3_stmt* stmt) {
    Rows rows;
    int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
      const char* name = sqlite3_column_name(stmt, i);
      rows.columns.emplace_back(name != nullptr ? name : "");
      rows.kinds.push_back(column_kind(stmt, i));
    }
    for (;;) {
      int rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) throw sqlite_failure(db_, rc);
      std::vector<Variant> row;
      row.reserve(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i)
        row.push_back(column_value(stmt, i, rows.kinds[static_cast<size_t>(i)]));
      rows.values.push_back(std::move(row));
    }
    return rows;
  }

  Prepared& prepared(const std::string& sql) {
    auto found = cache_.find(sql);
    if (found != cache_.end()) return found->second;
    // The host's statements are few; a cache grown past any sensible size starts again.
    if (cache_.size() >= kCacheLimit) {
      for (auto& entry : cache_) sqlite3_finalize(entry.second.stmt);
      cache_.clear();
    }
    Prepared query;
    touched_.clear();
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size() + 1),
                                SQLITE_PREPARE_PERSISTENT, &query.stmt, nullptr);
    if (rc != SQLITE_OK) throw sqlite_failure(db_, rc);
    if (query.stmt == nullptr) throw Failure(kOneStatementOnly);
    query.touched = touched_;
    return cache_.emplace(sql, std::move(query)).first->second;
  }

  void bind(sqlite3_stmt* stmt, int index, const Variant& value) {
    int rc = SQLITE_OK;
    switch (value.kind()) {
      case Variant::Kind::Empty:
      case Variant::Kind::Null:
        rc = sqlite3_bind_null(stmt, index);
        break;
      case Variant::Kind::Boolean:
        rc = sqlite3_bind_int(stmt, index, value.raw_bool() ? 1 : 0);
        break;
      case Variant::Kind::Int16:
      case Variant::Kind::Int32:
        rc = sqlite3_bind_int(stmt, index, value.raw_int());
        break;
      case Variant::Kind::Double:
        rc = sqlite3_bind_double(stmt, index, value.raw_double());
        break;
      case Variant::Kind::Date: {
        std::string text = date_time_text(Date{value.raw_double()});
        rc = sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
        break;
      }
      case Variant::Kind::Text: {
        const std::string& text = value.raw_text();
        refuse_nul(text);
        rc = sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
        break;
      }
      default:
        throw Failure(kTypeMismatch);  // objects and records have no SQL value
    }
    if (rc != SQLITE_OK) throw sqlite_failure(db_, rc);
  }

  static constexpr size_t kCacheLimit = 256;
  sqlite3* db_;
  LockWait lock_wait_;
  std::unordered_map<std::string, Prepared> cache_;
  Touched touched_;  // filled by note_access while a statement is prepared

  std::shared_ptr<SharedFile> shared_;
  SqliteAnswers answers_;
};

}  // namespace

std::shared_ptr<SharedFile> shared_file(sqlite3* db) {
  const char* name = sqlite3_db_filename(db, "main");
  if (name == nullptr || *name == '\0') return std::make_shared<SharedFile>();  // in memory
  static std::mutex registry_mutex;
  static std::map<std::string, std::weak_ptr<SharedFile>> registry;
  std::lock_guard<std::mutex> lock(registry_mutex);
  std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
  std::weak_ptr<SharedFile>& slot = registry[name];
  std::shared_ptr<SharedFile> file = slot.lock();
  if (!file) {
    file = std::make_shared<SharedFile>();
    file->path = name;
    slot = file;
  }
  return file;
}

int back_off(int count, int long_waits) {
  constexpr int kDoublings = 8;
  if (count >= kDoublings + long_waits) return 0;
  std::this_thread::sleep_for(count < kDoublings ? std::chrono::microseconds(10 << count)
                                                 : std::chrono::microseconds(2000));
  return 1;
}

Variant Rows::first(size_t index) const {
  if (values.empty() || index >= values.front().size()) return Variant::null();
  return values.front()[index];
}

std::shared_ptr<Database> open_sqlite(const std::string& path, SqliteOptions options) {
  // SQLite's memory statistics make every allocation of every connection take one lock of the
  // process, so that threads building quotes at once wait on each other; nothing reads them.
  // (This has to come before SQLite's first use in the process, and is ignored after it.)
  static std::once_flag configured;
  std::call_once(configured, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
  sqlite3* db = nullptr;
  // One connection serves one thread at a time, so SQLite's own locking of it is not needed.
  int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    Failure failure = sqlite_failure(db, rc);
    sqlite3_close_v2(db);
    throw failure;
  }
  auto database = std::make_shared<SqliteDatabase>(db, std::move(options));
  // NORMAL synchronisation is safe in WAL mode and spares a disk flush per commit.
  for (const char* pragma : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"}) {
    rc = sqlite3_exec(db, pragma, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw sqlite_failure(db, rc);
  }
  return database;
}

}  // namespace quorlane::db
