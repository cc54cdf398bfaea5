// Pieces shared by the statements that the component assembles in gSQL: one value of a VALUES
// list together with the separator that follows it, and the execution of the finished text on
// the connection that cSistema gives at that moment.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "quorlane/host.h"

namespace quorlane {

// A quoted value: "'", the value (apostrophes doubled), then "', ".
void append_quoted_item(std::string& sql, std::string_view text);
// The last value of a list, always quoted: "'", the value, then "') ".
void append_last_quoted_item(std::string& sql, std::string_view text);
// A plain number followed by ", ".
void append_number_item(std::string& sql, double value);
// A bare text followed by ", ".
void append_bare_item(std::string& sql, std::string_view text);
// An integer constant followed by ", ".
void append_integer_item(std::string& sql, long long value);

// Asks cSistema.Conexion for the connection and runs `sql` on it with the options -1. A missing
// connection fails as an object variable that is not set.
std::shared_ptr<Recordset> execute_statement(const std::string& sql);

}  // namespace quorlane
