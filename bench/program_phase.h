// The program phase of quorlane-bench: `quorlane quote` run on documents of 1,000 and 10,000
// lines (promotions on, finalised) against fresh SQLite files, beside the component building the
// same lines in this process on the same kind of file.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace quorlane::bench {

struct ProgramTarget {
  std::string name;
  double value;
  double limit;  // at most
};

struct ProgramPhase {
  nlohmann::json result;
  std::vector<std::pair<std::string, std::string>> rows;  // (measurement, "median (min–max)")
  std::vector<ProgramTarget> targets;
};

// Runs each figure `repeat` times in `directory` (which it leaves as it found it).
ProgramPhase program_phase(int repeat, const std::string& directory);

}  // namespace quorlane::bench
