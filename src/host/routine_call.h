// Which call of the component's routines is running on this thread, so that the host can tell
// the operations of one call from those of the next (the standard host answers the catalogue
// queries of one call once, and asks a server whether its catalogue changed once per call).
#pragma once

#include <cstdint>

namespace quorlane {

// The number of the outermost routine call running on this thread: each new outermost call
// gets a number of its own, and the calls it makes share it. 0 while none runs.
uint64_t current_routine_call();

// Marks a routine call for as long as it lives; only an outermost one starts a new number.
class RoutineCallScope {
 public:
  RoutineCallScope();
  ~RoutineCallScope();
  RoutineCallScope(const RoutineCallScope&) = delete;
  RoutineCallScope& operator=(const RoutineCallScope&) = delete;
};

}  // namespace quorlane
