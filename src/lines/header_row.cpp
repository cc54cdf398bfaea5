// The header row of a new quote in table Cotizacion_Encabezado, written once when its first line
// is admitted, with every amount column at 0 until the quote is finalised.
#include "frame/publico.h"
#include "lines/statement.h"
#include "model/cotizacion.h"
#include "model/shape.h"

namespace quorlane {

namespace {

constexpr const char* kHeaderColumns =
    "INSERT INTO Cotizacion_Encabezado (Ct_Folio, Ct_Tabla, Ct_Documento, Ct_Referencia, "
    "Ct_Fecha, Ct_Comentario, Ct_Atencion, Ct_Condicion_Venta, Sc_Cve_Sucursal, "
    "Al_Cve_Almacen, Cl_Cve_Cliente, Vn_Cve_Vendedor, Ct_Descuento_Global_Factor, "
    "Ct_Descuento_Global_Importe, Ct_Precio_Lista_Importe, Ct_Descuento_Importe, "
    "Ct_Precio_Descontado_Importe, Ct_Impuesto_Importe, Ct_Precio_Neto_Importe, "
    "Mn_Cve_Moneda, Ct_Tipo_Cambio, Oper_Alta, Fecha_Alta, Oper_Ult_Modif, Fecha_Ult_Modif "
    ") VALUES (";

// The six amount columns start at zero, each written as "0," with no blank.
constexpr const char* kZeroAmounts = "0,0,0,0,0,0,";

}  // namespace

bool Cotizacion::Inserta_Cotizacion_Encabezado() {
  RecordShape shape(m_Encabezado, m_Detalle);
  return insert_header_row(shape);
}

bool Cotizacion::Inserta_Cotizacion_Encabezado2() {
  ObjectShape shape(m_Encabezado2, m_Detalle2);
  return insert_header_row(shape);
}

bool Cotizacion::insert_header_row(QuoteShape& s) {
  return with_error_exit(s.twin.header_insert, m_Error, [&] {
    Publico& p = publico();
    std::string& sql = p.gSQL;
    sql = kHeaderColumns;
    append_quoted_item(sql, s.text(H::Ct_Folio));
    append_quoted_item(sql, s.text(H::Ct_Tabla));
    append_quoted_item(sql, s.text(H::Ct_Documento));
    append_quoted_item(sql, s.text(H::Ct_Referencia));
    append_quoted_item(sql, p.gDatos->Fecha_Documento_SQL(s.date(H::Ct_Fecha)));
    append_quoted_item(sql, s.text(H::Ct_Comentario));
    append_quoted_item(sql, s.text(H::Ct_Atencion));
    append_quoted_item(sql, s.text(H::Ct_Condicion_Venta));
    append_quoted_item(sql, s.text(H::Sc_Cve_Sucursal));
    append_quoted_item(sql, s.text(H::Al_Cve_Almacen));
    append_quoted_item(sql, s.text(H::Cl_Cve_Cliente));
    append_quoted_item(sql, s.text(H::Vn_Cve_Vendedor));
    append_number_item(sql, s.number(H::Ct_Descuento_Global_Factor));
    sql += kZeroAmounts;
    append_quoted_item(sql, s.text(H::Mn_Cve_Moneda));
    append_number_item(sql, s.number(H::Ct_Tipo_Cambio));
    append_quoted_item(sql, p.gSistema->Operador_Actual());
    append_quoted_item(sql, m_Fecha_Texto);
    append_quoted_item(sql, p.gSistema->Operador_Actual());
    append_last_quoted_item(sql, m_Fecha_Texto);
    execute_statement(sql);
    return true;
  });
}

}  // namespace quorlane
