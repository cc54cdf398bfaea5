// The catalogue answers an SQLite connection remembers, and when it forgets them: at once when
// it writes a table they were read from, when any connection of the process commits such a
// write, and when a connection of another process has committed anything.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/database.h"
#include "db/sqlite_file.h"

namespace quorlane::db {

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

// The connection's authorizer: notes in the Touched at `touched` what the statement being
// prepared reads and writes. It never refuses anything.
int note_access(void* touched, int action, const char* a1, const char*, const char*, const char*);

class SqliteAnswers {
 public:
  explicit SqliteAnswers(std::shared_ptr<SharedFile> shared) : shared_(std::move(shared)) {}

  // Forgets the answers when a connection of this process has written a table they were read
  // from, or when a connection of another process has committed anything since the last look,
  // taken at most kOutsideWritesCheck ago through `connection`.
  void forget_if_outdated(Database& connection);

  // The key of a query's answer; null when a parameter cannot be part of one (the query is then
  // run, never remembered).
  const std::string* key(const std::string& sql, const std::vector<Variant>& params);
  const Rows* find(const std::string& key) const;

  // From now on a write of these tables by any connection of this process makes every
  // connection forget its answers.
  void watch(const std::vector<std::string>& tables);

  // Keeps an answer, unless a write it may not have seen has been committed meanwhile.
  void remember(const std::string& key, const Rows& rows);

  // After each statement: one that wrote a table remembered answers were read from makes this
  // connection forget its answers at once, and every connection of the process once the write
  // is committed (`autocommit`: no transaction is open any more).
  void after_statement(const Touched& touched, bool autocommit);

 private:
  bool writes_catalogue(const std::vector<std::string>& writes);

  std::shared_ptr<SharedFile> shared_;
  std::unordered_map<std::string, Rows> answers_;  // by query text and parameters
  std::string key_buffer_;
  uint64_t seen_writes_ = 0;
  bool uncommitted_catalogue_write_ = false;
  Variant data_version_;
  std::chrono::steady_clock::time_point checked_at_{};
};

}  // namespace quorlane::db
