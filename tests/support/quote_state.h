// The values of a complete header and line
// that the catalogue of LineHost accepts, written into either shape.
#pragma once

#include <memory>
#include <string>

#include "model/cotizacion.h"
#include "model/shape.h"
#include "support/cotizacion_access.h"

namespace quorlane {
namespace test {

// A header that every check of a new quote accepts (with the default LineHost catalogue).
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
  s.set_text(D::Ct_Partida, "1");
  s.set_text(D::Ct_Partida_Descripcion, "Camisas");
  s.set_text(D::Pr_Cve_Producto, "P001");
  s.set_number(D::Ct_Cantidad_1, 2);
  s.set_text(D::Ct_Unidad_1, "PZA");
  s.set_number(D::Ct_Cantidad_Control_1, 2);
  s.set_text(D::Ct_Unidad_Control_1, "PZA");
  s.set_number(D::Ct_Cantidad_Control_2, 2);
  s.set_text(D::Ct_Unidad_Control_2, "PZA");
  s.set_number(D::Ct_Cantidad_Costo, 2);
  s.set_text(D::Ct_Unidad_Costo, "PZA");
  s.set_number(D::Ct_Costo, 10);
  s.set_number(D::Ct_Costo_Importe, 20);
  s.set_number(D::Ct_Precio_Lista, 15);
  s.set_number(D::Ct_Precio_Lista_Importe, 30);
  s.set_number(D::Ct_Precio_Descontado, 15);
  s.set_number(D::Ct_Precio_Descontado_Importe, 30);
  s.set_number(D::Ct_Impuesto_Factor, 0.16);
  s.set_number(D::Ct_Impuesto_Importe, 4.8);
  s.set_number(D::Ct_Precio_Neto, 17.4);
  s.set_number(D::Ct_Precio_Neto_Importe, 34.8);
  s.set_text(D::Ct_Concepto, "Camisa azul");
  s.set_text(D::Ct_Sucursal_Inventario, "S01");
  s.set_text(D::Ct_Almacen_Inventario, "A01");
}

}  // namespace test
}  // namespace quorlane
