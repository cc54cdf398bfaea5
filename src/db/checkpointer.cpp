// The background writer of the SQLite files' WAL (see checkpointer.h).
#include "db/checkpointer.h"

#include <pthread.h>
#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "db/sqlite_file.h"

namespace quorlane::db {

namespace {

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

}  // namespace

// Called by SQLite after every commit of a connection to a file, with the pages the WAL holds.
int checkpoint_after_commit(void* shared, sqlite3* db, const char* schema, int frames) {
  if (frames < kCheckpointFrames) return SQLITE_OK;
  auto& file = *static_cast<std::shared_ptr<SharedFile>*>(shared);
  if (file->checkpoint_asked.exchange(true)) return SQLITE_OK;  // one is waiting already
  if (Checkpointer::instance().ask(file)) return SQLITE_OK;
  file->checkpoint_asked = false;
  // The process is ending: the committing thread checkpoints, as SQLite itself would.
  sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  return SQLITE_OK;
}

void release_checkpoints(SharedFile& file) { Checkpointer::instance().release(file); }

void wait_for_checkpoints() { Checkpointer::instance().wait_idle(); }

void stop_checkpointer() { Checkpointer::instance().stop(); }

bool checkpointer_running() { return Checkpointer::instance().running(); }

uint64_t checkpoints_completed() { return Checkpointer::instance().completed(); }

}  // namespace quorlane::db
