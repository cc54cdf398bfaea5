// The text of the exception a piece of code throws, for tests that compare it whole.
#pragma once

#include <string>

#include "quorlane/variant.h"

namespace quorlane::test {

// What `f` throws as an E (a Failure unless told), or "(no failure)" when it throws nothing.
template <class E = Failure, class F>
std::string failure_of(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "(no failure)";
}

}  // namespace quorlane::test
