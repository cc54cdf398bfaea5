#include "cli/host_options.h"

#include <unistd.h>

#include <iostream>

#include "cli/command.h"
#include "cli/run_control.h"
#include "quorlane/variant.h"

namespace quorlane::cli {

const char* const kDatabaseEnvironmentHelp =
    "Environment (an option given on the command line wins):\n"
    "  QUORLANE_DB         database: a SQLite file, or odbc:CONNECTION-STRING (default "
    "quorlane.db)";

const char* const kHostEnvironmentHelp =
    "Environment (an option given on the command line wins):\n"
    "  QUORLANE_DB         database: a SQLite file, or odbc:CONNECTION-STRING (default "
    "quorlane.db)\n"
    "  QUORLANE_SERVER_ID  this process's server id (default empty)\n"
    "  QUORLANE_REMOTE     1 when this process does not run on the central server\n"
    "  QUORLANE_OPERATOR   the operator signed in (default the login name)\n"
    "  QUORLANE_CLOCK      a fixed date-time for the server date (default the database's clock)";

namespace {
std::string check_date_time(const std::string& text) {
  Date d;
  if (parse_date(text, d)) return "";
  return "'" + text + "' is not a date-time: write YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS";
}
}  // namespace

void HostOptions::add_database_option(CLI::App& command) {
  database_option_ = command.add_option(
      "--db", database_,
      "the database: a SQLite file path, or odbc: followed by an ODBC connection string");
  database_option_->type_name("DATABASE");
}

void HostOptions::add_host_options(CLI::App& command) {
  add_database_option(command);
  server_id_option_ =
      command.add_option("--server-id", server_id_, "the id of the server this process runs on");
  server_id_option_->type_name("ID");
  remote_option_ =
      command.add_flag("--remote", remote_, "this process does not run on the central server");
  operator_option_ =
      command.add_option("--operator", operator_, "the operator signed in to the host");
  operator_option_->type_name("NAME");
  clock_option_ = command.add_option("--clock", clock_,
                                     "a fixed date-time that the host gives as the server date");
  clock_option_->type_name("DATE-TIME")->check(check_date_time);
}

void HostOptions::add_busy_timeout_option(CLI::App& command) {
  command
      .add_option("--busy-timeout", busy_timeout_,
                  "seconds to wait for another process's lock on the database before stopping "
                  "(default 5)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.0, 86400.0));
  busy_timeout_added_ = true;
}

HostSettings HostOptions::settings() const {
  HostSettings s;
  try {
    s = HostSettings::from_environment();
  } catch (const std::exception& e) {
    throw UsageError(std::string("bad host setting in the environment: ") + e.what());
  }
  auto given = [](const CLI::Option* o) { return o && o->count() > 0; };
  if (given(database_option_)) s.database = database_;
  if (given(server_id_option_)) s.server_id = server_id_;
  if (given(remote_option_)) s.remote = remote_;
  if (given(operator_option_)) s.operator_name = operator_;
  if (given(clock_option_)) {
    Date d;
    parse_date(clock_, d);  // checked by the parser
    s.clock = d;
  }
  if (busy_timeout_added_) {
    s.busy_timeout = std::chrono::milliseconds(static_cast<long long>(busy_timeout_ * 1000));
    s.wait_once = true;
    if (isatty(STDERR_FILENO) == 1) {
      const std::string note = "quorlane: " + locked_message(s) + "; waiting up to " +
                               number_text(busy_timeout_) + " s (--busy-timeout)...\n";
      s.on_lock_wait = [note] { std::cerr << "\r\033[2K" << note << std::flush; };
    }
  }
  return s;
}

}  // namespace quorlane::cli
