// The options that say which host a command runs on, shared by every command that opens the
// database: --db, --server-id, --remote, --operator and --clock. Each overrides its environment
// variable (QUORLANE_DB, QUORLANE_SERVER_ID, QUORLANE_REMOTE, QUORLANE_OPERATOR, QUORLANE_CLOCK),
// which in turn overrides the standard host's default.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "host/sql/standard_host.h"

namespace quorlane::cli {

class HostOptions {
 public:
  // Only --db (commands that set up the database).
  void add_database_option(CLI::App& command);
  // --db and the settings of the host services.
  void add_host_options(CLI::App& command);

  // --busy-timeout, for the commands that write many lines: how long to wait once for another
  // process's lock on a SQLite file before the run stops. On a terminal, a note says that the
  // run is waiting.
  void add_busy_timeout_option(CLI::App& command);

  // The settings from the environment with the options given on the command line applied.
  // A bad environment setting is a UsageError.
  HostSettings settings() const;

 private:
  std::string database_;
  std::string server_id_;
  bool remote_ = false;
  std::string operator_;
  std::string clock_;
  double busy_timeout_ = 5;
  bool busy_timeout_added_ = false;
  CLI::Option* database_option_ = nullptr;
  CLI::Option* server_id_option_ = nullptr;
  CLI::Option* remote_option_ = nullptr;
  CLI::Option* operator_option_ = nullptr;
  CLI::Option* clock_option_ = nullptr;
};

// The help texts' paragraph on the environment variables: of --db alone, of all host options.
extern const char* const kDatabaseEnvironmentHelp;
extern const char* const kHostEnvironmentHelp;

}  // namespace quorlane::cli
