// How a run of the commands that write quotes ends early: a stop asked with Ctrl-C or SIGTERM,
// a database locked by another process, or a database that cannot be used at all. Each has an
// exit status of its own, so that a script can tell them apart.
#pragma once

#include <stdexcept>
#include <string>

#include "host/sql/standard_host.h"

namespace quorlane::cli {

constexpr int kDatabaseUnusableStatus = 3;
constexpr int kDatabaseLockedStatus = 4;

// From now on SIGINT and SIGTERM only note that a stop was asked: the running command finishes
// the line in progress, reports what the database holds and stops. A second signal ends the
// program at once.
void catch_stop_signals();
// The signal that asked for a stop; 0 when none did.
int stop_signal();
// The exit status of a run stopped by that signal: 128 + its number (130 for Ctrl-C, 143 for
// SIGTERM).
int stopped_status();

// The database as the program's messages name it.
std::string shown_database(const std::string& setting);

// A database the run cannot work on. what() is the whole message, naming the database.
class DatabaseUnusable : public std::runtime_error {
 public:
  DatabaseUnusable(const std::string& message, bool locked)
      : std::runtime_error(message), locked_(locked) {}
  bool locked() const { return locked_; }
  int status() const { return locked_ ? kDatabaseLockedStatus : kDatabaseUnusableStatus; }

 private:
  bool locked_;
};

// "database X is locked by another process"
std::string locked_message(const HostSettings& settings);

// Reports a database that cannot be used before a run wrote anything: the message on standard
// error and, with --json, the answer {"ok": false, "error": ...} on standard output. Returns the
// exit status.
int report_unusable(const std::string& command, const DatabaseUnusable& e, bool json);

// Opens the host's database and makes sure a quote can be written to it now: on a SQLite file
// the write lock is taken and given back at once (waiting for it at most the busy timeout); on
// a server a table of quotes is read. Throws DatabaseUnusable otherwise.
void check_database_usable(StandardHost& host);

}  // namespace quorlane::cli
