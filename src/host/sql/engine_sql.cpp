#include "host/sql/engine_sql.h"

namespace quorlane {

namespace {

// "YYYY-MM-DD..." without the two hyphens of the date.
std::string compact(const std::string& text) {
  return text.substr(0, 4) + text.substr(5, 2) + text.substr(8);
}

}  // namespace

std::string first_row_query(db::Engine engine, std::string_view select) {
  constexpr std::string_view kSelect = "SELECT ";
  if (engine == db::Engine::SqlServer && select.substr(0, kSelect.size()) == kSelect)
    return "SELECT TOP 1 " + std::string(select.substr(kSelect.size()));
  return std::string(select) + " LIMIT 1";
}

const char* folio_update(db::Engine engine) {
  if (engine == db::Engine::SqlServer)
    return "DECLARE @f TABLE (Fo_Prefijo NVARCHAR(MAX), Fo_Ultimo BIGINT); "
           "UPDATE Folio SET Fo_Ultimo = Fo_Ultimo + 1 "
           "OUTPUT inserted.Fo_Prefijo, inserted.Fo_Ultimo INTO @f "
           "WHERE Sc_Cve_Sucursal = ? AND Fo_Tipo_Documento = ?; "
           "SELECT Fo_Prefijo, Fo_Ultimo FROM @f;";
  return "UPDATE Folio SET Fo_Ultimo = Fo_Ultimo + 1 "
         "WHERE Sc_Cve_Sucursal = ? AND Fo_Tipo_Documento = ? RETURNING Fo_Prefijo, Fo_Ultimo";
}

const char* current_date_time_query(db::Engine engine) {
  switch (engine) {
    case db::Engine::PostgreSQL:
      return "SELECT to_char(LOCALTIMESTAMP, 'YYYY-MM-DD HH24:MI:SS')";
    case db::Engine::SqlServer:
      return "SELECT CONVERT(varchar(19), GETDATE(), 120)";
    case db::Engine::SQLite:
      break;
  }
  return "SELECT datetime('now', 'localtime')";
}

Variant date_parameter(db::Engine engine, Date date, bool with_time) {
  if (engine == db::Engine::SQLite)
    return Variant(with_time ? date_time_text(date) : date_only_text(date));
  if (with_time) return Variant(date);
  Date day;
  parse_date(date_only_text(date), day);
  return Variant(day);
}

std::string sql_date_text(db::Engine engine, Date date) {
  std::string text = date_only_text(date);
  return engine == db::Engine::SqlServer ? compact(text) : text;
}

std::string sql_date_time_text(db::Engine engine, Date date_time) {
  std::string text = date_time_text(date_time);
  return engine == db::Engine::SqlServer ? compact(text) : text;
}

}  // namespace quorlane
