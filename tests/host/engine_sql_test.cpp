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
  // OUTPUT INTO a table variable: a plain OUTPUT fails on a table with a trigger.
  EXPECT_EQ(std::string(folio_update(Engine::SqlServer)),
            "DECLARE @f TABLE (Fo_Prefijo NVARCHAR(MAX), Fo_Ultimo BIGINT); "
            "UPDATE Folio SET Fo_Ultimo = Fo_Ultimo + 1 OUTPUT inserted.Fo_Prefijo, "
            "inserted.Fo_Ultimo INTO @f WHERE Sc_Cve_Sucursal = ? AND Fo_Tipo_Documento = ?; "
            "SELECT Fo_Prefijo, Fo_Ultimo FROM @f;");
  // Dates bind as date values on the servers (the day alone where only the day counts) and as
  // the text SQLite keeps.
  EXPECT_EQ(date_parameter(Engine::SqlServer, stamp, false), Variant(make_date(2026, 1, 5)));
  EXPECT_EQ(date_parameter(Engine::PostgreSQL, stamp, true), Variant(stamp));
  EXPECT_EQ(date_parameter(Engine::SQLite, stamp, false), Variant("2026-01-05"));
  EXPECT_EQ(date_parameter(Engine::SQLite, stamp, true), Variant("2026-01-05 07:08:09"));
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
          "(Dr_Registro BIGINT IDENTITY(1, 1) PRIMARY KEY, Dr_Tabla NVARCHAR(100), Dr_Documento "
          "NVARCHAR(100), Dr_ID NVARCHAR(MAX), Oper_Alta NVARCHAR(MAX), Fecha_Alta DATETIME2(0))"));
  EXPECT_TRUE(
      has("IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_Documento_Registro' AND "
          "object_id = OBJECT_ID(N'Documento_Registro')) CREATE INDEX ix_Documento_Registro ON "
          "Documento_Registro (Dr_Tabla, Dr_Documento)"));
  // Costo's clustered key of five texts within 900 bytes.
  EXPECT_TRUE(
      has("IF OBJECT_ID(N'Costo', N'U') IS NULL CREATE TABLE Costo (Sc_Cve_Sucursal NVARCHAR(90) "
          "NOT NULL, Al_Cve_Almacen NVARCHAR(90) NOT NULL, Pr_Cve_Producto NVARCHAR(90) NOT NULL, "
          "Tl_Cve_Talla NVARCHAR(90) NOT NULL DEFAULT '', Cl_Cve_Color NVARCHAR(90) NOT NULL "
          "DEFAULT '', Co_Costo FLOAT, PRIMARY KEY (Sc_Cve_Sucursal, Al_Cve_Almacen, "
          "Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color))"));
  EXPECT_EQ(statements.size(), schema_statements(Engine::PostgreSQL).size());
  for (const std::string& s : statements) EXPECT_EQ(s.find("TEXT"), std::string::npos) << s;
}

// SQL Server has no ON CONFLICT: each row of the demonstration catalogue is inserted unless its
// key is there (a comma inside a literal is no separator).
TEST(EngineSql, SqlServerDemoCatalogueInsertsEachMissingRow) {
  const std::vector<std::string> rows = demo_catalogue_statements(Engine::SqlServer);
  EXPECT_EQ(rows.front(),
            "INSERT INTO Parametro (Pa_Cve_Parametro, Pa_Valor, Pa_Descripcion) SELECT "
            "'COT_TIPO_CALCULO_IMPORTES', '1', 'Cálculo de importes: 1 precio sin impuestos, 2 "
            "precio con impuestos' WHERE NOT EXISTS (SELECT 1 FROM Parametro WHERE "
            "Pa_Cve_Parametro = 'COT_TIPO_CALCULO_IMPORTES')");
  EXPECT_NE(std::find(rows.begin(), rows.end(),
                      "INSERT INTO Costo (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, "
                      "Tl_Cve_Talla, Cl_Cve_Color, Co_Costo) SELECT 'S1', 'A2', 'P3', 'G', 'AZ', "
                      "195 WHERE NOT EXISTS (SELECT 1 FROM Costo WHERE Sc_Cve_Sucursal = 'S1' AND "
                      "Al_Cve_Almacen = 'A2' AND Pr_Cve_Producto = 'P3' AND Tl_Cve_Talla = 'G' AND "
                      "Cl_Cve_Color = 'AZ')"),
            rows.end());
  for (const std::string& s : rows) EXPECT_EQ(s.find("CONFLICT"), std::string::npos) << s;
  // One statement a table elsewhere, one a row here.
  EXPECT_EQ(demo_catalogue_statements(Engine::PostgreSQL).size(), 16u);
  EXPECT_EQ(rows.size(), 76u);
}

}  // namespace
}  // namespace quorlane
