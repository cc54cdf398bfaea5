#include "host/routine_call.h"

namespace quorlane {

namespace {
thread_local uint64_t t_calls = 0;    // outermost calls started on this thread
thread_local uint64_t t_current = 0;  // the running one's number, 0 when none runs
thread_local int t_depth = 0;
}  // namespace

uint64_t current_routine_call() { return t_current; }

RoutineCallScope::RoutineCallScope() {
  if (t_depth++ == 0) t_current = ++t_calls;
}

RoutineCallScope::~RoutineCallScope() {
  if (--t_depth == 0) t_current = 0;
}

}  // namespace quorlane
