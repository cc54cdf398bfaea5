// The standard host: all five host services over one SQL database (the embedded SQLite file by
// default, a server database through ODBC when configured), so that the component runs for real
// with no other program.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "quorlane/host.h"

namespace quorlane {

struct HostSettings {
  // A SQLite file path, or "odbc:" followed by an ODBC connection string.
  std::string database = "quorlane.db";
  std::string server_id;  // cSistema.Servidor_Actual
  bool remote = false;    // cSistema.Es_Servidor_Remoto
  std::string operator_name;  // cSistema.Operador_Actual; empty: the process user's login name
  std::optional<Date> clock;  // cDatos.Fecha_Servidor; none: the database's current date-time
  // Where cSistema.Mostrar_Mensaje writes: empty for standard error, "none" to discard, else a
  // file path (appended to).
  std::string message_log;

  // The defaults, overridden by QUORLANE_DB, QUORLANE_SERVER_ID, QUORLANE_REMOTE,
  // QUORLANE_OPERATOR and QUORLANE_CLOCK.
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
  // SQLite file that lacks it) and kept for the thread.
  std::shared_ptr<Connection> connection();

 private:
  explicit StandardHost(HostSettings settings);
  mutable std::mutex mutex_;
  HostSettings settings_;
};

// Creates the tables the component and the standard host use, where missing.
void create_schema(Connection& connection);
// Adds the demonstration catalogue (branches, warehouses, products, conversions, costs, taxes,
// a promotion, a blocked customer, a withdrawn currency, folio series).
void load_demo_catalogue(Connection& connection);

}  // namespace quorlane
