// Change counters of catalogue tables, through which a connection to a server database learns
// with one small read whether any catalogue table has changed since it last looked.
#pragma once

#include <string>
#include <vector>

#include "db/dialect.h"

namespace quorlane::db {

extern const char* const kChangeCounterTable;

// The statements that install the counters of `tables` (which must exist), where missing; run
// again they change nothing. None for an engine without them (SQLite needs none).
std::vector<std::string> change_counter_statements(Engine engine,
                                                   const std::vector<std::string>& tables);

// The query that reads the counters: one row per table that has one (its name, in any case,
// its count). None for an engine without them.
const char* change_counter_query(Engine engine);

}  // namespace quorlane::db
