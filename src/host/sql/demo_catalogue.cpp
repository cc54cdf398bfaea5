// The demonstration catalogue: a hardware and clothing shop with three branches.
//   S1 Sucursal Centro: no server of its own (any process that is not remote), folios A...
//   S2 Sucursal Norte:  server SRV-NORTE, folios B...
//   S3 Sucursal Sur:    server SRV-SUR, no folio series
// Warehouses of S1: A1 without sizes or colours, A2 with both (clothing), A3 with sizes only
// (shoes), A9 withdrawn. Customers: C1 ordinary, C2 tax exempt, C3 blocked, C9 withdrawn.
// Currencies MXN and USD, FRF withdrawn. Products: P1 screws (PZA), P2 cable (M, fractions,
// sold also by the ROL of 100 M), P3 shirts (sizes CH/M/G, colours BL/AZ), P4 caps (U/NG),
// P5 soft drinks (PZA; CAJ of 12 PZA), P6 books (no tax), P7 shoes (sizes 22 to 25), P9
// withdrawn. Promotion PM0001: ten shirts earn a cap, in every branch.
// Rows already present are left as they are, so loading twice changes nothing: SQLite and
// PostgreSQL insert each table's rows in one statement that passes over a conflicting key, SQL
// Server (which has no ON CONFLICT) each row in a statement that inserts it unless its key is
// there.
#include <string_view>

#include "db/database.h"
#include "host/sql/schema.h"
#include "host/sql/standard_host.h"

