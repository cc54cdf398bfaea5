// The component's statements are Transact-SQL. Engines that lack two of its forms get them
// rewritten here, and nothing else of the text is touched:
//   ISNULL(a, b)           ->  COALESCE(a, b)
//   DELETE table WHERE ... ->  DELETE FROM table WHERE ...
// SQL Server runs them as written, but for its text literals: a literal without N is read in the
// code page of the database's collation, which loses every character outside it, so there each
// '...' goes as N'...' (a literal already N'...' as it is).
// Quoted literals ('...' with doubled apostrophes), quoted identifiers ("..." and [...]) and
// comments are skipped whole, so a value that reads "ISNULL(" or "DELETE x WHERE" stays as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorlane::db {

enum class Engine { SqlServer, SQLite, PostgreSQL };

// How a SQL Server database reads a text literal written without N: in the code page of its
// collation, or (a collation whose name ends in _UTF8) keeping every character. Other engines
// keep every character of any literal.
enum class Collation { CodePage, Utf8 };

// The text to run on `engine` when it differs from `sql`; nothing when `sql` runs as it is
// (always so for SQL Server with a UTF-8 collation), so that a statement needing no change is
// never copied.
std::optional<std::string> adapted_statement(Engine engine, std::string_view sql,
                                             Collation collation = Collation::CodePage);

// The text to run on `engine`.
std::string adapt_statement(Engine engine, std::string_view sql,
                            Collation collation = Collation::CodePage);

// Whether a SQL Server collation name (as DATABASEPROPERTYEX gives it) keeps every character of
// a literal without N.
Collation collation_named(std::string_view name);

// The declared spelling of column names (e.g. "Ct_Folio"), by their lower-case form.
using DeclaredNames = std::unordered_map<std::string, std::string>;

// PostgreSQL folds every unquoted name to lower case, and reports the columns of a result so
// (ct_folio, total), where SQL Server and SQLite report a column by the name its table declares
// and an alias as written. Gives back to each name of `names` (the result's columns of `sql`)
// that has no upper-case letter the spelling the other engines report:
//   1. an alias written after AS in `sql` that folds to it (an alias in double quotes is the
//      name exactly as it stands, and keeps it);
//   2. else the declared spelling of a column of that name in `declared` (SELECT * included);
//   3. else a name written in `sql` that folds to it (a column of a table not in `declared`);
//   4. else the name as reported.
// Words inside literals and comments are never taken.
void unfold_column_names(std::string_view sql, std::vector<std::string>& names,
                         const DeclaredNames* declared);

}  // namespace quorlane::db
