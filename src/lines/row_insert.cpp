// The row of table Cotizacion that every admitted line becomes: one INSERT statement with 52
// columns, the line's own values and the header values repeated in every row of the quote.
#include <array>

#include "frame/publico.h"
#include "lines/sql_values.h"
#include "lines/statement.h"
#include "model/cotizacion.h"
#include "model/shape.h"

namespace quorlane {

namespace {

// Where a column's value comes from and the rule by which it is written.
enum class Source {
  HeaderText,          // quoted header field
  HeaderNumber,        // plain-number header field
  LineText,            // quoted line field
  LineBare,            // line field written as it stands (Ct_Partida holds a number)
  LineNumber,          // plain-number line field
  DocumentDate,        // cDatos.Fecha_Documento_SQL of the header's Ct_Fecha, quoted
  InventoryBranch,     // record: the header's branch again; object: the line's own
  InventoryWarehouse,  // record: the header's warehouse again; object: the line's own
  FixedFee,            // record: the integer 0; object: the line's Ct_Cuota
  Operator,            // cSistema.Operador_Actual, quoted, asked for each column
  Timestamp,           // m_Fecha_Texto, quoted
};

struct Column {
  const char* name;
  Source source;
  H header = H::Ct_Folio;
  D line = D::Ct_ID;
};

constexpr Column header_text(const char* n, H f) { return {n, Source::HeaderText, f}; }
constexpr Column header_number(const char* n, H f) { return {n, Source::HeaderNumber, f}; }
constexpr Column line_text(const char* n, D f) { return {n, Source::LineText, H::Ct_Folio, f}; }
constexpr Column line_number(const char* n, D f) { return {n, Source::LineNumber, H::Ct_Folio, f}; }

constexpr size_t kColumns = 52;
constexpr const char* kFixedFeeColumn = "Ct_Cuota_Fija";

// The columns other than Ct_Cuota_Fija, in the order of the row; the twin says where the fee
// column stands among them.
constexpr std::array<Column, kColumns - 1> kRowColumns = {{
    header_text("Ct_Folio", H::Ct_Folio),
    line_text("Ct_ID", D::Ct_ID),
    header_text("Ct_Tabla", H::Ct_Tabla),
    header_text("Ct_Documento", H::Ct_Documento),
    header_text("Ct_Referencia", H::Ct_Referencia),
    {"Ct_Partida", Source::LineBare, H::Ct_Folio, D::Ct_Partida},
    line_text("Ct_Partida_Descripcion", D::Ct_Partida_Descripcion),
    line_text("Ct_Concepto", D::Ct_Concepto),
    {"Ct_Fecha", Source::DocumentDate},
    header_text("Ct_Comentario", H::Ct_Comentario),
    header_text("Ct_Atencion", H::Ct_Atencion),
    header_text("Ct_Condicion_Venta", H::Ct_Condicion_Venta),
    header_text("Sc_Cve_Sucursal", H::Sc_Cve_Sucursal),
    header_text("Al_Cve_Almacen", H::Al_Cve_Almacen),
    {"Ct_Sucursal_Inventario", Source::InventoryBranch},
    {"Ct_Almacen_Inventario", Source::InventoryWarehouse},
    header_text("Cl_Cve_Cliente", H::Cl_Cve_Cliente),
    header_text("Vn_Cve_Vendedor", H::Vn_Cve_Vendedor),
    line_text("Pr_Cve_Producto", D::Pr_Cve_Producto),
    line_text("Cl_Cve_Color", D::Cl_Cve_Color),
    line_text("Tl_Cve_Talla", D::Tl_Cve_Talla),
    header_text("Ct_Descuento_Global_Cuenta_Contable", H::Ct_Descuento_Global_Cuenta_Contable),
    header_number("Ct_Descuento_Global_Factor", H::Ct_Descuento_Global_Factor),
    header_number("Ct_Descuento_Global_Importe", H::Ct_Descuento_Global_Importe),
    line_number("Ct_Cantidad_1", D::Ct_Cantidad_1),
    line_text("Ct_Unidad_1", D::Ct_Unidad_1),
    line_number("Ct_Cantidad_Control_1", D::Ct_Cantidad_Control_1),
    line_text("Ct_Unidad_Control_1", D::Ct_Unidad_Control_1),
    line_number("Ct_Cantidad_Control_2", D::Ct_Cantidad_Control_2),
    line_text("Ct_Unidad_Control_2", D::Ct_Unidad_Control_2),
    line_number("Ct_Cantidad_Costo", D::Ct_Cantidad_Costo),
    line_text("Ct_Unidad_Costo", D::Ct_Unidad_Costo),
    line_number("Ct_Costo", D::Ct_Costo),
    line_number("Ct_Costo_Importe", D::Ct_Costo_Importe),
    line_text("Pr_Folio", D::Pr_Folio),
    line_number("Ct_Precio_Lista", D::Ct_Precio_Lista),
    line_number("Ct_Precio_Lista_Importe", D::Ct_Precio_Lista_Importe),
    line_number("Ct_Descuento_Factor", D::Ct_Descuento_Factor),
    line_number("Ct_Descuento_Importe", D::Ct_Descuento_Importe),
    line_number("Ct_Precio_Descontado", D::Ct_Precio_Descontado),
    line_number("Ct_Precio_Descontado_Importe", D::Ct_Precio_Descontado_Importe),
    line_number("Ct_Impuesto_Factor", D::Ct_Impuesto_Factor),
    line_number("Ct_Impuesto_Importe", D::Ct_Impuesto_Importe),
    line_number("Ct_Precio_Neto", D::Ct_Precio_Neto),
    line_number("Ct_Precio_Neto_Importe", D::Ct_Precio_Neto_Importe),
    header_text("Mn_Cve_Moneda", H::Mn_Cve_Moneda),
    header_number("Ct_Tipo_Cambio", H::Ct_Tipo_Cambio),
    {"Oper_Alta", Source::Operator},
    {"Fecha_Alta", Source::Timestamp},
    {"Oper_Ult_Modif", Source::Operator},
    {"Fecha_Ult_Modif", Source::Timestamp},
}};

// Ct_Partida is written bare; a text that is no number is refused before it reaches the
// statement.
std::string not_a_number_message(const std::string& partida) {
  return "La partida: " + partida + ", no es un número";
}

// The row's columns in the twin's order.
std::array<Column, kColumns> row_columns(const TwinInfo& twin) {
  std::array<Column, kColumns> out{};
  size_t fee_index = twin.cuota_fija_column - 1;
  for (size_t i = 0, j = 0; i < kColumns; ++i)
    out[i] = i == fee_index ? Column{kFixedFeeColumn, Source::FixedFee} : kRowColumns[j++];
  return out;
}

}  // namespace

bool Cotizacion::Inserta_Cotizacion() {
  RecordShape shape(m_Encabezado, m_Detalle);
  return insert_detail_row(shape);
}

bool Cotizacion::Inserta_Cotizacion2() {
  ObjectShape shape(m_Encabezado2, m_Detalle2);
  return insert_detail_row(shape);
}

bool Cotizacion::insert_detail_row(QuoteShape& s) {
  return with_error_exit(s.twin.row_insert, m_Error, [&] {
    Publico& p = publico();
    std::string& sql = p.gSQL;
    const std::array<Column, kColumns> columns = row_columns(s.twin);
    const bool object = s.twin.object_shape;

    sql.clear();
    sql += "INSERT INTO Cotizacion (";
    for (size_t i = 0; i + 1 < kColumns; ++i) {
      sql += columns[i].name;
      sql += ", ";
    }
    sql += columns[kColumns - 1].name;
    sql += ") VALUES (";

    // Each value is read (and each host service asked) when its turn comes.
    for (size_t i = 0; i < kColumns; ++i) {
      const Column& c = columns[i];
      const bool last = i + 1 == kColumns;
      std::string text;
      switch (c.source) {
        case Source::HeaderNumber:
          append_number_item(sql, s.number(c.header));
          continue;
        case Source::LineNumber:
          append_number_item(sql, s.number(c.line));
          continue;
        case Source::LineBare: {
          // Only a number may stand bare in the statement, so that no line can write anything
          // else into it; an empty text is left for the database to refuse.
          std::string bare = s.text(c.line);
          if (!bare.empty() && !is_number_literal(bare)) throw Failure(not_a_number_message(bare));
          append_bare_item(sql, bare);
          continue;
        }
        case Source::FixedFee:
          if (object) {
            append_number_item(sql, s.number(D::Ct_Cuota));
          } else {
            append_integer_item(sql, 0);  // the record has no fee field
          }
          continue;
        case Source::HeaderText:
          text = s.text(c.header);
          break;
        case Source::LineText:
          text = s.text(c.line);
          break;
        case Source::DocumentDate:
          text = p.gDatos->Fecha_Documento_SQL(s.date(H::Ct_Fecha));
          break;
        case Source::InventoryBranch:
          text = object ? s.text(D::Ct_Sucursal_Inventario) : s.text(H::Sc_Cve_Sucursal);
          break;
        case Source::InventoryWarehouse:
          text = object ? s.text(D::Ct_Almacen_Inventario) : s.text(H::Al_Cve_Almacen);
          break;
        case Source::Operator:
          text = p.gSistema->Operador_Actual();
          break;
        case Source::Timestamp:
          text = m_Fecha_Texto;
          break;
      }
      if (last) {
        append_last_quoted_item(sql, text);
      } else {
        append_quoted_item(sql, text);
      }
    }

    execute_statement(sql);
    return true;
  });
}

}  // namespace quorlane
