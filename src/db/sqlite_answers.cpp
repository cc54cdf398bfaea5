#include "db/sqlite_answers.h"

#include <strings.h>

#include <algorithm>

namespace quorlane::db {

namespace {

// How long an answer to a catalogue query may be given from memory without asking whether a
// connection of another process has committed anything since.
constexpr auto kOutsideWritesCheck = std::chrono::milliseconds(10);
constexpr size_t kAnswerLimit = 4096;

bool contains_table(const std::vector<std::string>& tables, const char* table) {
  return std::any_of(tables.begin(), tables.end(),
                     [&](const std::string& t) { return strcasecmp(t.c_str(), table) == 0; });
}

void add_table(std::vector<std::string>& tables, const char* table) {
  if (table != nullptr && !contains_table(tables, table)) tables.emplace_back(table);
}

}  // namespace

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

void SqliteAnswers::forget_if_outdated(Database& connection) {
  const uint64_t writes = shared_->writes.load();
  bool outdated = writes != seen_writes_;
  const auto now = std::chrono::steady_clock::now();
  if (!outdated && now - checked_at_ >= kOutsideWritesCheck) {
    // Counts the commits of other connections seen by this one; its own are not counted.
    const Variant version = connection.run("PRAGMA data_version", {}).first();
    outdated = !(version == data_version_);
    data_version_ = version;
    checked_at_ = now;
  }
  if (outdated) {
    answers_.clear();
    seen_writes_ = writes;
  }
}

const std::string* SqliteAnswers::key(const std::string& sql, const std::vector<Variant>& params) {
  std::string& key = key_buffer_;
  key.assign(sql);
  for (const Variant& p : params)
    if (!append_answer_key(key, p)) return nullptr;
  return &key;
}

const Rows* SqliteAnswers::find(const std::string& key) const {
  auto found = answers_.find(key);
  return found == answers_.end() ? nullptr : &found->second;
}

void SqliteAnswers::watch(const std::vector<std::string>& tables) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  for (const std::string& table : tables) add_table(shared_->catalogue_tables, table.c_str());
}

void SqliteAnswers::remember(const std::string& key, const Rows& rows) {
  if (shared_->writes.load() != seen_writes_) return;
  if (answers_.size() >= kAnswerLimit) answers_.clear();
  answers_.emplace(key, rows);
}

void SqliteAnswers::after_statement(const Touched& touched, bool autocommit) {
  if (touched.schema || writes_catalogue(touched.writes)) {
    answers_.clear();
    uncommitted_catalogue_write_ = true;
  }
  if (uncommitted_catalogue_write_ && autocommit) {
    uncommitted_catalogue_write_ = false;
    shared_->writes.fetch_add(1);
  }
}

bool SqliteAnswers::writes_catalogue(const std::vector<std::string>& writes) {
  if (writes.empty()) return false;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return std::any_of(writes.begin(), writes.end(), [&](const std::string& table) {
    return contains_table(shared_->catalogue_tables, table.c_str());
  });
}

}  // namespace quorlane::db
