// The progress bar of the long commands: items done of a total, a detail, the rate and the
// time left, redrawn in place on standard error at most ten times a second. Drawn only when it
// is shown (standard error is a terminal and the run is long enough to need one).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace quorlane::cli {

class Progress {
 public:
  // `unit` names the items counted ("quotes", "lines").
  Progress(size_t total, std::string unit, bool shown);

  // Whether standard error is a terminal.
  static bool terminal();

  void update(size_t done, const std::string& detail = "", bool force = false);
  // Clears the bar, so that a line can be written; the next update puts it back.
  void clear();
  double elapsed() const;

 private:
  void draw();

  using Clock = std::chrono::steady_clock;
  size_t total_;
  std::string unit_;
  bool shown_;
  Clock::time_point start_;
  Clock::time_point last_{};
  size_t done_ = 0;
  std::string detail_;
  bool drawn_ = false;
};

}  // namespace quorlane::cli
