// The change counters of catalogue tables on PostgreSQL and SQL Server: one row per table in
// Quorlane_Cambio (the table's name, and how many statements have changed it), raised by a
// statement trigger on the table in the changing transaction, so that a reader sees a change no
// later than the counter that tells of it.
#include "db/change_counter.h"

#include <cctype>

namespace quorlane::db {

namespace {

std::string folded(const std::string& name) {
  std::string out = name;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

const char* const kChangeCounterTable = "Quorlane_Cambio";

namespace {

// On SQL Server a trigger fires once per statement, whatever number of rows it changed; a
// trigger's name belongs to the schema, hence one name per table. CREATE TRIGGER must be alone
// in its batch, and CREATE OR ALTER leaves a trigger that is already there as it is meant to be.
// TRUNCATE TABLE fires no trigger there; the catalogue tables are not emptied that way.
std::vector<std::string> sql_server_statements(const std::vector<std::string>& tables) {
  std::vector<std::string> out = {
      "IF OBJECT_ID(N'Quorlane_Cambio', N'U') IS NULL CREATE TABLE Quorlane_Cambio (Cc_Tabla "
      "NVARCHAR(128) NOT NULL PRIMARY KEY, Cc_Cambios BIGINT NOT NULL DEFAULT 0)"};
  for (const std::string& table : tables) {
    out.push_back("IF NOT EXISTS (SELECT 1 FROM Quorlane_Cambio WHERE Cc_Tabla = N'" + table +
                  "') INSERT INTO Quorlane_Cambio (Cc_Tabla) VALUES (N'" + table + "')");
    out.push_back("CREATE OR ALTER TRIGGER Quorlane_Cambio_" + table + " ON " + table +
                  " AFTER INSERT, UPDATE, DELETE AS SET NOCOUNT ON; UPDATE Quorlane_Cambio SET "
                  "Cc_Cambios = Cc_Cambios + 1 WHERE Cc_Tabla = N'" +
                  table + "'");
  }
  return out;
}

}  // namespace

std::vector<std::string> change_counter_statements(Engine engine,
                                                   const std::vector<std::string>& tables) {
  if (engine == Engine::SqlServer) return sql_server_statements(tables);
  if (engine != Engine::PostgreSQL) return {};
  std::vector<std::string> out = {
      "CREATE TABLE IF NOT EXISTS Quorlane_Cambio (Cc_Tabla TEXT PRIMARY KEY, "
      "Cc_Cambios BIGINT NOT NULL DEFAULT 0)",
      // The counter of the table's own schema, whatever the search path of the writer.
      "CREATE OR REPLACE FUNCTION quorlane_cambio() RETURNS trigger LANGUAGE plpgsql AS $$ "
      "BEGIN EXECUTE format('UPDATE %I.quorlane_cambio SET cc_cambios = cc_cambios + 1 "
      "WHERE cc_tabla = $1', TG_TABLE_SCHEMA) USING TG_TABLE_NAME; RETURN NULL; END $$"};
  for (const std::string& table : tables) {
    out.push_back("INSERT INTO Quorlane_Cambio (Cc_Tabla) VALUES ('" + folded(table) +
                  "') ON CONFLICT DO NOTHING");
    out.push_back(
        "CREATE OR REPLACE TRIGGER quorlane_cambio AFTER INSERT OR UPDATE OR DELETE OR "
        "TRUNCATE ON " +
        table + " FOR EACH STATEMENT EXECUTE FUNCTION quorlane_cambio()");
  }
  return out;
}

const char* change_counter_query(Engine engine) {
  // Only the tables whose trigger is there and enabled: a table made again without it, or whose
  // trigger was dropped or disabled, counts as one without a counter.
  if (engine == Engine::SqlServer)
    return "SELECT c.Cc_Tabla, c.Cc_Cambios FROM Quorlane_Cambio c WHERE EXISTS (SELECT 1 FROM "
           "sys.triggers t WHERE t.parent_id = OBJECT_ID(c.Cc_Tabla) AND t.name = "
           "CONCAT(N'Quorlane_Cambio_', c.Cc_Tabla) AND t.is_disabled = 0)";
  if (engine != Engine::PostgreSQL) return nullptr;
  return "SELECT c.cc_tabla, c.cc_cambios FROM quorlane_cambio c WHERE EXISTS (SELECT 1 FROM "
         "pg_trigger t WHERE t.tgrelid = to_regclass(c.cc_tabla) AND t.tgname = "
         "'quorlane_cambio' AND t.tgenabled <> 'D')";
}

}  // namespace quorlane::db
