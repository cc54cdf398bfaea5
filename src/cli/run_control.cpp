#include "cli/run_control.h"

#include <unistd.h>

#include <csignal>
#include <iostream>

#include "automation/json_values.h"
#include "db/connection_text.h"
#include "db/database.h"

namespace quorlane::cli {

namespace {

volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void note_stop(int signal) {
  if (g_stop_signal != 0) {
    // Asked twice: stop now, as the signal would have without the handler.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  g_stop_signal = signal;
}

}  // namespace

void catch_stop_signals() {
  struct sigaction action {};
  action.sa_handler = note_stop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int stop_signal() { return g_stop_signal; }

int stopped_status() { return 128 + g_stop_signal; }

std::string shown_database(const std::string& setting) { return db::without_passwords(setting); }

std::string locked_message(const HostSettings& settings) {
  return "database " + shown_database(settings.database) + " is locked by another process";
}

int report_unusable(const std::string& command, const DatabaseUnusable& e, bool json) {
  std::cerr << "quorlane " << command << ": " << e.what() << "\nNothing was written.\n";
  if (json)
    std::cout << automation::Json{{"ok", false}, {"error", e.what()}}.dump(
                     2, ' ', false, automation::Json::error_handler_t::replace)
              << "\n";
  return e.status();
}

void check_database_usable(StandardHost& host) {
  const HostSettings settings = host.settings();
  uint64_t timeouts = 0;
  std::shared_ptr<db::Database> database;
  try {
    database = host.database();
    timeouts = database->lock_timeouts();
    if (database->engine() == db::Engine::SQLite) {
      // BEGIN IMMEDIATE takes the write lock without writing: it fails on a file that is
      // locked, read-only or not a database.
      database->run("BEGIN IMMEDIATE");
      database->run("ROLLBACK");
    } else {
      database->run("SELECT COUNT(*) FROM Cotizacion_Encabezado WHERE 1 = 0");
    }
  } catch (const std::exception& e) {
    bool locked = database ? database->lock_timeouts() > timeouts
                           : std::string(e.what()).find("database is locked") != std::string::npos;
    if (locked) throw DatabaseUnusable(locked_message(settings), true);
    throw DatabaseUnusable(
        "cannot use the database " + shown_database(settings.database) + ": " + e.what(), false);
  }
}

}  // namespace quorlane::cli
