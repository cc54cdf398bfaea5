// What the SQLite connections of this process to one database file share: the tables their
// remembered catalogue answers were read from, and the file's place in the checkpointer.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorlane::db {

// Shared by the connections of this process to one database file, so that an answer one of them
// remembers is forgotten as soon as any of them writes a table it was read from.
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

// The one SharedFile of the connection's file; a new one for a database in memory.
std::shared_ptr<SharedFile> shared_file(sqlite3* db);

// The busy handlers' waits: 10 µs doubling up to 1.28 ms (2.55 ms in all), then `long_waits`
// waits of 2 ms each; 0 (give up) after them.
int back_off(int count, int long_waits);

}  // namespace quorlane::db
