#include "lines/sql_values.h"

#include <cmath>

#include "quorlane/variant.h"

namespace quorlane {

void append_quoted_value(std::string& sql, std::string_view text) {
  for (char c : text) {
    sql += c;
    if (c == '\'') sql += '\'';
  }
}

void append_bare_value(std::string& sql, std::string_view text) { sql.append(text); }

bool is_number_literal(std::string_view text) {
  auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  while (n > i && text[n - 1] == ' ') --n;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && is_digit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && is_digit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent = 0;
    while (i < n && is_digit(text[i])) ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == n;
}

void append_plain_number(std::string& sql, double value) {
  // An infinite value or no number at all has no number text a statement can take: it is an
  // overflow, as the arithmetic that gave it would have been.
  if (!std::isfinite(value)) throw Failure(kOverflow);
  sql += plain_number(value);
}

void append_integer(std::string& sql, long long value) { sql += std::to_string(value); }

}  // namespace quorlane
