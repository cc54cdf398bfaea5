#include "host/sql/standard_host.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "db/database.h"
#include "host/sql/schema.h"
#include "host/sql/services.h"

namespace quorlane {

namespace {

constexpr const char* kOdbcPrefix = "odbc:";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool yes_no_setting(const char* name, const std::string& value) {
  for (const char* yes : {"1", "SI", "TRUE", "YES"})
    if (strcasecmp(value.c_str(), yes) == 0) return true;
  for (const char* no : {"", "0", "NO", "FALSE"})
    if (strcasecmp(value.c_str(), no) == 0) return false;
  throw Failure(std::string(name) + ": '" + value +
                "' is neither yes nor no: write 1, yes, true or si, or 0, no or false");
}

// A server database is set up by its administrator (or `quorlane init`), never on the fly.
std::shared_ptr<db::Database> open_database(const HostSettings& settings) {
  const std::string& path = settings.database;
  if (path.rfind(kOdbcPrefix, 0) == 0)
    return db::open_odbc(path.substr(std::strlen(kOdbcPrefix)), declared_column_names());
  std::shared_ptr<db::Database> database = db::open_sqlite(
      path, db::SqliteOptions{settings.busy_timeout, settings.wait_once, settings.on_lock_wait});
  if (!schema_complete(*database)) create_schema(*database);
  return database;
}

}  // namespace

HostSettings HostSettings::from_environment() {
  HostSettings s;
  if (std::string db = environment("QUORLANE_DB"); !db.empty()) s.database = db;
  s.server_id = environment("QUORLANE_SERVER_ID");
  s.remote = yes_no_setting("QUORLANE_REMOTE", environment("QUORLANE_REMOTE"));
  s.operator_name = environment("QUORLANE_OPERATOR");
  if (std::string clock = environment("QUORLANE_CLOCK"); !clock.empty()) {
    Date date;
    if (!parse_date(clock, date))
      throw Failure("QUORLANE_CLOCK: '" + clock +
                    "' is not a date-time: write YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
    s.clock = date;
  }
  s.message_log = environment("QUORLANE_MESSAGE_LOG");
  return s;
}

// The hosts that opened a connection on this thread; when the thread ends, each one that still
// exists closes its connection of this thread.
struct StandardHost::ThreadConnections {
  std::vector<std::weak_ptr<StandardHost>> hosts;
  ~ThreadConnections() {
    for (auto& weak : hosts)
      if (std::shared_ptr<StandardHost> host = weak.lock())
        host->forget_thread(std::this_thread::get_id());
  }
  void add(const std::shared_ptr<StandardHost>& host) {
    for (auto& weak : hosts)
      if (!weak.owner_before(host) && !host.owner_before(weak)) return;
    std::erase_if(hosts, [](const std::weak_ptr<StandardHost>& w) { return w.expired(); });
    hosts.push_back(host);
  }
};

StandardHost::StandardHost(HostSettings settings) : settings_(std::move(settings)) {}

std::shared_ptr<StandardHost> StandardHost::create(HostSettings settings) {
  return std::shared_ptr<StandardHost>(new StandardHost(std::move(settings)));
}

std::shared_ptr<HostFactory> StandardHost::factory() {
  return make_sql_services(shared_from_this());
}

HostSettings StandardHost::settings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settings_;
}

void StandardHost::update(const HostSettings& settings) {
  std::lock_guard<std::mutex> lock(mutex_);
  settings_ = settings;
}

std::shared_ptr<Connection> StandardHost::connection() { return database(); }

std::shared_ptr<db::Database> StandardHost::database() {
  const std::thread::id thread = std::this_thread::get_id();
  HostSettings settings;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = connections_.find(thread);
    if (found != connections_.end() && found->second.path == settings_.database)
      return found->second.database;
    settings = settings_;
  }
  // Opened outside the lock: opening may wait for another writer or create the tables.
  std::shared_ptr<db::Database> database = open_database(settings);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections_[thread] = OpenDatabase{settings.database, database};
  }
  thread_local ThreadConnections t_connections;
  t_connections.add(shared_from_this());
  return database;
}

void StandardHost::forget_thread(std::thread::id thread) {
  std::shared_ptr<db::Database> closing;  // closed after the lock is released
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = connections_.find(thread);
  if (found == connections_.end()) return;
  closing = std::move(found->second.database);
  connections_.erase(found);
}

}  // namespace quorlane
