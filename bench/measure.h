// What the benchmark measures with: clocks of the wall and of the CPU, samples over repeated
// runs, peak memory, and its progress lines and failures.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quorlane::bench {

using Clock = std::chrono::steady_clock;
using json = nlohmann::json;

double seconds_since(Clock::time_point start);
double thread_cpu_seconds();
double process_cpu_seconds();
// Seconds this thread has waited for a CPU while it could run (Linux scheduler statistics).
double thread_run_delay_seconds();

// Wall-clock seconds, and the CPU seconds of the measuring thread: on a machine that other
// programs keep busy the CPU time of one thread varies far less than the wall-clock time.
struct Timing {
  double wall = 0;
  double cpu = 0;
};

class Stopwatch {
 public:
  Timing elapsed() const { return {seconds_since(wall_), thread_cpu_seconds() - cpu_}; }

 private:
  Clock::time_point wall_ = Clock::now();
  double cpu_ = thread_cpu_seconds();
};

// Samples of one figure over the repeated runs.
struct Samples {
  std::vector<double> values;

  void add(double v) { values.push_back(v); }
  double median() const;
  double min() const;
  double max() const;
  json to_json() const;
};

// Lines per second, and microseconds per line, of each sample of seconds for `count` lines.
Samples per_second(const Samples& seconds, long count);
Samples micros_each(const Samples& seconds, long count);

void progress(const std::string& text);

[[noreturn]] void give_up(const std::string& text);

// Peak resident memory of the process so far, in kB.
long peak_resident_kb();

}  // namespace quorlane::bench
