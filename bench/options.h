// The benchmark's command line: sizes, repetitions, the database and the phases to run.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace quorlane::bench {

struct Options {
  long lines = 20000;
  long lines_per_quote = 100;
  int repeat = 3;
  long prefill_rows = 200000;
  long growth_lines = 1000;
  long memory_lines = 100000;
  long thread_lines = 5000;  // per thread
  std::string db;            // empty: fresh SQLite files in a temporary directory
  std::vector<std::string> phases = {"memory",       "admission", "growth",
                                     "finalisation", "threads",   "program"};
  bool json = false;
  std::string profile;  // one workload alone, for a profiler

  bool runs(const std::string& phase) const {
    return std::find(phases.begin(), phases.end(), phase) != phases.end();
  }
};

// Reads the command line into `o`. An exit code when the program should end at once (after
// --help, or an option it refuses, with the message printed).
std::optional<int> parse_options(int argc, char** argv, Options& o);

}  // namespace quorlane::bench
