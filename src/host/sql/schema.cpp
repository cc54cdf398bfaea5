// The tables of the component and of the standard host, described once as data and written as
// DDL for the engine at hand.
#include "host/sql/schema.h"

#include <string>
#include <vector>

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

const std::vector<Table>& tables() {
  static const std::vector<Table> kTables = {
      {"Cotizacion",
       {key("Ct_Folio"),
        key("Ct_ID"),
        text("Ct_Tabla"),
        text("Ct_Documento"),
        text("Ct_Referencia"),
        {"Ct_Partida", Type::Numeric},
        text("Ct_Partida_Descripcion"),
        text("Ct_Concepto"),
        date("Ct_Fecha"),
        text("Ct_Comentario"),
        text("Ct_Atencion"),
        text("Ct_Condicion_Venta"),
        text("Sc_Cve_Sucursal"),
        text("Al_Cve_Almacen"),
        text("Ct_Sucursal_Inventario"),
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
        number("Ct_Cuota_Fija"),
        text("Mn_Cve_Moneda"),
        number("Ct_Tipo_Cambio"),
        text("Oper_Alta"),
        date_time("Fecha_Alta"),
        text("Oper_Ult_Modif"),
        date_time("Fecha_Ult_Modif"),
        status(),
        text("Oper_Baja"),
        date_time("Fecha_Baja")}},
      {"Cotizacion_Encabezado",
       {key("Ct_Folio"),
        text("Ct_Tabla"),
        text("Ct_Documento"),
        text("Ct_Referencia"),
        date("Ct_Fecha"),
        text("Ct_Comentario"),
        text("Ct_Atencion"),
        text("Ct_Condicion_Venta"),
        text("Sc_Cve_Sucursal"),
        text("Al_Cve_Almacen"),
        text("Cl_Cve_Cliente"),
        text("Vn_Cve_Vendedor"),
        number("Ct_Descuento_Global_Factor"),
        number("Ct_Descuento_Global_Importe"),
        number("Ct_Precio_Lista_Importe"),
        number("Ct_Descuento_Importe"),
        number("Ct_Precio_Descontado_Importe"),
        number("Ct_Impuesto_Importe"),
        number("Ct_Precio_Neto_Importe"),
        text("Mn_Cve_Moneda"),
        number("Ct_Tipo_Cambio"),
        text("Oper_Alta"),
        date_time("Fecha_Alta"),
        text("Oper_Ult_Modif"),
        date_time("Fecha_Ult_Modif"),
        status(),
        text("Oper_Baja"),
        date_time("Fecha_Baja")}},
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
        {"Fo_Ultimo", Type::Integer, "0"}}},
      {"Documento_Registro",
       {{"Dr_Registro", Type::Id},
        text("Dr_Tabla"),
        text("Dr_Documento"),
        text("Dr_ID"),
        text("Oper_Alta"),
        date_time("Fecha_Alta")},
       {{"ix_Documento_Registro", "Dr_Tabla, Dr_Documento"}}},
      {"Historial_Seguimiento",
       {{"Hs_ID", Type::Id},
        text("Hs_Modulo"),
        text("Hs_Tipo_Documento"),
        text("Hs_Documento"),
        text("Hs_Tipo_Entidad"),
        text("Hs_Entidad"),
        date("Hs_Fecha"),
        text("Hs_Descripcion"),
        text("Oper_Alta"),
        date_time("Fecha_Alta")},
       {{"ix_Historial_Seguimiento", "Hs_Tipo_Documento, Hs_Documento"}}},
  };
  return kTables;
}

const char* type_name(db::Engine engine, Type type) {
  bool sqlite = engine == db::Engine::SQLite;
  switch (type) {
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
  std::string sql = "CREATE TABLE IF NOT EXISTS ";
  sql += table.name;
  sql += " (";
  std::string primary_key;
  for (const Column& c : table.columns) {
    if (&c != &table.columns.front()) sql += ", ";
    sql += c.name;
    sql += ' ';
    sql += type_name(engine, c.type);
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
  for (const Index& index : table.indexes)
    statements.push_back(std::string("CREATE INDEX IF NOT EXISTS ") + index.name + " ON " +
                         table.name + " (" + index.columns + ")");
  return statements;
}

db::Engine engine_of(Connection& connection) {
  auto* database = dynamic_cast<db::Database*>(&connection);
  return database != nullptr ? database->engine() : db::Engine::SQLite;
}

}  // namespace

std::vector<std::string> schema_statements(db::Engine engine) {
  if (engine == db::Engine::SqlServer) throw Failure(kNoSqlServerSchema);
  std::vector<std::string> all;
  for (const Table& table : tables())
    for (std::string& s : table_statements(engine, table)) all.push_back(std::move(s));
  return all;
}

bool schema_complete(db::Database& database) {
  for (const Table& table : tables())
    if (!database.has_table(table.name)) return false;
  return true;
}

void create_schema(Connection& connection) {
  for (const std::string& statement : schema_statements(engine_of(connection)))
    connection.Execute(statement);
}

}  // namespace quorlane