namespace quorlane {

namespace {

struct DemoTable {
  const char* name;
  const char* columns;
  size_t keys;                    // the first columns, which make the primary key
  std::vector<const char*> rows;  // each the literals of a row, separated by commas
};

const DemoTable kDemoCatalogue[] = {
    {"Parametro",
     "Pa_Cve_Parametro, Pa_Valor, Pa_Descripcion",
     1,
     {"'COT_TIPO_CALCULO_IMPORTES', '1', 'Cálculo de importes: 1 precio sin impuestos, 2 precio "
      "con impuestos'",
      "'GEN_COMENTARIO_PROMOCION', '*PROMOCION*', 'Comentario de las partidas de promoción'",
      "'COT_VALIDAR_CLIENTE_BLOQUEADO', 'SI', 'Rechazar cotizaciones de clientes bloqueados'"}},
    {"Sucursal",
     "Sc_Cve_Sucursal, Sc_Descripcion, Sc_Servidor_Id, Es_Cve_Estado",
     1,
     {"'S1', 'Sucursal Centro', '', 'AC'", "'S2', 'Sucursal Norte', 'SRV-NORTE', 'AC'",
      "'S3', 'Sucursal Sur', 'SRV-SUR', 'AC'"}},
    {"Almacen",
     "Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, Al_Maneja_Tallas, Al_Maneja_Colores, "
     "Es_Cve_Estado",
     2,
     {"'S1', 'A1', 'Almacén general', 'NO', 'NO', 'AC'",
      "'S1', 'A2', 'Almacén de ropa', 'SI', 'SI', 'AC'",
      "'S1', 'A3', 'Almacén de calzado', 'SI', 'NO', 'AC'",
      "'S1', 'A9', 'Almacén cerrado', 'NO', 'NO', 'BA'",
      "'S2', 'A1', 'Almacén general Norte', 'NO', 'NO', 'AC'",
      "'S3', 'A1', 'Almacén general Sur', 'NO', 'NO', 'AC'"}},
    {"Moneda",
     "Mn_Cve_Moneda, Mn_Descripcion, Es_Cve_Estado",
     1,
     {"'MXN', 'Peso mexicano', 'AC'", "'USD', 'Dólar estadounidense', 'AC'",
      "'FRF', 'Franco francés', 'BA'"}},
    {"Vendedor",
     "Vn_Cve_Vendedor, Vn_Descripcion, Es_Cve_Estado",
     1,
     {"'V1', 'Ana María López', 'AC'", "'V2', 'Jorge Ramírez', 'AC'", "'V9', 'Luis Ortega', 'BA'"}},
    {"Cliente",
     "Cl_Cve_Cliente, Cl_Descripcion, Cl_Bloqueado, Cl_Exento_Impuesto, Es_Cve_Estado",
     1,
     {"'C1', 'Ferretería El Tornillo', 'NO', 'NO', 'AC'",
      "'C2', 'Escuela Primaria Benito Juárez', 'NO', 'SI', 'AC'",
      "'C3', 'Comercializadora Morales', 'SI', 'NO', 'AC'",
      "'C9', 'Abarrotes La Esquina', 'NO', 'NO', 'BA'"}},
    {"Condicion_Venta",
     "Cv_Cve_Condicion_Venta, Cv_Descripcion, Es_Cve_Estado",
     1,
     {"'CON', 'Contado', 'AC'", "'C30', 'Crédito a 30 días', 'AC'",
      "'C90', 'Crédito a 90 días', 'BA'"}},
    {"Unidad",
     "Un_Cve_Unidad, Un_Descripcion, Un_Permite_Fracciones, Es_Cve_Estado",
     1,
     {"'PZA', 'Pieza', 'NO', 'AC'", "'CAJ', 'Caja', 'NO', 'AC'", "'DOC', 'Docena', 'NO', 'AC'",
      "'PAR', 'Par', 'NO', 'AC'", "'M', 'Metro', 'SI', 'AC'", "'ROL', 'Rollo', 'NO', 'AC'",
      "'KG', 'Kilogramo', 'SI', 'AC'", "'GRS', 'Gruesa', 'NO', 'BA'"}},
    {"Producto",
     "Pr_Cve_Producto, Pr_Descripcion, Pr_Tipo_Producto, Pr_Tipo_Costeo, Pr_Unidad_Control_1, "
     "Pr_Unidad_Control_2, Pr_Unidad_Costo, Pr_Impuesto_Factor, Es_Cve_Estado",
     1,
     {"'P1', 'Tornillo hexagonal 1/4 x 1', 'A', 'P', 'PZA', 'PZA', 'PZA', 0.16, 'AC'",
      "'P2', 'Cable eléctrico calibre 12', 'A', 'P', 'M', 'M', 'M', 0.16, 'AC'",
      "'P3', 'Camisa manga larga', 'A', 'P', 'PZA', 'PZA', 'PZA', 0.16, 'AC'",
      "'P4', 'Gorra bordada', 'A', 'P', 'PZA', 'PZA', 'PZA', 0.16, 'AC'",
      "'P5', 'Refresco de cola 600 ml', 'A', 'P', 'PZA', 'CAJ', 'PZA', 0.16, 'AC'",
      "'P6', 'Libro de matemáticas', 'A', 'P', 'PZA', 'PZA', 'PZA', 0, 'AC'",
      "'P7', 'Zapato escolar', 'A', 'P', 'PAR', 'PAR', 'PAR', 0.16, 'AC'",
      "'P9', 'Lámpara incandescente', 'A', 'P', 'PZA', 'PZA', 'PZA', 0.16, 'BA'"}},
    {"Producto_Talla",
     "Pr_Cve_Producto, Tl_Cve_Talla",
     2,
     {"'P3', 'CH'", "'P3', 'M'", "'P3', 'G'", "'P4', 'U'", "'P7', '22'", "'P7', '23'", "'P7', '24'",
      "'P7', '25'"}},
    {"Producto_Color",
     "Pr_Cve_Producto, Cl_Cve_Color",
     2,
     {"'P3', 'BL'", "'P3', 'AZ'", "'P4', 'NG'"}},
    {"Producto_Talla_Color",
     "Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color",
     3,
     {"'P3', 'CH', 'BL'", "'P3', 'CH', 'AZ'", "'P3', 'M', 'BL'", "'P3', 'M', 'AZ'",
      "'P3', 'G', 'BL'", "'P3', 'G', 'AZ'", "'P4', 'U', 'NG'"}},
    {"Unidad_Conversion",
     "Pr_Cve_Producto, Un_Cve_Unidad_Origen, Un_Cve_Unidad_Destino, Uc_Factor",
     3,
     {"'P5', 'CAJ', 'PZA', 12", "'P2', 'ROL', 'M', 100", "'', 'DOC', 'PZA', 12"}},
    {"Costo",
     "Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, Co_Costo",
     5,
     {"'S1', 'A1', 'P1', '', '', 0.85", "'S1', 'A1', 'P2', '', '', 7.4",
      "'S1', 'A1', 'P5', '', '', 9.5", "'S1', 'A1', 'P6', '', '', 120",
      "'S1', 'A2', 'P3', '', '', 180", "'S1', 'A2', 'P3', 'G', 'AZ', 195",
      "'S1', 'A2', 'P4', '', '', 45", "'S1', 'A3', 'P7', '', '', 310",
      "'S2', 'A1', 'P1', '', '', 0.9", "'S2', 'A1', 'P5', '', '', 9.8"}},
    {"Promocion",
     "Pm_Folio, Pm_Descripcion, Sc_Cve_Sucursal, Pr_Cve_Producto, Un_Cve_Unidad, "
     "Pm_Cantidad_Minima, Pm_Producto_Regalo, Pm_Talla_Regalo, Pm_Color_Regalo, "
     "Pm_Cantidad_Regalo, Pm_Unidad_Regalo, Pm_Fecha_Inicio, Pm_Fecha_Fin, Es_Cve_Estado",
     1,
     {"'PM0001', 'Por cada 10 camisas, una gorra de regalo', '', 'P3', 'PZA', 10, 'P4', 'U', 'NG', "
      "1, 'PZA', '2024-01-01', '2030-12-31', 'AC'",
      "'PM0002', 'Refresco gratis por caja (suspendida)', '', 'P5', 'CAJ', 1, 'P5', '', '', 1, "
      "'PZA', '2024-01-01', '2030-12-31', 'BA'"}},
    {"Folio",
     "Sc_Cve_Sucursal, Fo_Tipo_Documento, Fo_Prefijo, Fo_Ultimo",
     2,
     {"'S1', 'COTIZACION', 'A', 0", "'S2', 'COTIZACION', 'B', 0"}},
};

// The parts of a list separated by commas, blanks around them taken off; a comma inside a
// quoted literal belongs to it.
std::vector<std::string_view> split_list(std::string_view list) {
  std::vector<std::string_view> parts;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i <= list.size(); ++i) {
    if (i < list.size() && list[i] == '\'') quoted = !quoted;
    if (i < list.size() && (quoted || list[i] != ',')) continue;
    std::string_view part = list.substr(start, i - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    parts.push_back(part);
    start = i + 1;
  }
  return parts;
}

// INSERT INTO t (a, b, c) SELECT 'x', 'y', 1 WHERE NOT EXISTS (SELECT 1 FROM t WHERE a = 'x' AND
// b = 'y'), for a table keyed by a and b.
std::string insert_if_missing(const DemoTable& table, const char* row) {
  const std::vector<std::string_view> columns = split_list(table.columns);
  const std::vector<std::string_view> values = split_list(row);
  std::string sql = std::string("INSERT INTO ") + table.name + " (" + table.columns + ") SELECT " +
                    row + " WHERE NOT EXISTS (SELECT 1 FROM " + table.name + " WHERE ";
  for (size_t k = 0; k < table.keys; ++k) {
    if (k > 0) sql += " AND ";
    sql.append(columns[k]).append(" = ").append(values[k]);
  }
  return sql + ")";
}

}  // namespace

std::vector<std::string> demo_catalogue_statements(db::Engine engine) {
  std::vector<std::string> statements;
  for (const DemoTable& table : kDemoCatalogue) {
    if (engine == db::Engine::SqlServer) {
      for (const char* row : table.rows) statements.push_back(insert_if_missing(table, row));
      continue;
    }
    std::string sql = std::string("INSERT INTO ") + table.name + " (" + table.columns + ") VALUES ";
    for (const char* row : table.rows) {
      if (row != table.rows.front()) sql += ", ";
      sql.append("(").append(row).append(")");
    }
    statements.push_back(sql + " ON CONFLICT DO NOTHING");
  }
  return statements;
}

void load_demo_catalogue(Connection& connection) {
  for (const std::string& statement : demo_catalogue_statements(engine_of(connection)))
    connection.Execute(statement);
}

}  // namespace quorlane
