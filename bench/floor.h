// The floor: only the writes no implementation of the component can avoid for a line (its
// INSERT as the component built it, and its registration row), in autocommit.
#pragma once

#include <string>
#include <vector>

#include "measure.h"
#include "options.h"
#include "quote_builder.h"
#include "site.h"

namespace quorlane::bench {

// The unavoidable writes of one line: its row as the component wrote it, and its registration.
struct LineWrites {
  std::string insert;
  std::string folio;
  std::string id;
};

// Builds `lines` lines through a recording boundary and keeps, for each, the INSERT text the
// component executed and the registration it asked for.
std::vector<LineWrites> record_line_writes(const Options& o, const WorkDir& dir, Shape shape,
                                           long lines);

// The time to execute the unavoidable writes of lines [first, end), each statement in its own
// transaction.
Timing run_floor(Site& site, const std::vector<LineWrites>& writes, size_t first, size_t end);

// Deletes the rows the floor wrote, on a database kept across phases.
void forget_floor_rows(Site& site, const std::vector<LineWrites>& writes);

}  // namespace quorlane::bench
