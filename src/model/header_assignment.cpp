// Header assignment: the Encabezado and Encabezado2 setters. While the quote of a shape has no
// folio, a header given in that shape is copied into it, the server of its branch is looked up
// and the inventory service says whether the branch's warehouse manages sizes and colours. Once
// the folio is set the header is fixed. There is no error exit: a failing host call reaches the
// client and what the earlier steps changed stays changed.
#include "frame/publico.h"
#include "model/assignment.h"
#include "model/cotizacion.h"
#include "model/shape.h"

namespace quorlane {

namespace {

// Copied before the size and colour look-ups, in this order. The global discount factor follows
// them; the folio, the global discount amount and ledger account and the zone never travel.
constexpr H kCopiedFields[] = {
    H::Ct_Fecha,           H::Ct_Comentario,  H::Ct_Referencia,   H::Ct_Tabla,
    H::Ct_Documento,       H::Ct_Atencion,    H::Mn_Cve_Moneda,   H::Ct_Tipo_Cambio,
    H::Sc_Cve_Sucursal,    H::Al_Cve_Almacen, H::Vn_Cve_Vendedor, H::Cl_Cve_Cliente,
    H::Ct_Condicion_Venta,
};

enum class FieldKind { TEXT, NUM, DATE };

FieldKind kind_of(H f) {
  switch (f) {
#define QL_KIND_CASE(name, kind, type) \
  case H::name:                        \
    return FieldKind::kind;
    QL_CCTENCABEZADO_PROPERTIES(QL_KIND_CASE)
#undef QL_KIND_CASE
  }
  return FieldKind::TEXT;
}

void copy_field(QuoteShape& from, QuoteShape& to, H f) {
  switch (kind_of(f)) {
    case FieldKind::TEXT:
      to.set_text(f, from.text(f));
      break;
    case FieldKind::NUM:
      to.set_number(f, from.number(f));
      break;
    case FieldKind::DATE:
      to.set_date(f, from.date(f));
      break;
  }
}

// The one header assignment of both shapes: `quote` is the quote's header in the shape of the
// setter, `given` the client's header in the same shape.
void assign_header(QuoteShape& quote, QuoteShape& given, std::string& m_Servidor_Sucursal,
                   bool& m_Maneja_Tallas, bool& m_Maneja_Colores) {
  if (!quote.text(H::Ct_Folio).empty()) return;
  Publico& p = publico();

  m_Servidor_Sucursal =
      p.gDatos->Obtener_Campo("Sucursal", "Sc_Cve_Sucursal", given.text(H::Sc_Cve_Sucursal),
                              "Sc_Servidor_Id", 0, "", "", "");
  for (H f : kCopiedFields) copy_field(given, quote, f);

  // The flags follow the branch and warehouse just copied.
  const std::string branch = quote.text(H::Sc_Cve_Sucursal);
  const std::string warehouse = quote.text(H::Al_Cve_Almacen);
  m_Maneja_Tallas = p.gInventario->Maneja_Tallas(branch, warehouse);
  m_Maneja_Colores = p.gInventario->Maneja_Colores(branch, warehouse);

  copy_field(given, quote, H::Ct_Descuento_Global_Factor);
}

}  // namespace

void Cotizacion::put_Encabezado(const tCtEncabezado& value) {
  tCtEncabezado given_header = value;
  tCtDetalle no_line;
  RecordShape given(given_header, no_line);
  RecordShape quote(m_Encabezado, m_Detalle);
  assign_header(quote, given, m_Servidor_Sucursal, m_Maneja_Tallas, m_Maneja_Colores);
}

// The quote keeps its own header object and copies into it; the client's object is only read.
void Cotizacion::putref_Encabezado2(_cCtEncabezado* value) {
  require_object(value, "cCtEncabezado");
  Ref<_cCtEncabezado> given_header(value);
  Ref<_cCtDetalle> no_line;
  ObjectShape given(given_header, no_line);
  ObjectShape quote(m_Encabezado2, m_Detalle2);
  assign_header(quote, given, m_Servidor_Sucursal, m_Maneja_Tallas, m_Maneja_Colores);
}

}  // namespace quorlane
