// The tables of the component and of the standard host, described once as data and written as
// DDL for the engine at hand.
#include "host/sql/schema.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/change_counter.h"
#include "db/database.h"
#include "host/sql/standard_host.h"

namespace quorlane {

namespace {

enum class Type { Text, Number, Integer, Numeric, Date, DateTime, Id };

struct Column {
  const char* name;
  Type type = Type::Text;
  const char* default_value = nullptr;  // an SQL literal
  bool key = false;                     // part of the primary key: not null
};

struct Index {
  const char* name;
  const char* columns;
};

struct Table {
  const char* name;
  std::vector<Column> columns;
  std::vector<Index> indexes = {};
};

Column text(const char* name) { return {name}; }
Column key(const char* name) { return {name, Type::Text, nullptr, true}; }
Column key_or_empty(const char* name) { return {name, Type::Text, "''", true}; }
Column number(const char* name) { return {name, Type::Number}; }
Column date(const char* name) { return {name, Type::Date}; }
Column date_time(const char* name) { return {name, Type::DateTime}; }
Column yes_no(const char* name) { return {name, Type::Text, "'NO'"}; }
Column status() { return {"Es_Cve_Estado", Type::Text, "'AC'"}; }

using Columns = std::vector<Column>;

Columns operator+(Columns first, const Columns& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

// Who wrote a row and when.
Columns written() { return {text("Oper_Alta"), date_time("Fecha_Alta")}; }

// The date, terms, branch and warehouse of a quote, on its lines and on its header alike.
Columns quote_terms() {
  return {date("Ct_Fecha"),           text("Ct_Comentario"),   text("Ct_Atencion"),
          text("Ct_Condicion_Venta"), text("Sc_Cve_Sucursal"), text("Al_Cve_Almacen")};
}

// The currency and the life of a row (written, changed, status, withdrawn) that close both quote
// tables.
Columns currency_and_life() {
  return Columns{text("Mn_Cve_Moneda"), number("Ct_Tipo_Cambio")} + written() +
         Columns{text("Oper_Ult_Modif"), date_time("Fecha_Ult_Modif"), status(), text("Oper_Baja"),
                 date_time("Fecha_Baja")};
}

const std::vector<Table>& tables() {
  static const std::vector<Table> kTables = {
      {"Cotizacion",  // a row per line of a quote
       Columns{key("Ct_Folio"),
               key("Ct_ID"),
               text("Ct_Tabla"),
               text("Ct_Documento"),
               text("Ct_Referencia"),
               {"Ct_Partida", Type::Numeric},
               text("Ct_Partida_Descripcion"),
               text("Ct_Concepto")} +
           quote_terms() +
           Columns{text("Ct_Sucursal_Inventario"),
                   text("Ct_Almacen_Inventario"),
                   text("Cl_Cve_Cliente"),
                   text("Vn_Cve_Vendedor"),
                   text("Pr_Cve_Producto"),
                   text("Cl_Cve_Color"),
                   text("Tl_Cve_Talla"),
                   text("Ct_Descuento_Global_Cuenta_Contable"),
                   number("Ct_Descuento_Global_Factor"),
                   number("Ct_Descuento_Global_Importe"),
                   number("Ct_Cantidad_1"),
                   text("Ct_Unidad_1"),
                   number("Ct_Cantidad_Control_1"),
                   text("Ct_Unidad_Control_1"),
                   number("Ct_Cantidad_Control_2"),
                   text("Ct_Unidad_Control_2"),
                   number("Ct_Cantidad_Costo"),
                   text("Ct_Unidad_Costo"),
                   number("Ct_Costo"),
                   number("Ct_Costo_Importe"),
                   text("Pr_Folio"),
                   number("Ct_Precio_Lista"),
                   number("Ct_Precio_Lista_Importe"),
                   number("Ct_Descuento_Factor"),
                   number("Ct_Descuento_Importe"),
                   number("Ct_Precio_Descontado"),
                   number("Ct_Precio_Descontado_Importe"),
                   number("Ct_Impuesto_Factor"),
                   number("Ct_Impuesto_Importe"),
                   number("Ct_Precio_Neto"),
                   number("Ct_Precio_Neto_Importe"),
                   number("Ct_Cuota_Fija")} +
           currency_and_life()},
      {"Cotizacion_Encabezado",
       Columns{key("Ct_Folio"), text("Ct_Tabla"), text("Ct_Documento"), text("Ct_Referencia")} +
           quote_terms() +
           Columns{text("Cl_Cve_Cliente"), text("Vn_Cve_Vendedor"),
                   number("Ct_Descuento_Global_Factor"), number("Ct_Descuento_Global_Importe"),
                   number("Ct_Precio_Lista_Importe"), number("Ct_Descuento_Importe"),
                   number("Ct_Precio_Descontado_Importe"), number("Ct_Impuesto_Importe"),
                   number("Ct_Precio_Neto_Importe")} +
           currency_and_life()},
      {"Documento_Descripcion_Extendida",
       {{"Dd_Registro", Type::Id},
        text("Dd_Tabla"),
        text("Dd_Documento"),
        text("Dd_ID"),
        text("Dd_Descripcion")},
       {{"ix_Documento_Descripcion_Extendida", "Dd_Tabla, Dd_Documento"}}},
      {"Parametro", {key("Pa_Cve_Parametro"), text("Pa_Valor"), text("Pa_Descripcion")}},
      {"Sucursal",
       {key("Sc_Cve_Sucursal"),
        text("Sc_Descripcion"),
        {"Sc_Servidor_Id", Type::Text, "''"},
        status()}},
      {"Almacen",
       {key("Sc_Cve_Sucursal"), key("Al_Cve_Almacen"), text("Al_Descripcion"),
        yes_no("Al_Maneja_Tallas"), yes_no("Al_Maneja_Colores"), status()}},
      {"Moneda", {key("Mn_Cve_Moneda"), text("Mn_Descripcion"), status()}},
      {"Vendedor", {key("Vn_Cve_Vendedor"), text("Vn_Descripcion"), status()}},
      {"Cliente",
       {key("Cl_Cve_Cliente"), text("Cl_Descripcion"), yes_no("Cl_Bloqueado"),
        yes_no("Cl_Exento_Impuesto"), status()}},
      {"Condicion_Venta", {key("Cv_Cve_Condicion_Venta"), text("Cv_Descripcion"), status()}},
      {"Unidad",
       {key("Un_Cve_Unidad"), text("Un_Descripcion"), yes_no("Un_Permite_Fracciones"), status()}},
      {"Producto",
       {key("Pr_Cve_Producto"),
        text("Pr_Descripcion"),
        text("Pr_Tipo_Producto"),
        text("Pr_Tipo_Costeo"),
        text("Pr_Unidad_Control_1"),
        text("Pr_Unidad_Control_2"),
        text("Pr_Unidad_Costo"),
        {"Pr_Impuesto_Factor", Type::Number, "0"},
        status()}},
      {"Producto_Talla", {key("Pr_Cve_Producto"), key("Tl_Cve_Talla")}},
      {"Producto_Color", {key("Pr_Cve_Producto"), key("Cl_Cve_Color")}},
      {"Producto_Talla_Color", {key("Pr_Cve_Producto"), key("Tl_Cve_Talla"), key("Cl_Cve_Color")}},
      {"Unidad_Conversion",
       {key_or_empty("Pr_Cve_Producto"), key("Un_Cve_Unidad_Origen"), key("Un_Cve_Unidad_Destino"),
        number("Uc_Factor")}},
      {"Costo",
       {key("Sc_Cve_Sucursal"), key("Al_Cve_Almacen"), key("Pr_Cve_Producto"),
        key_or_empty("Tl_Cve_Talla"), key_or_empty("Cl_Cve_Color"), number("Co_Costo")}},
      {"Promocion",
       {key("Pm_Folio"),
        text("Pm_Descripcion"),
        {"Sc_Cve_Sucursal", Type::Text, "''"},
        text("Pr_Cve_Producto"),
        text("Un_Cve_Unidad"),
        number("Pm_Cantidad_Minima"),
        text("Pm_Producto_Regalo"),
        {"Pm_Talla_Regalo", Type::Text, "''"},
        {"Pm_Color_Regalo", Type::Text, "''"},
        number("Pm_Cantidad_Regalo"),
        text("Pm_Unidad_Regalo"),
        date("Pm_Fecha_Inicio"),
        date("Pm_Fecha_Fin"),
        status()},
       {{"ix_Promocion_Producto", "Pr_Cve_Producto, Un_Cve_Unidad"}}},
      {"Folio",
       {key("Sc_Cve_Sucursal"),
        key("Fo_Tipo_Documento"),
        {"Fo_Prefijo", Type::Text, "''"},
        // Not part of the key: one series per branch and document type, whatever its number.
        {"Fo_Ultimo", Type::Integer, "0"}}},
      {"Documento_Registro",
       Columns{{"Dr_Registro", Type::Id}, text("Dr_Tabla"), text("Dr_Documento"), text("Dr_ID")} +
           written(),
       {{"ix_Documento_Registro", "Dr_Tabla, Dr_Documento"}}},
      {"Historial_Seguimiento",
       Columns{{"Hs_ID", Type::Id},
               text("Hs_Modulo"),
               text("Hs_Tipo_Documento"),
               text("Hs_Documento"),
               text("Hs_Tipo_Entidad"),
               text("Hs_Entidad"),
               date("Hs_Fecha"),
               text("Hs_Descripcion")} +
           written(),
       {{"ix_Historial_Seguimiento", "Hs_Tipo_Documento, Hs_Documento"}}},
  };
  return kTables;
}

// SQL Server keeps no TEXT worth the name: texts are NVARCHAR, bounded where the column is part
// of a key or an index. A clustered primary key holds at most 900 bytes (two a character), so the
// text columns of a key of five get 90 characters each instead of 100.
std::string sql_server_type_name(Type type, bool indexed, size_t key_columns) {
  switch (type) {
    case Type::Text:
      if (!indexed) return "NVARCHAR(MAX)";
      if (key_columns * 100 * 2 > 900) return "NVARCHAR(" + std::to_string(450 / key_columns) + ")";
      return "NVARCHAR(100)";
    case Type::Number:
      return "FLOAT";
    case Type::Integer:
      return "INT";
    case Type::Numeric:
      return "NUMERIC(18, 4)";
    case Type::Date:
      return "DATE";
    case Type::DateTime:
      return "DATETIME2(0)";
    case Type::Id:
      // A row per line written, for good: INT would run out in a busy database's lifetime.
      return "BIGINT IDENTITY(1, 1) PRIMARY KEY";
  }
  return "NVARCHAR(MAX)";
}

bool is_indexed(const Table& table, const Column& column) {
  if (column.key) return true;
  for (const Index& index : table.indexes) {
    std::string_view columns = index.columns;
    for (size_t start = 0; start < columns.size();) {
      size_t end = columns.find(',', start);
      if (end == std::string_view::npos) end = columns.size();
      std::string_view name = columns.substr(start, end - start);
      while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
      if (name == column.name) return true;
      start = end + 1;
    }
  }
  return false;
}

std::string type_name(db::Engine engine, const Table& table, const Column& column) {
  if (engine == db::Engine::SqlServer) {
    size_t key_columns = 0;
    for (const Column& c : table.columns) key_columns += c.key ? 1 : 0;
    return sql_server_type_name(column.type, is_indexed(table, column),
                                column.key ? key_columns : 0);
  }
  bool sqlite = engine == db::Engine::SQLite;
  switch (column.type) {
    case Type::Text:
      return "TEXT";
    case Type::Number:
      return "DOUBLE PRECISION";
    case Type::Integer:
      return "INTEGER";
    case Type::Numeric:
      return "NUMERIC";
    case Type::Date:
      return "DATE";
    case Type::DateTime:
      return sqlite ? "DATETIME" : "TIMESTAMP";
    case Type::Id:
      return sqlite ? "INTEGER PRIMARY KEY" : "SERIAL PRIMARY KEY";
  }
  return "TEXT";
}

std::vector<std::string> table_statements(db::Engine engine, const Table& table) {
  // SQL Server has no IF NOT EXISTS in its CREATE statements: each one tests for itself.
  const bool sql_server = engine == db::Engine::SqlServer;
  std::string sql =
      sql_server ? std::string("IF OBJECT_ID(N'") + table.name + "', N'U') IS NULL CREATE TABLE "
                 : "CREATE TABLE IF NOT EXISTS ";
  sql += table.name;
  sql += " (";
  std::string primary_key;
  for (const Column& c : table.columns) {
    if (&c != &table.columns.front()) sql += ", ";
    sql += c.name;
    sql += ' ';
    sql += type_name(engine, table, c);
    if (c.key) sql += " NOT NULL";
    if (c.default_value != nullptr) {
      sql += " DEFAULT ";
      sql += c.default_value;
    }
    if (c.key) {
      if (!primary_key.empty()) primary_key += ", ";
      primary_key += c.name;
    }
  }
  if (!primary_key.empty()) sql += ", PRIMARY KEY (" + primary_key + ")";
  sql += ")";
  std::vector<std::string> statements{sql};
  for (const Index& index : table.indexes) {
    std::string create = sql_server ? std::string(
                                          "IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE "
                                          "name = N'") +
                                          index.name + "' AND object_id = OBJECT_ID(N'" +
                                          table.name + "')) CREATE INDEX "
                                    : "CREATE INDEX IF NOT EXISTS ";
    statements.push_back(create + index.name + " ON " + table.name + " (" + index.columns + ")");
  }
  return statements;
}

}  // namespace

db::Engine engine_of(Connection& connection) {
  auto* database = dynamic_cast<db::Database*>(&connection);
  return database != nullptr ? database->engine() : db::Engine::SQLite;
}

std::vector<std::string> schema_statements(db::Engine engine) {
  std::vector<std::string> all;
  for (const Table& table : tables())
    for (std::string& s : table_statements(engine, table)) all.push_back(std::move(s));
  return all;
}

std::shared_ptr<const db::DeclaredNames> declared_column_names() {
  static const std::shared_ptr<const db::DeclaredNames> kNames = [] {
    auto names = std::make_shared<db::DeclaredNames>();
    for (const Table& table : tables()) {
      for (const Column& column : table.columns) {
        std::string folded = column.name;
        for (char& c : folded)
          if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        names->emplace(std::move(folded), column.name);
      }
    }
    return names;
  }();
  return kNames;
}

bool schema_complete(db::Database& database) {
  for (const Table& table : tables())
    if (!database.has_table(table.name)) return false;
  return true;
}

std::vector<std::string> table_columns(const std::string& table) {
  std::vector<std::string> out;
  for (const Table& t : tables())
    if (table == t.name)
      for (const Column& c : t.columns) out.push_back(c.name);
  return out;
}

const std::vector<std::string>& catalogue_tables() {
  static const std::vector<std::string> kCatalogues = {
      "Parametro",         "Sucursal",       "Almacen",         "Moneda",
      "Vendedor",          "Cliente",        "Condicion_Venta", "Unidad",
      "Producto",          "Producto_Talla", "Producto_Color",  "Producto_Talla_Color",
      "Unidad_Conversion", "Costo",          "Promocion"};
  return kCatalogues;
}

void create_schema(Connection& connection) {
  const db::Engine engine = engine_of(connection);
  // Only the catalogue tables made here get change counters: a sales system's own tables are
  // left as they are (their answers then last one routine call).
  std::vector<std::string> made;
  auto* database = dynamic_cast<db::Database*>(&connection);
  if (database != nullptr && db::change_counter_query(engine) != nullptr)
    for (const std::string& table : catalogue_tables())
      if (!database->has_table(table)) made.push_back(table);
  for (const std::string& statement : schema_statements(engine)) connection.Execute(statement);
  if (!made.empty())
    for (const std::string& statement : db::change_counter_statements(engine, made))
      connection.Execute(statement);
}

}  // namespace quorlane
