// Detail assignment: the Detalle and Detalle2 setters. A line given by the client becomes the
// quote's current line once it is completed from the product catalogue, its quantity converted
// to the first control unit, costed, taxed and its amounts calculated by the data service. The
// two fields only the component fills are refused through the message service; any later
// failure is sent through it too, and the client never sees a failure of these setters.
#include <cmath>
#include <functional>

#include "frame/publico.h"
#include "model/assignment.h"
#include "model/cotizacion.h"
#include "model/shape.h"

namespace quorlane {

namespace {

// The product columns read for a line, in the order they are looked up, and where each goes.
struct ProductLookup {
  const char* column;
  D target;
};
constexpr ProductLookup kProductLookups[] = {
    {"Pr_Tipo_Producto", D::Pr_Tipo_Producto},
    {"Pr_Tipo_Costeo", D::Pr_Tipo_Costeo},
    {"Pr_Unidad_Control_1", D::Ct_Unidad_Control_1},
    {"Pr_Unidad_Control_2", D::Ct_Unidad_Control_2},
    {"Pr_Unidad_Costo", D::Ct_Unidad_Costo},
};

// A product of two 64-bit floats; one that overflows or is no number is a failure.
double multiply(double a, double b) {
  double r = a * b;
  if (std::isinf(r) || std::isnan(r)) throw Failure(kOverflow);
  return r;
}

// The quote's flags and tax service, which the line reads (and in the object shape rewrites).
struct LineContext {
  bool& m_Maneja_Tallas;
  bool& m_Maneja_Colores;
  cImpuestos& m_Impuestos;
};

// The amounts of the calculation after the quantity, in its order, each with the part of the
// quote it lives in: the line, or the header for the global discount.
#define QL_PRICED_AMOUNTS(X)         \
  X(D, Ct_Precio_Lista)              \
  X(D, Ct_Precio_Lista_Importe)      \
  X(D, Ct_Descuento_Factor)          \
  X(D, Ct_Descuento_Importe)         \
  X(D, Ct_Precio_Descontado)         \
  X(D, Ct_Precio_Descontado_Importe) \
  X(H, Ct_Descuento_Global_Factor)   \
  X(H, Ct_Descuento_Global_Importe)  \
  X(D, Ct_Impuesto_Factor)           \
  X(D, Ct_Impuesto_Importe)          \
  X(D, Ct_Precio_Neto)               \
  X(D, Ct_Precio_Neto_Importe)

tImportes read_amounts(QuoteShape& q) {
  tImportes a;
  a.Ct_Cantidad_1 = q.number(D::Ct_Cantidad_1);
#define QL_READ_AMOUNT(part, name) a.name = q.number(part::name);
  QL_PRICED_AMOUNTS(QL_READ_AMOUNT)
#undef QL_READ_AMOUNT
  return a;
}

// The calculated amounts go back into the line and the global discount into the header of the
// same shape, in this order; the quantity only where the twin takes it back.
void write_amounts(QuoteShape& q, const tImportes& a) {
  if (q.twin.amounts_set_quantity) q.set_number(D::Ct_Cantidad_1, a.Ct_Cantidad_1);
#define QL_WRITE_AMOUNT(part, name) q.set_number(part::name, a.name);
  QL_PRICED_AMOUNTS(QL_WRITE_AMOUNT)
#undef QL_WRITE_AMOUNT
}

#undef QL_PRICED_AMOUNTS

// Completes the quote's current line in place; every host failure propagates.
void complete_line(QuoteShape& q, LineContext& ctx) {
  const TwinInfo& twin = q.twin;
  Publico& p = publico();

  // The stock of an object line comes from its own branch and warehouse, the header's when the
  // client names none.
  if (twin.line_stock_location) {
    if (q.text(D::Ct_Sucursal_Inventario).empty())
      q.set_text(D::Ct_Sucursal_Inventario, q.text(H::Sc_Cve_Sucursal));
    if (q.text(D::Ct_Almacen_Inventario).empty())
      q.set_text(D::Ct_Almacen_Inventario, q.text(H::Al_Cve_Almacen));
  }

  // Sizes and colours by the flags as they stand now, before this line may change them.
  if (!ctx.m_Maneja_Tallas) q.set_text(D::Tl_Cve_Talla, "00");
  if (!ctx.m_Maneja_Colores) q.set_text(D::Cl_Cve_Color, "00");

  for (const ProductLookup& lookup : kProductLookups) {
    q.set_text(lookup.target,
               p.gDatos->Obtener_Campo("Producto", "Pr_Cve_Producto", q.text(D::Pr_Cve_Producto),
                                       lookup.column, 0, "", "", ""));
  }

  // The quantity in the first control unit; the units are compared exactly, letter case too.
  const std::string unit = q.text(D::Ct_Unidad_1);
  const std::string control_unit = q.text(D::Ct_Unidad_Control_1);
  if (unit == control_unit) {
    q.set_number(D::Ct_Cantidad_Control_1, q.number(D::Ct_Cantidad_1));
  } else {
    double factor = p.gDatos->Factor_Conversion(q.text(D::Pr_Cve_Producto), unit, control_unit);
    q.set_number(D::Ct_Cantidad_Control_1, multiply(factor, q.number(D::Ct_Cantidad_1)));
  }
  q.set_number(D::Ct_Cantidad_Costo, q.number(D::Ct_Cantidad_Control_1));

  const std::string branch =
      twin.line_stock_location ? q.text(D::Ct_Sucursal_Inventario) : q.text(H::Sc_Cve_Sucursal);
  const std::string warehouse =
      twin.line_stock_location ? q.text(D::Ct_Almacen_Inventario) : q.text(H::Al_Cve_Almacen);
  q.set_number(D::Ct_Costo,
               p.gInventario->Obtener_Costo(branch, warehouse, q.text(D::Pr_Cve_Producto),
                                            q.text(D::Tl_Cve_Talla), q.text(D::Cl_Cve_Color),
                                            q.number(D::Ct_Cantidad_Costo), ""));
  q.set_number(D::Ct_Costo_Importe,
               multiply(q.number(D::Ct_Cantidad_Costo), q.number(D::Ct_Costo)));

  // These flags serve the admission of this line and the next assignment.
  if (twin.recomputes_flags) {
    ctx.m_Maneja_Tallas = p.gInventario->Maneja_Tallas(branch, warehouse);
    ctx.m_Maneja_Colores = p.gInventario->Maneja_Colores(branch, warehouse);
  }

  q.set_number(D::Ct_Impuesto_Factor, ctx.m_Impuestos.Factor_Impuesto(q.text(H::Sc_Cve_Sucursal),
                                                                      q.text(H::Cl_Cve_Cliente),
                                                                      q.text(D::Pr_Cve_Producto)));

  tImportes amounts = read_amounts(q);
  if (twin.amounts_with_fee) {
    double fee = q.number(D::Ct_Cuota);
    p.gDatos->Calcular_Importes_Cuota(amounts, p.gTipo_Calculo_Importes, fee);
  } else {
    p.gDatos->Calcular_Importes(amounts, p.gTipo_Calculo_Importes);
  }
  write_amounts(q, amounts);
}

// The one detail assignment of both shapes: `given` is the client's line, `quote` the quote's
// header and line in the same shape, and `adopt` makes the given line the quote's line (a copy
// of the record, or the client's own object).
void assign_detail(QuoteShape& quote, QuoteShape& given, const std::function<void()>& adopt,
                   LineContext ctx) {
  const SetterInfo& setter = *quote.twin.setter;
  if (given.number(D::Ct_Cantidad_Control_1) != 0) {
    send_setter_message(setter, setter.id_read_only_quantity, kReadOnlyQuantityMessage);
    return;
  }
  if (!given.text(D::Ct_Unidad_Costo).empty()) {
    send_setter_message(setter, setter.id_read_only_cost_unit, kReadOnlyCostUnitMessage);
    return;
  }
  with_setter_exit(setter, [&] {
    adopt();
    complete_line(quote, ctx);
  });
}

}  // namespace

void Cotizacion::put_Detalle(const tCtDetalle& value) {
  tCtDetalle given_line = value;
  tCtEncabezado no_header;
  RecordShape given(no_header, given_line);
  RecordShape quote(m_Encabezado, m_Detalle);
  assign_detail(
      quote, given, [&] { m_Detalle = given_line; },
      LineContext{m_Maneja_Tallas, m_Maneja_Colores, *m_Impuestos});
}

// The quote keeps the client's object and completes it in place.
void Cotizacion::putref_Detalle2(_cCtDetalle* value) {
  require_object(value, "cCtDetalle");
  Ref<_cCtDetalle> given_line(value);
  Ref<_cCtEncabezado> no_header;
  ObjectShape given(no_header, given_line);
  ObjectShape quote(m_Encabezado2, m_Detalle2);
  assign_detail(
      quote, given, [&] { m_Detalle2 = given_line; },
      LineContext{m_Maneja_Tallas, m_Maneja_Colores, *m_Impuestos});
}

}  // namespace quorlane
