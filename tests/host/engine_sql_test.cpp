// What the standard host writes differently for SQL Server, the one engine no test here runs on.
// (The SQLite and PostgreSQL forms the tests on those engines use.)
#include "host/sql/engine_sql.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/sql/schema.h"

namespace quorlane {
namespace {

using db::Engine;

TEST(EngineSql, SqlServerDatesFirstRowAndFolioStatements) {
  const Date stamp = make_date(2026, 1, 5, 7, 8, 9);
  EXPECT_EQ(sql_date_text(Engine::SqlServer, stamp), "20260105");
  EXPECT_EQ(sql_date_time_text(Engine::SqlServer, stamp), "20260105 07:08:09");
  EXPECT_EQ(sql_date_time_text(Engine::SqlServer, make_date(2026, 12, 31)), "20261231 00:00:00");
  EXPECT_EQ(first_row_query(Engine::SqlServer,
                            "SELECT Pa_Valor FROM Parametro WHERE Pa_Cve_Parametro = ?"),
            "SELECT TOP 1 Pa_Valor FROM Parametro WHERE Pa_Cve_Parametro = ?");
  EXPECT_EQ(std::string(folio_update(Engine::SqlServer)),
            "UPDATE Folio SET Fo_Ultimo = Fo_Ultimo + 1 OUTPUT inserted.Fo_Prefijo, "
            "inserted.Fo_Ultimo WHERE Sc_Cve_Sucursal = ? AND Fo_Tipo_Documento = ?");
}

// SQL Server has no CREATE ... IF NOT EXISTS and no unbounded text in keys and indexes.
TEST(EngineSql, SqlServerTablesTestForThemselvesAndBoundTheirKeys) {
  std::vector<std::string> statements = schema_statements(Engine::SqlServer);
  auto has = [&](const std::string& statement) {
    return std::find(statements.begin(), statements.end(), statement) != statements.end();
  };
  EXPECT_TRUE(has(
      "IF OBJECT_ID(N'Folio', N'U') IS NULL CREATE TABLE Folio (Sc_Cve_Sucursal NVARCHAR(100) "
      "NOT NULL, Fo_Tipo_Documento NVARCHAR(100) NOT NULL, Fo_Prefijo NVARCHAR(MAX) DEFAULT '', "
      "Fo_Ultimo INT DEFAULT 0, PRIMARY KEY (Sc_Cve_Sucursal, Fo_Tipo_Documento))"));
  EXPECT_TRUE(
      has("IF OBJECT_ID(N'Documento_Registro', N'U') IS NULL CREATE TABLE Documento_Registro "
          "(Dr_Registro INT IDENTITY(1, 1) PRIMARY KEY, Dr_Tabla NVARCHAR(100), Dr_Documento "
          "NVARCHAR(100), Dr_ID NVARCHAR(MAX), Oper_Alta NVARCHAR(MAX), Fecha_Alta DATETIME2(0))"));
  EXPECT_TRUE(
      has("IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_Documento_Registro' AND "
          "object_id = OBJECT_ID(N'Documento_Registro')) CREATE INDEX ix_Documento_Registro ON "
          "Documento_Registro (Dr_Tabla, Dr_Documento)"));
  EXPECT_EQ(statements.size(), schema_statements(Engine::PostgreSQL).size());
  for (const std::string& s : statements) EXPECT_EQ(s.find("TEXT"), std::string::npos) << s;
}

}  // namespace
}  // namespace quorlane
