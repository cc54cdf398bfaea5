// Nuevo. (Where Folio and Folio2 live, and that the header object is the quote's own, is shown
// by the record and object quote scripts.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/model_support.h"
#include "support/cotizacion_access.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using Access = CotizacionTestAccess;

class SimpleMembers : public QuoteTest {};

// A failing server date stops Nuevo after it has emptied the folio (it has no error exit); the
// next one, with the server back, empties the listed header fields and replaces both objects.
TEST_F(SimpleMembers, NuevoEmptiesTheListedHeaderFieldsAndReplacesBothObjects) {
  const tCtEncabezado before = filled<tCtEncabezado>(1);
  const tCtDetalle line = filled<tCtDetalle>(2);
  Access::m_Encabezado(*quote) = before;
  Access::m_Detalle(*quote) = line;
  Access::m_Error(*quote) = "error anterior";
  Access::m_Servidor_Sucursal(*quote) = "SRV9";
  Access::m_Maneja_Tallas(*quote) = true;
  Access::m_Maneja_Colores(*quote) = true;
  Access::m_Fecha_Texto(*quote) = "2026-01-01";
  Access::m_Partida(*quote) = 4;
  quote->put_Agregar_Promociones(true);
  quote->put_Folio2("CT-OBJ");
  Ref<_cCtEncabezado> old_header = quote->get_Encabezado2();
  Ref<_cCtDetalle> old_line = quote->get_Detalle2();
  old_line->put_Ct_Concepto("línea anterior");
  const long alive = live_object_count();
  boundary->fail("cDatos", "Fecha_Servidor", 1, "Se perdió la conexión");

  EXPECT_EQ(failure_of([&] { quote->Nuevo(); }), "Se perdió la conexión");
  tCtEncabezado expected = before;
  expected.Ct_Folio = "";
  EXPECT_EQ(quote->get_Encabezado(), expected);
  EXPECT_TRUE(quote->get_Agregar_Promociones());
  EXPECT_EQ(quote->get_Encabezado2(), old_header);
  EXPECT_EQ(quote->get_Detalle2(), old_line);
  take_calls();

  quote->Nuevo();

  EXPECT_EQ(take_calls(),
            (std::vector<std::string>{"cDatos.Fecha_Servidor() -> #2026-12-05 10:30:00#"}));
  expected.Ct_Fecha = make_date(2026, 12, 5, 10, 30, 0);
  expected.Sucursal.Sc_Cve_Sucursal = "";
  expected.Sucursal.Sc_Centro_Costo = "";
  expected.Sucursal.Sc_Cuenta_Contable = "";
  expected.Almacen.Sc_Cve_Sucursal = "";
  expected.Almacen.Al_Cve_Almacen = "";
  expected.Almacen.Al_Centro_Costo = "";
  expected.Almacen.Al_Cuenta_Contable = "";
  expected.Ct_Tabla = "";
  expected.Ct_Documento = "";
  expected.Ct_Referencia = "";
  expected.Ct_Comentario = "";
  expected.Cliente.Cl_Cve_Cliente = "";
  expected.Cliente.Cl_Centro_Costo = "";
  expected.Cliente.Cl_Cuenta_Contable = "";
  expected.Cliente.Cl_Cve_Maestro = "";
  EXPECT_EQ(quote->get_Encabezado(), expected);
  EXPECT_FALSE(quote->get_Agregar_Promociones());
  // The rest of the quote's state stays as it was.
  EXPECT_EQ(quote->get_Detalle(), line);
  EXPECT_EQ(quote->get_Error(), "error anterior");
  EXPECT_EQ(Access::m_Servidor_Sucursal(*quote), "SRV9");
  EXPECT_TRUE(Access::m_Maneja_Tallas(*quote));
  EXPECT_TRUE(Access::m_Maneja_Colores(*quote));
  EXPECT_EQ(Access::m_Fecha_Texto(*quote), "2026-01-01");
  EXPECT_EQ(Access::m_Partida(*quote), 4);

  // New, empty objects; the client's old ones live on, detached from the quote.
  EXPECT_NE(quote->get_Encabezado2(), old_header);
  EXPECT_NE(quote->get_Detalle2(), old_line);
  EXPECT_EQ(quote->get_Folio2(), "");
  EXPECT_EQ(quote->get_Detalle2()->get_Ct_Concepto(), "");
  quote->put_Folio2("CT-NUEVO");
  EXPECT_EQ(old_header->get_Ct_Folio(), "CT-OBJ");
  EXPECT_EQ(old_line->get_Ct_Concepto(), "línea anterior");
  EXPECT_EQ(live_object_count(), alive + 2);
  old_header = nullptr;
  old_line = nullptr;
  EXPECT_EQ(live_object_count(), alive);
  EXPECT_EQ(host->created("cImpuestos"), 1);  // the tax service stays the quote's own
}

}  // namespace
}  // namespace quorlane::test
