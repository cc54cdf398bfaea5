// The description of a failure being handled, whatever was thrown.
#pragma once

#include <string>

namespace quorlane {

// Call inside a catch block.
std::string current_failure_description();

}  // namespace quorlane
