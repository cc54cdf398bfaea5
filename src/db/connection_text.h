// Connection strings are shown to people (the database a command worked on, a driver's message
// that repeats the string) but their passwords never are.
#pragma once

#include <string>
#include <string_view>

namespace quorlane::db {

// `text` with the value of every password key of a connection string in it (PWD=, Password=,
// in any letter case, a value in braces included) written as ***: "Uid=ana;Pwd=***;".
std::string without_passwords(std::string_view text);

}  // namespace quorlane::db
