// The standard host's schema: the component's tables, the catalogues and the host's own tables.
#pragma once

#include <string>
#include <vector>

#include "db/database.h"

namespace quorlane {

inline constexpr const char* kNoSqlServerSchema =
    "Quorlane no crea las tablas en SQL Server: créelas con las herramientas del servidor";

// The statements that create every table and index where missing, for that engine.
std::vector<std::string> schema_statements(db::Engine engine);

// Whether the database holds every table of the schema.
bool schema_complete(db::Database& database);

// The columns of a table of the schema, in their declared order; none for an unknown table.
std::vector<std::string> table_columns(const std::string& table);

}  // namespace quorlane
