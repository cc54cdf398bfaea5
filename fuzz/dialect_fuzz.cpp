// The dialect layer rewrites exactly two Transact-SQL forms for the engines that lack them, and
// puts N before SQL Server's literals. For any text: adapting never fails, leaves every quoted
// literal (its place in the sequence and its content) as it was, adapts nothing more when run on
// its own output, and leaves the text alone for SQL Server with a UTF-8 collation.
#include <strings.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "db/dialect.h"
#include "sql_lexer.h"

namespace {

// The text with both rewrites undone wherever they could have been made: every " FROM" taken out
// and every COALESCE, like ISNULL in any letter case, read as "isnull". A text and its
// adaptation agree on this form exactly when the adaptation made no other change.
std::string normalized(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (s.compare(i, 5, " FROM") == 0) {
      i += 5;
    } else if (s.compare(i, 8, "COALESCE") == 0) {
      out += "isnull";
      i += 8;
    } else if (i + 6 <= s.size() && strncasecmp(s.data() + i, "ISNULL", 6) == 0) {
      out += "isnull";
      i += 6;
    } else {
      out += s[i++];
    }
  }
  return out;
}

}  // namespace

using quorlane::db::adapt_statement;
using quorlane::db::adapted_statement;
using quorlane::db::Collation;
using quorlane::db::Engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  const auto literals = quorlane::fuzz::quoted_literals(sql);
  for (Engine engine : {Engine::SQLite, Engine::PostgreSQL}) {
    const std::string out = adapt_statement(engine, sql);
    if (quorlane::fuzz::quoted_literals(out) != literals) std::abort();
    if (adapt_statement(engine, out) != out) std::abort();
    if (normalized(out) != normalized(sql)) std::abort();
    if (adapted_statement(engine, sql).has_value() != (out != sql)) std::abort();
  }
  // SQL Server: only N before literals, so every literal is kept and a second pass adds none;
  // with a UTF-8 collation nothing at all.
  const std::string national = adapt_statement(Engine::SqlServer, sql);
  if (quorlane::fuzz::quoted_literals(national) != literals) std::abort();
  if (adapt_statement(Engine::SqlServer, national) != national) std::abort();
  if (national.size() < sql.size()) std::abort();
  if (adapted_statement(Engine::SqlServer, sql, Collation::Utf8).has_value()) std::abort();
  return 0;
}
