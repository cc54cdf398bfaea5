// Header and line values written into either shape of a quote: a complete header and line that
// the catalogue of LineTest accepts, and any other values a test writes over them.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <variant>

#include "model/cotizacion.h"
#include "model/shape.h"
#include "support/cotizacion_access.h"

namespace quorlane::test {

// Line fields and their values (a text or a number), written in the order given.
using LineValues = std::initializer_list<std::pair<D, std::variant<const char*, double>>>;

inline void set_line(QuoteShape& s, LineValues values) {
  for (const auto& [field, value] : values) {
    if (const double* n = std::get_if<double>(&value))
      s.set_number(field, *n);
    else
      s.set_text(field, std::get<const char*>(value));
  }
}

// A header that every check of a new quote accepts (with the default LineTest catalogue).
inline void fill_header(QuoteShape& s) {
  s.set_date(H::Ct_Fecha, make_date(2026, 12, 1));
  s.set_text(H::Ct_Documento, "PED-7");
  s.set_text(H::Ct_Comentario, "Entrega a O'Brien");
  s.set_text(H::Ct_Atencion, "Ana");
  s.set_text(H::Mn_Cve_Moneda, "MXN");
  s.set_number(H::Ct_Tipo_Cambio, 17.25);
  s.set_text(H::Ct_Descuento_Global_Cuenta_Contable, "4100");
  s.set_number(H::Ct_Descuento_Global_Factor, 0.1);
  s.set_number(H::Ct_Descuento_Global_Importe, 4);
  s.set_text(H::Sc_Cve_Sucursal, "S01");
  s.set_text(H::Al_Cve_Almacen, "A01");
  s.set_text(H::Cl_Cve_Cliente, "C001");
  s.set_text(H::Vn_Cve_Vendedor, "V01");
}

// A line of 2 pieces of P001 that every line check accepts.
inline void fill_line(QuoteShape& s) {
  // clang-format off
  set_line(s, {{D::Ct_Partida, "1"}, {D::Ct_Partida_Descripcion, "Camisas"},
               {D::Pr_Cve_Producto, "P001"}, {D::Ct_Cantidad_1, 2.0}, {D::Ct_Unidad_1, "PZA"},
               {D::Ct_Cantidad_Control_1, 2.0}, {D::Ct_Unidad_Control_1, "PZA"},
               {D::Ct_Cantidad_Control_2, 2.0}, {D::Ct_Unidad_Control_2, "PZA"},
               {D::Ct_Cantidad_Costo, 2.0}, {D::Ct_Unidad_Costo, "PZA"}, {D::Ct_Costo, 10.0},
               {D::Ct_Costo_Importe, 20.0}, {D::Ct_Precio_Lista, 15.0},
               {D::Ct_Precio_Lista_Importe, 30.0}, {D::Ct_Precio_Descontado, 15.0},
               {D::Ct_Precio_Descontado_Importe, 30.0}, {D::Ct_Impuesto_Factor, 0.16},
               {D::Ct_Impuesto_Importe, 4.8}, {D::Ct_Precio_Neto, 17.4},
               {D::Ct_Precio_Neto_Importe, 34.8}, {D::Ct_Concepto, "Camisa azul"},
               {D::Ct_Sucursal_Inventario, "S01"}, {D::Ct_Almacen_Inventario, "A01"}});
  // clang-format on
}

}  // namespace quorlane::test
