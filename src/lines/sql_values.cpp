#include "lines/sql_values.h"

#include "quorlane/variant.h"

namespace quorlane {

void append_quoted_value(std::string& sql, std::string_view text) {
  for (char c : text) {
    sql += c;
    if (c == '\'') sql += '\'';
  }
}

void append_bare_value(std::string& sql, std::string_view text) { sql.append(text); }

void append_plain_number(std::string& sql, double value) { sql += plain_number(value); }

void append_integer(std::string& sql, long long value) { sql += std::to_string(value); }

}  // namespace quorlane
