// The change counters of catalogue tables on PostgreSQL: one row per table in Quorlane_Cambio
// (the table's name as the server folds it, and how many statements have changed it), raised by
// a statement trigger on the table in the changing transaction, so that a reader sees a change
// no later than the counter that tells of it.
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

std::vector<std::string> change_counter_statements(Engine engine,
                                                   const std::vector<std::string>& tables) {
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
  if (engine != Engine::PostgreSQL) return nullptr;
  // Only the tables whose trigger is there and enabled: a table made again without it, or whose
  // trigger was dropped or disabled, counts as one without a counter.
  return "SELECT c.cc_tabla, c.cc_cambios FROM quorlane_cambio c WHERE EXISTS (SELECT 1 FROM "
         "pg_trigger t WHERE t.tgrelid = to_regclass(c.cc_tabla) AND t.tgname = "
         "'quorlane_cambio' AND t.tgenabled <> 'D')";
}

}  // namespace quorlane::db
