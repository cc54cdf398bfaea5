// The SQL value rules, read back by a lexer and by SQLite itself:
//   - a statement built with the Quoted text rule from any text holds exactly one literal, and
//     that literal stands for the text (SQLite returns the same bytes);
//   - a text that the Bare text rule lets through as a number is one numeric value, whatever
//     follows it in the statement;
//   - the Plain number of any finite value is such a number and reads back as the value to 15
//     significant digits.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "lines/sql_values.h"
#include "quorlane/variant.h"
#include "sql_lexer.h"

namespace {

sqlite3* database() {
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    if (sqlite3_open(":memory:", &d) != SQLITE_OK) std::abort();
    return d;
  }();
  return db;
}

// Prepares `sql` as one whole statement and steps it to its row; nullptr when SQLite refuses it.
sqlite3_stmt* one_row(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(database(), sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail) !=
      SQLITE_OK)
    return nullptr;
  if (stmt == nullptr) return nullptr;
  if (tail != sql.c_str() + sql.size() || sqlite3_step(stmt) != SQLITE_ROW) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

void check_quoted_text(std::string_view text) {
  std::string sql = "SELECT * FROM Producto WHERE Pr_Cve_Producto = '";
  quorlane::append_quoted_value(sql, text);
  sql += "' ";
  const auto literals = quorlane::fuzz::quoted_literals(sql);
  if (literals.size() != 1 || !literals[0].closed || literals[0].value != text) std::abort();

  // SQLite reads a text up to its first NUL character only.
  if (text.find('\0') != std::string_view::npos) return;
  std::string select = "SELECT '";
  quorlane::append_quoted_value(select, text);
  select += "', 'fin'";
  sqlite3_stmt* stmt = one_row(select);
  if (stmt == nullptr || sqlite3_column_count(stmt) != 2) std::abort();
  const void* bytes = sqlite3_column_blob(stmt, 0);
  const size_t size = static_cast<size_t>(sqlite3_column_bytes(stmt, 0));
  if (size != text.size() || (size && std::memcmp(bytes, text.data(), size) != 0)) std::abort();
  sqlite3_finalize(stmt);
}

// A number literal is one value however the statement goes on.
void check_number_literal(const std::string& text) {
  if (!quorlane::is_number_literal(text)) return;
  sqlite3_stmt* stmt = one_row("SELECT 'a', " + text + ", 'z'");
  if (stmt == nullptr || sqlite3_column_count(stmt) != 3) std::abort();
  const int type = sqlite3_column_type(stmt, 1);
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) std::abort();
  sqlite3_finalize(stmt);
}

void check_plain_number(double value) {
  if (!std::isfinite(value)) return;
  std::string sql;
  quorlane::append_plain_number(sql, value);
  if (!quorlane::is_number_literal(sql)) std::abort();
  check_number_literal(sql);
  double back = 0;
  if (!quorlane::parse_number(sql, back)) {
    // Only a value that 15 digits round past the largest double reads back as no number.
    if (std::fabs(value) < 1.797693134862315e308) std::abort();
    return;
  }
  const double scale = std::fmax(std::fabs(value), std::fabs(back));
  if (std::fabs(back - value) > scale * 1e-14 && std::fabs(back - value) > 1e-300) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_quoted_text(text);
  check_number_literal(std::string(text));
  if (size >= sizeof(double)) {
    double value;
    std::memcpy(&value, data, sizeof value);
    check_plain_number(value);
  }
  return 0;
}
