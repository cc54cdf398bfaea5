// The embedded backend: one SQLite connection, used by one thread at a time.
#include <pthread.h>
#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "db/checkpointer.h"
#include "db/database.h"

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

// The busy handlers' waits: 10 µs doubling up to 1.28 ms (2.55 ms in all), then `long_waits`
// waits of 2 ms each; 0 (give up) after them.
int back_off(int count, int long_waits) {
  constexpr int kDoublings = 8;
  if (count >= kDoublings + long_waits) return 0;
  std::this_thread::sleep_for(count < kDoublings ? std::chrono::microseconds(10 << count)
                                                 : std::chrono::microseconds(2000));
  return 1;
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

// ---------------------------------------------------------------- catalogue answers

// How long an answer to a catalogue query may be given from memory without asking whether a
// connection of another process has committed anything since.
constexpr auto kOutsideWritesCheck = std::chrono::milliseconds(10);
constexpr size_t kAnswerLimit = 4096;

// What the connections of this process to one database file share, so that an answer one of
// them remembers is forgotten as soon as any of them writes a table it was read from.
struct SharedFile {
  std::mutex mutex;
  std::vector<std::string> catalogue_tables;  // tables remembered answers were read from
  std::atomic<uint64_t> writes{0};            // commits that wrote one of them

  std::string path;  // empty for a database in memory, which has no WAL
  // The checkpointer's own connection to the file, opened and used by its thread alone; closed
  // with the last connection of the process to the file.
  sqlite3* checkpoint_db = nullptr;
  std::atomic<bool> checkpoint_asked{false};  // a checkpoint is waiting for the checkpointer
  std::atomic<int> connections{0};            // open SqliteDatabase connections to the file

  SharedFile() = default;
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;
  ~SharedFile() { sqlite3_close_v2(checkpoint_db); }
};

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

// ---------------------------------------------------------------- checkpoints

// SQLite's own rule: the WAL is written back into the database file once it holds this many
// pages. What a power failure can lose under synchronous=NORMAL is bounded by it.
constexpr int kCheckpointFrames = 1000;

// Waits for a writer's commit or a reader's statement, in waits as short as a writer's (see
// wait_for_other_writer), and gives up after about 50 ms: the checkpoint is then left for the
// next request.
int wait_briefly(void*, int count) { return back_off(count, 24); }

// One thread of the process writes the WAL of every database file back into the file, so that
// the thread whose commit made the WAL long goes on with its work instead of waiting for the
// checkpoint's disk flushes. The thread starts on the first request and is stopped and joined when
// the process ends or the library is unloaded; the object itself is never destroyed, so that a
// connection closed later still finds it (stopped).
class Checkpointer {
 public:
  // A child made by fork() has none of its parent's threads, and its copy of the checkpointer's
  // lock may have been held at that moment: the child starts with a checkpointer of its own. The
  // parent's copy is left as it is, never joined nor destroyed.
  static Checkpointer& instance() {
    static Checkpointer* current = [] {
      pthread_atfork(nullptr, nullptr, [] { current = new Checkpointer; });
      return new Checkpointer;
    }();
    return *current;
  }

  // Queues a checkpoint of the file. False when no thread can take it (the process is ending):
  // the caller checkpoints itself.
  bool ask(const std::shared_ptr<SharedFile>& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ending_) return false;
    if (!thread_.joinable()) {
      stopping_ = false;
      thread_ = std::thread([this] { serve(); });
    }
    queue_.push_back(file);
    wake_.notify_all();
    return true;
  }

  // Called before the last connection of the process to the file closes: the checkpointer lets
  // go of the file (its request dropped, its connection closed), so that the closing connection
  // is the file's last, which writes the WAL back and removes it. A connection of the
  // checkpointer left open past that point could otherwise remove, when it closed, the WAL of
  // another database made meanwhile under the same name.
  void release(SharedFile& file) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return current_ != &file; });
    std::erase_if(queue_, [&](const std::shared_ptr<SharedFile>& f) { return f.get() == &file; });
    sqlite3_close_v2(file.checkpoint_db);
    file.checkpoint_db = nullptr;
    file.checkpoint_asked = false;
  }

  void wait_idle() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock,
               [&] { return (queue_.empty() && current_ == nullptr) || !thread_.joinable(); });
  }

  // Stops and joins the thread; requests not yet served are dropped (the WAL they concern stays
  // valid and goes back into its file with the next checkpoint or the file's last close). A
  // later request starts the thread again, unless the process is ending.
  void stop(bool ending = false) {
    std::thread thread;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      ending_ = ending_ || ending;
      thread.swap(thread_);
    }
    wake_.notify_all();
    if (thread.joinable()) thread.join();
    std::vector<std::shared_ptr<SharedFile>> dropped;  // released outside the lock
    {
      std::lock_guard<std::mutex> lock(mutex_);
      dropped.swap(queue_);
    }
    for (const std::shared_ptr<SharedFile>& file : dropped) file->checkpoint_asked = false;
    done_.notify_all();
  }

  bool running() {
    std::lock_guard<std::mutex> lock(mutex_);
    return thread_.joinable();
  }

  uint64_t completed() const { return completed_.load(); }

 private:
  Checkpointer() = default;

  void serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      std::shared_ptr<SharedFile> file = std::move(queue_.front());
      queue_.erase(queue_.begin());
      current_ = file.get();
      lock.unlock();
      checkpoint(*file);
      lock.lock();
      current_ = nullptr;
      // Released under the lock: a connection that closes meanwhile waits in release().
      file.reset();
      done_.notify_all();
    }
  }

  void checkpoint(SharedFile& file) {
    // Cleared first: a commit that makes the WAL long again while this one runs asks for the
    // next.
    file.checkpoint_asked = false;
    if (file.checkpoint_db == nullptr) {
      // No CREATE: a file that has gone meanwhile is not made again. A connection finds the
      // file in WAL mode only once it has read it; until then a checkpoint does nothing.
      if (sqlite3_open_v2(file.path.c_str(), &file.checkpoint_db,
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK ||
          sqlite3_exec(file.checkpoint_db, "PRAGMA schema_version", nullptr, nullptr, nullptr) !=
              SQLITE_OK) {
        sqlite3_close_v2(file.checkpoint_db);
        file.checkpoint_db = nullptr;
        return;
      }
      sqlite3_wal_autocheckpoint(file.checkpoint_db, 0);
      sqlite3_busy_handler(file.checkpoint_db, wait_briefly, nullptr);
    }
    // First the bulk of the WAL, with its two disk flushes, while writers go on (PASSIVE).
    // Writers commit meanwhile, so the WAL is never written back whole that way and would only
    // grow; the few pages they added are then written back with writers held off for that
    // short while (RESTART), after which the next writer starts the WAL again from its
    // beginning. A checkpoint that cannot finish (a reader still needs older pages, a writer
    // holds on) leaves the rest for the next request, exactly as SQLite's own would.
    int wal_frames = -1;
    if (sqlite3_wal_checkpoint_v2(file.checkpoint_db, nullptr, SQLITE_CHECKPOINT_PASSIVE,
                                  &wal_frames, nullptr) != SQLITE_OK ||
        wal_frames < 0)
      return;
    if (sqlite3_wal_checkpoint_v2(file.checkpoint_db, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr,
                                  nullptr) == SQLITE_OK)
      completed_.fetch_add(1);
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::vector<std::shared_ptr<SharedFile>> queue_;
  const SharedFile* current_ = nullptr;  // being checkpointed
  bool stopping_ = false;
  bool ending_ = false;
  std::thread thread_;
  std::atomic<uint64_t> completed_{0};
};

// Stops the checkpointer when the process ends or the library is unloaded.
struct CheckpointerStop {
  ~CheckpointerStop() { Checkpointer::instance().stop(true); }
} g_checkpointer_stop;

// Called by SQLite after every commit of a connection to a file, with the pages the WAL holds.
int after_commit(void* shared, sqlite3* db, const char* schema, int frames) {
  if (frames < kCheckpointFrames) return SQLITE_OK;
  auto& file = *static_cast<std::shared_ptr<SharedFile>*>(shared);
  if (file->checkpoint_asked.exchange(true)) return SQLITE_OK;  // one is waiting already
  if (Checkpointer::instance().ask(file)) return SQLITE_OK;
  file->checkpoint_asked = false;
  // The process is ending: the committing thread checkpoints, as SQLite itself would.
  sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  return SQLITE_OK;
}

bool contains_table(const std::vector<std::string>& tables, const char* table) {
  return std::any_of(tables.begin(), tables.end(),
                     [&](const std::string& t) { return strcasecmp(t.c_str(), table) == 0; });
}

void add_table(std::vector<std::string>& tables, const char* table) {
  if (table != nullptr && !contains_table(tables, table)) tables.emplace_back(table);
}

// The tables a statement reads and writes, as SQLite reports them while preparing it.
struct Touched {
  std::vector<std::string> reads, writes;
  bool schema = false;  // creates, drops or alters a table or view, or attaches a database
  void clear() {
    reads.clear();
    writes.clear();
    schema = false;
  }
};

int note_access(void* touched, int action, const char* a1, const char*, const char*, const char*) {
  Touched& t = *static_cast<Touched*>(touched);
  switch (action) {
    case SQLITE_READ:
      add_table(t.reads, a1);
      break;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
      add_table(t.writes, a1);
      break;
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_DROP_VIEW:
    case SQLITE_DROP_TEMP_VIEW:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_TEMP_TRIGGER:
    case SQLITE_ALTER_TABLE:
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
      t.schema = true;
      break;
    default:
      break;
  }
  return SQLITE_OK;
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
  SqliteDatabase(sqlite3* db, SqliteOptions options) : db_(db), shared_(shared_file(db)) {
    lock_wait_.options = std::move(options);
    // Writers of other threads and processes are waited for; WAL lets readers go on meanwhile.
    sqlite3_busy_handler(db_, wait_for_other_writer, &lock_wait_);
    sqlite3_set_authorizer(db_, note_access, &touched_);
    // The WAL of a file goes back into it in the background (Checkpointer), not in the commit
    // that made it long. This replaces SQLite's own checkpoint after a commit.
    if (!shared_->path.empty()) {
      shared_->connections.fetch_add(1);
      sqlite3_wal_hook(db_, after_commit, &shared_);
    }
  }
  ~SqliteDatabase() override {
    for (auto& entry : cache_) sqlite3_finalize(entry.second.stmt);
    if (!shared_->path.empty() && shared_->connections.fetch_sub(1) == 1)
      Checkpointer::instance().release(*shared_);
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
    forget_answers_if_outdated();
    std::string& key = key_buffer_;
    key.assign(sql);
    for (const Variant& p : params)
      if (!append_answer_key(key, p)) return run(sql, params);
    if (auto found = answers_.find(key); found != answers_.end()) return found->second;

    Prepared& query = prepared(sql);
    if (!query.catalogue) {
      // From now on a write of these tables by any connection of this process makes every
      // connection forget its answers.
      std::lock_guard<std::mutex> lock(shared_->mutex);
      for (const std::string& table : query.touched.reads)
        add_table(shared_->catalogue_tables, table.c_str());
      query.catalogue = true;
    }
    Rows rows = run(query, params);
    if (shared_->writes.load() == seen_writes_) {
      if (answers_.size() >= kAnswerLimit) answers_.clear();
      answers_.emplace(key, rows);
    }
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

  // A statement that wrote a table remembered answers were read from makes this connection
  // forget its answers at once, and every connection of the process once the write is committed.
  void after_statement(const Touched& touched) {
    if (touched.schema || writes_catalogue(touched.writes)) {
      answers_.clear();
      uncommitted_catalogue_write_ = true;
    }
    if (uncommitted_catalogue_write_ && sqlite3_get_autocommit(db_) != 0) {
      uncommitted_catalogue_write_ = false;
      shared_->writes.fetch_add(1);
    }
  }

  bool writes_catalogue(const std::vector<std::string>& writes) {
    if (writes.empty()) return false;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return std::any_of(writes.begin(), writes.end(), [&](const std::string& table) {
      return contains_table(shared_->catalogue_tables, table.c_str());
    });
  }

  // Forgets the remembered answers when a connection of this process has written a table they
  // were read from, or when a connection of another process has committed anything since the
  // last look, taken at most kOutsideWritesCheck ago.
  void forget_answers_if_outdated() {
    const uint64_t writes = shared_->writes.load();
    bool outdated = writes != seen_writes_;
    const auto now = std::chrono::steady_clock::now();
    if (!outdated && now - checked_at_ >= kOutsideWritesCheck) {
      // Counts the commits of other connections seen by this one; its own are not counted.
      const Variant version = run("PRAGMA data_version", {}).first();
      outdated = !(version == data_version_);
      data_version_ = version;
      checked_at_ = now;
    }
    if (outdated) {
      answers_.clear();
      seen_writes_ = writes;
    }
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
  std::unordered_map<std::string, Rows> answers_;  // by query text and parameters
  std::string key_buffer_;
  uint64_t seen_writes_ = 0;
  bool uncommitted_catalogue_write_ = false;
  Variant data_version_;
  std::chrono::steady_clock::time_point checked_at_{};
};

}  // namespace

void wait_for_checkpoints() { Checkpointer::instance().wait_idle(); }

void stop_checkpointer() { Checkpointer::instance().stop(); }

bool checkpointer_running() { return Checkpointer::instance().running(); }

uint64_t checkpoints_completed() { return Checkpointer::instance().completed(); }

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
