// The component's statements are Transact-SQL. Engines that lack two of its forms get them
// rewritten here, and nothing else of the text is touched:
//   ISNULL(a, b)           ->  COALESCE(a, b)
//   DELETE table WHERE ... ->  DELETE FROM table WHERE ...
// Quoted literals ('...' with doubled apostrophes), quoted identifiers ("..." and [...]) and
// comments are skipped whole, so a value that reads "ISNULL(" or "DELETE x WHERE" stays as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorlane::db {

enum class Engine { SqlServer, SQLite, PostgreSQL };

// The text to run on `engine` when it differs from `sql`; nothing when `sql` runs as it is
// (always so for SQL Server), so that a statement needing no change is never copied.
std::optional<std::string> adapted_statement(Engine engine, std::string_view sql);

// The text to run on `engine`.
std::string adapt_statement(Engine engine, std::string_view sql);

}  // namespace quorlane::db
