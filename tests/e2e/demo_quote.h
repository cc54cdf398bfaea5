// Headers and lines of quotes on the demonstration catalogue, for tests that drive the component
// end to end through its C++ interface on the standard host.
#pragma once

#include <string>

#include "quorlane/records.h"

namespace quorlane::test {

// A header of customer C1 and seller V1 in branch S1, cash sale in pesos.
inline tCtEncabezado demo_header(const std::string& warehouse = "A1") {
  tCtEncabezado h;
  h.Ct_Fecha = make_date(2026, 12, 5);
  h.Ct_Atencion = "Compras";
  h.Ct_Comentario = "Cotización de prueba";
  h.Ct_Condicion_Venta = "CON";
  h.Mn_Cve_Moneda = "MXN";
  h.Ct_Tipo_Cambio = 1;
  h.Sucursal.Sc_Cve_Sucursal = "S1";
  h.Almacen.Sc_Cve_Sucursal = "S1";
  h.Almacen.Al_Cve_Almacen = warehouse;
  h.Cliente.Cl_Cve_Cliente = "C1";
  h.Vendedor.Vn_Cve_Vendedor = "V1";
  return h;
}

inline tCtDetalle demo_line(const std::string& product, double quantity, const std::string& unit,
                            double price, const std::string& size = "",
                            const std::string& colour = "") {
  tCtDetalle d;
  d.Ct_Partida = "1";  // written bare into the row: never empty
  d.Producto.Pr_Cve_Producto = product;
  d.Ct_Cantidad_1 = quantity;
  d.Ct_Unidad_1 = unit;
  d.Ct_Precio_Lista = price;
  d.Tl_Cve_Talla = size;
  d.Cl_Cve_Color = colour;
  return d;
}

}  // namespace quorlane::test
