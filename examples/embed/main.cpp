// A client program that embeds Quorlane: it builds a one-line quote on the database that
// QUORLANE_DB names (the demonstration catalogue of 'quorlane init --demo'), finalises it and
// prints its folio.
#include <quorlane/quorlane.h>

#include <iostream>
#include <string>

int main() {
  using namespace quorlane;
  try {
    Ref<_Cotizacion> quote = create_Cotizacion();
    quote->Nuevo();  // the header's date is now the server's date

    tCtEncabezado header = quote->get_Encabezado();
    header.Mn_Cve_Moneda = "MXN";
    header.Ct_Tipo_Cambio = 1;
    header.Sucursal.Sc_Cve_Sucursal = "S1";
    header.Almacen.Al_Cve_Almacen = "A1";
    header.Cliente.Cl_Cve_Cliente = "C1";
    header.Vendedor.Vn_Cve_Vendedor = "V1";
    quote->put_Encabezado(header);

    tCtDetalle line;
    line.Ct_Partida = "1";
    line.Producto.Pr_Cve_Producto = "P1";
    line.Ct_Cantidad_1 = 100;
    line.Ct_Unidad_1 = "PZA";
    line.Ct_Precio_Lista = 2.5;
    quote->put_Detalle(line);
    if (!quote->Add_Cotizacion_Detalle()) {
      std::cerr << "line refused: " << quote->get_Error() << "\n";
      return 1;
    }

    std::string folio = quote->get_Folio();
    if (!quote->Finalizar_Cotizacion(folio)) {
      std::cerr << "not finalised: " << quote->get_Error() << "\n";
      return 1;
    }
    tCtDetalle stored = quote->get_Detalle();
    std::cout << "Quote " << folio << ": line " << stored.Ct_ID << ", net amount "
              << stored.Ct_Precio_Neto_Importe << "\n";
  } catch (const Failure& e) {
    std::cerr << "failure: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
