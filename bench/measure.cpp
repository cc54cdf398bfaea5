#include "measure.h"

#include <time.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace quorlane::bench {

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double thread_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double process_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double thread_run_delay_seconds() {
  std::ifstream stat("/proc/thread-self/schedstat");
  double on_cpu = 0, waiting = 0;
  stat >> on_cpu >> waiting;
  return waiting * 1e-9;
}

double Samples::median() const {
  if (values.empty()) return 0;
  std::vector<double> v = values;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Samples::min() const {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double Samples::max() const {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

json Samples::to_json() const {
  return json{{"median", median()}, {"min", min()}, {"max", max()}, {"runs", values}};
}

Samples per_second(const Samples& seconds, long count) {
  Samples r;
  for (double v : seconds.values) r.add(static_cast<double>(count) / v);
  return r;
}

Samples micros_each(const Samples& seconds, long count) {
  Samples r;
  for (double v : seconds.values) r.add(v * 1e6 / static_cast<double>(count));
  return r;
}

void progress(const std::string& text) { std::cerr << "quorlane-bench: " << text << std::endl; }

[[noreturn]] void give_up(const std::string& text) { throw std::runtime_error(text); }

long peak_resident_kb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

}  // namespace quorlane::bench
