// The standard host's schema: the component's tables, the catalogues and the host's own tables.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/database.h"

namespace quorlane {

// The statements that create every table and index where missing, with that engine's types
// (SQLite and PostgreSQL: TEXT, DOUBLE PRECISION, ...; SQL Server: NVARCHAR, FLOAT, ...).
std::vector<std::string> schema_statements(db::Engine engine);

// The statements that add the demonstration catalogue, leaving rows already there as they are.
std::vector<std::string> demo_catalogue_statements(db::Engine engine);

// The engine of a connection of the standard host; SQLite for any other connection.
db::Engine engine_of(Connection& connection);

// The spelling of every column of the schema, by its lower-case form: the names a server that
// folds them (PostgreSQL) has lost.
std::shared_ptr<const db::DeclaredNames> declared_column_names();

// Whether the database holds every table of the schema.
bool schema_complete(db::Database& database);

// The catalogue tables: those the component only reads. On a server database `quorlane init`
// gives each a change counter (see db::change_counter_statements).
const std::vector<std::string>& catalogue_tables();

// The columns of a table of the schema, in their declared order; none for an unknown table.
std::vector<std::string> table_columns(const std::string& table);

}  // namespace quorlane
