// The databases of the phases: a temporary directory for fresh SQLite files, and a site (one
// database with a standard host over it) per phase.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "db/database.h"
#include "host/sql/standard_host.h"
#include "host/wrap/boundary.h"
#include "options.h"

namespace quorlane::bench {

// The directory of the fresh database files, removed with them at the end.
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  void remove_database(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// One database of a phase with a standard host over it, installed for every thread; the main
// thread's component state starts afresh on it.
class Site {
 public:
  enum Use { Component, FloorOnly };  // a floor site is reached through its connection alone

  Site(const Options& options, const WorkDir& dir, const std::string& name,
       std::shared_ptr<Boundary> boundary = nullptr, Use use = Component);
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;
  ~Site();

  StandardHost& host() { return *host_; }
  // This thread's connection.
  db::Database& database() { return *host_->database(); }
  // The statements this thread's connection has sent to the database so far.
  uint64_t statements() { return database().statements(); }
  // Whether the database is one of its own, which no earlier phase has written.
  bool fresh() const { return fresh_; }

  // Writes the WAL back into the database file, so that a measurement starts from a settled
  // file (SQLite only).
  void checkpoint() {
    if (database().engine() == db::Engine::SQLite)
      database().run("PRAGMA wal_checkpoint(TRUNCATE)");
  }

 private:
  const WorkDir& dir_;
  std::string name_;
  bool fresh_;
  bool installed_;
  std::shared_ptr<StandardHost> host_;
};

}  // namespace quorlane::bench
