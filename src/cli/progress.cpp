#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace quorlane::cli {

Progress::Progress(size_t total, std::string unit, bool shown)
    : total_(total), unit_(std::move(unit)), shown_(shown), start_(Clock::now()) {}

bool Progress::terminal() { return isatty(STDERR_FILENO) == 1; }

void Progress::update(size_t done, const std::string& detail, bool force) {
  done_ = done;
  detail_ = detail;
  if (!shown_) return;
  Clock::time_point now = Clock::now();
  if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  draw();
}

void Progress::clear() {
  if (shown_ && drawn_) std::cerr << "\r\033[2K" << std::flush;
  drawn_ = false;
}

double Progress::elapsed() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

void Progress::draw() {
  constexpr size_t kWidth = 24;
  size_t filled = total_ == 0 ? kWidth : done_ * kWidth / total_;
  double seconds = elapsed();
  double rate = seconds > 0 ? done_ / seconds : 0;
  std::string left = "--:--";
  if (rate > 0) {
    long remaining = static_cast<long>((total_ - done_) / rate + 0.5);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", remaining / 60, remaining % 60);
    left = buffer;
  }
  char line[200];
  std::snprintf(line, sizeof line, "%zu/%zu %s%s%s  %.1f %s/s  %s left", done_, total_,
                unit_.c_str(), detail_.empty() ? "" : "  ", detail_.c_str(), rate, unit_.c_str(),
                left.c_str());
  std::cerr << "\r\033[2K[" << std::string(filled, '#') << std::string(kWidth - filled, '-') << "] "
            << line << std::flush;
  drawn_ = true;
}

}  // namespace quorlane::cli
