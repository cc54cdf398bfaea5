// The report: a Markdown table of the measurements, and the targets each run is held to.
#pragma once

#include <ostream>
#include <string>

#include "measure.h"

namespace quorlane::bench {

struct Target {
  std::string name;
  double value;
  double limit;
  bool at_least;  // the value must reach the limit; otherwise stay under it
  std::string unit;
  bool met() const { return at_least ? value >= limit : value <= limit; }
};

std::string fixed(double v, int decimals);

// "median (min–max)"
std::string spread(const Samples& s, int decimals);

// One row of the measurements' table.
void row(std::ostream& out, const std::string& what, const std::string& value);

}  // namespace quorlane::bench
