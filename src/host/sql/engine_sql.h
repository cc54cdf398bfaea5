// Where the standard host's own SQL differs between engines. Its queries are written once in
// the form SQLite and PostgreSQL share (LIMIT, RETURNING); SQL Server gets its own form here
// (TOP, OUTPUT), and nowhere else.
#pragma once

#include <string>
#include <string_view>

#include "db/dialect.h"
#include "quorlane/variant.h"

namespace quorlane {

// `select` ("SELECT ...") limited to its first row.
std::string first_row_query(db::Engine engine, std::string_view select);

// Raises Folio.Fo_Ultimo of one branch (first parameter) and document type (second) by one and
// gives back Fo_Prefijo and the new Fo_Ultimo, in one statement: the row stays locked from the
// raise to the read, so no two callers of any thread or process see the same number. On SQL
// Server one batch: the UPDATE's OUTPUT goes INTO a table variable (a table with a trigger takes
// no plain OUTPUT) that the batch's last statement reads back.
const char* folio_update(db::Engine engine);

// A date parameter of the host's statements: `date` (its day only when `with_time` is false) as
// a date value for a server, which reads it the same under every language and date format; for
// SQLite, which keeps dates as text, "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS".
Variant date_parameter(db::Engine engine, Date date, bool with_time);

// The database's current local date-time, as "YYYY-MM-DD HH:MM:SS".
const char* current_date_time_query(db::Engine engine);

// The texts cDatos.Fecha_Documento_SQL and cDatos.Fecha_SQL give: "YYYY-MM-DD" and
// "YYYY-MM-DD HH:MM:SS"; for SQL Server "YYYYMMDD" and "YYYYMMDD HH:MM:SS", which it reads the
// same under every language and date-format setting.
std::string sql_date_text(db::Engine engine, Date date);
std::string sql_date_time_text(db::Engine engine, Date date_time);

}  // namespace quorlane
