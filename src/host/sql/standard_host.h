// The standard host: all five host services over one SQL database (the embedded SQLite file by
// default, a server database through ODBC when configured), so that the component runs for real
// with no other program.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "quorlane/host.h"

namespace quorlane {

namespace db {
class Database;
}

struct HostSettings {
  // A SQLite file path, or "odbc:" followed by an ODBC connection string.
  std::string database = "quorlane.db";
  std::string server_id;      // cSistema.Servidor_Actual
  bool remote = false;        // cSistema.Es_Servidor_Remoto
  std::string operator_name;  // cSistema.Operador_Actual; empty: the process user's login name
  std::optional<Date> clock;  // cDatos.Fecha_Servidor; none: the database's current date-time
  // Where cSistema.Mostrar_Mensaje writes: empty for standard error, "none" to discard, else a
  // file path (appended to).
  std::string message_log;
  // How a SQLite connection waits for another connection's write lock: how long one statement
  // waits, whether later statements give up at once after a wait ran out, and what is called
  // when a wait has lasted half a second. Server databases keep their own lock timeouts.
  std::chrono::milliseconds busy_timeout{10000};
  bool wait_once = false;
  std::function<void()> on_lock_wait;

  // The defaults, overridden by QUORLANE_DB, QUORLANE_SERVER_ID, QUORLANE_REMOTE (1/0, SI/NO,
  // true/false, yes/no), QUORLANE_OPERATOR, QUORLANE_CLOCK (a date or date-time as
  // parse_date reads it) and QUORLANE_MESSAGE_LOG. A value that cannot be read fails.
  static HostSettings from_environment();
};

// One configured standard host. Its services read the settings at each call, so that a change
// (the script runner's "host" request) applies to services already created.
class StandardHost : public std::enable_shared_from_this<StandardHost> {
 public:
  static std::shared_ptr<StandardHost> create(HostSettings settings);

  std::shared_ptr<HostFactory> factory();
  HostSettings settings() const;
  void update(const HostSettings& settings);

  // This thread's connection to the database, opened on first use (creating the schema of a
  // SQLite file that lacks it) and kept for the thread; a change of the database setting opens
  // the new one. The connection ends with the thread or with the host, whichever ends first
  // (a holder of the returned pointer keeps it open meanwhile). Fails with the database's
  // message.
  std::shared_ptr<Connection> connection();
  // The same connection, with the host's own query interface.
  std::shared_ptr<db::Database> database();

 private:
  explicit StandardHost(HostSettings settings);
  struct ThreadConnections;
  void forget_thread(std::thread::id thread);

  struct OpenDatabase {
    std::string path;
    std::shared_ptr<db::Database> database;
  };
  mutable std::mutex mutex_;
  HostSettings settings_;
  std::map<std::thread::id, OpenDatabase> connections_;
};

// Creates the tables the component and the standard host use, where missing.
void create_schema(Connection& connection);
// Adds the demonstration catalogue (branches, warehouses, products, conversions, costs, taxes,
// a promotion, a blocked customer, a withdrawn currency, folio series).
void load_demo_catalogue(Connection& connection);

}  // namespace quorlane
