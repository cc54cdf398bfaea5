// The Encabezado and Encabezado2 setters.
#include <gtest/gtest.h>

#include "model/cotizacion.h"
#include "model/model_support.h"
#include "support/cotizacion_access.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using Access = CotizacionTestAccess;
using Calls = std::vector<std::string>;

// The server and flag look-ups of a header assignment. The fixture's branches of tag 1 manage
// sizes and their warehouses colours; those of other tags neither.
Calls lookups(const std::string& branch, const std::string& warehouse, const char* flags) {
  return {"cDatos.Obtener_Campo(\"Sucursal\", \"Sc_Cve_Sucursal\", \"" + branch +
              "\", \"Sc_Servidor_Id\", 0, \"\", \"\", \"\") -> \"SRV-" + branch + "\"",
          "cInventario.Maneja_Tallas(\"" + branch + "\", \"" + warehouse + "\") -> " + flags,
          "cInventario.Maneja_Colores(\"" + branch + "\", \"" + warehouse + "\") -> " + flags};
}

class HeaderAssignment : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->on("cDatos", "Obtener_Campo",
             [](std::vector<Variant>& a) { return Variant("SRV-" + a[2].to_text()); });
    host->on("cInventario", "Maneja_Tallas",
             [](std::vector<Variant>& a) { return Variant(a[0].to_text().ends_with("_1")); });
    host->on("cInventario", "Maneja_Colores",
             [](std::vector<Variant>& a) { return Variant(a[1].to_text().ends_with("_1")); });
    quote = create_Cotizacion();
    take_calls();
  }
  void expect_server_and_flags(const std::string& server, bool flags) {
    EXPECT_EQ(Access::m_Servidor_Sucursal(*quote), server);
    EXPECT_EQ(Access::m_Maneja_Tallas(*quote), flags);
    EXPECT_EQ(Access::m_Maneja_Colores(*quote), flags);
  }
  Ref<_Cotizacion> quote;
};

TEST_F(HeaderAssignment, EachShapeCopiesTheTravellingFieldsIntoTheQuotesOwnHeader) {
  tCtEncabezado before = filled<tCtEncabezado>(0);
  before.Ct_Folio = "";
  Access::m_Encabezado(*quote) = before;
  const tCtEncabezado given = filled<tCtEncabezado>(1);

  quote->put_Encabezado(given);

  EXPECT_EQ(take_calls(),
            lookups("Sucursal.Sc_Cve_Sucursal_1", "Almacen.Al_Cve_Almacen_1", "True"));
  // The folio, the global discount amount and ledger account, the zone and all else in the
  // nested records keep the quote's own values.
  tCtEncabezado expected = before;
  expected.Ct_Fecha = given.Ct_Fecha;
  expected.Ct_Comentario = given.Ct_Comentario;
  expected.Ct_Referencia = given.Ct_Referencia;
  expected.Ct_Tabla = given.Ct_Tabla;
  expected.Ct_Documento = given.Ct_Documento;
  expected.Ct_Atencion = given.Ct_Atencion;
  expected.Mn_Cve_Moneda = given.Mn_Cve_Moneda;
  expected.Ct_Tipo_Cambio = given.Ct_Tipo_Cambio;
  expected.Sucursal.Sc_Cve_Sucursal = given.Sucursal.Sc_Cve_Sucursal;
  expected.Almacen.Al_Cve_Almacen = given.Almacen.Al_Cve_Almacen;
  expected.Vendedor.Vn_Cve_Vendedor = given.Vendedor.Vn_Cve_Vendedor;
  expected.Cliente.Cl_Cve_Cliente = given.Cliente.Cl_Cve_Cliente;
  expected.Ct_Condicion_Venta = given.Ct_Condicion_Venta;
  expected.Ct_Descuento_Global_Factor = given.Ct_Descuento_Global_Factor;
  EXPECT_EQ(quote->get_Encabezado(), expected);
  expect_server_and_flags("SRV-Sucursal.Sc_Cve_Sucursal_1", true);
  EXPECT_EQ(quote->get_Encabezado2()->get_Sc_Cve_Sucursal(), "");

  // The object shape: the quote copies into its own object and only reads the client's.
  Ref<_cCtEncabezado> own = quote->get_Encabezado2();
  fill(*own, 0);
  own->put_Ct_Folio("");
  Properties object_expected = properties(*own);
  Ref<_cCtEncabezado> object_given = filled_header_object(2);
  const Properties given_properties = properties(*object_given);
  take_calls();

  quote->putref_Encabezado2(object_given.get());

  EXPECT_EQ(take_calls(), lookups("Sc_Cve_Sucursal_2", "Al_Cve_Almacen_2", "False"));
  for (const char* name :
       {"Ct_Fecha", "Ct_Comentario", "Ct_Referencia", "Ct_Tabla", "Ct_Documento", "Ct_Atencion",
        "Mn_Cve_Moneda", "Ct_Tipo_Cambio", "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Vn_Cve_Vendedor",
        "Cl_Cve_Cliente", "Ct_Condicion_Venta", "Ct_Descuento_Global_Factor"})
    object_expected[name] = given_properties.at(name);
  EXPECT_TRUE(quote->get_Encabezado2() == own);
  EXPECT_EQ(properties(*own), object_expected);
  EXPECT_EQ(properties(*object_given), given_properties);
  expect_server_and_flags("SRV-Sc_Cve_Sucursal_2", false);
  EXPECT_EQ(quote->get_Encabezado(), expected);  // the record shape is left alone
}

TEST_F(HeaderAssignment, AFixedHeaderChangesNothingAndCallsNothing) {
  quote->put_Encabezado(filled<tCtEncabezado>(1));
  quote->putref_Encabezado2(filled_header_object(1).get());
  quote->put_Folio("F-REC");
  quote->put_Folio2("F-OBJ");
  const tCtEncabezado record = quote->get_Encabezado();
  const Properties object = properties(*quote->get_Encabezado2());
  take_calls();

  quote->put_Encabezado(filled<tCtEncabezado>(2));
  quote->putref_Encabezado2(filled_header_object(2).get());

  EXPECT_TRUE(take_calls().empty());
  EXPECT_EQ(quote->get_Encabezado(), record);
  EXPECT_EQ(properties(*quote->get_Encabezado2()), object);
  expect_server_and_flags("SRV-Sc_Cve_Sucursal_1", true);
}

TEST_F(HeaderAssignment, FailuresReachTheClientAndKeepTheEarlierSteps) {
  const tCtEncabezado first = filled<tCtEncabezado>(1);  // both flags True
  quote->put_Encabezado(first);
  const tCtEncabezado second = filled<tCtEncabezado>(2);
  boundary->fail("cInventario", "Maneja_Tallas", 1, "Inventario fuera de línea");

  EXPECT_EQ(failure_of([&] { quote->put_Encabezado(second); }), "Inventario fuera de línea");
  tCtEncabezado h = quote->get_Encabezado();
  EXPECT_EQ(h.Sucursal.Sc_Cve_Sucursal, second.Sucursal.Sc_Cve_Sucursal);
  EXPECT_EQ(h.Ct_Condicion_Venta, second.Ct_Condicion_Venta);
  EXPECT_EQ(h.Ct_Descuento_Global_Factor, first.Ct_Descuento_Global_Factor);  // after the flags
  expect_server_and_flags("SRV-Sucursal.Sc_Cve_Sucursal_2", true);

  // A failing server look-up stops before anything is copied.
  boundary->fail("cDatos", "Obtener_Campo", 1, "Sin conexión");
  EXPECT_EQ(failure_of([&] { quote->putref_Encabezado2(filled_header_object(2).get()); }),
            "Sin conexión");
  EXPECT_EQ(quote->get_Encabezado2()->get_Sc_Cve_Sucursal(), "");
  EXPECT_EQ(Access::m_Servidor_Sucursal(*quote), "SRV-Sucursal.Sc_Cve_Sucursal_2");

  // Nothing given to an object setter fails clearly, before any host call.
  Ref<_cCtDetalle> line = quote->get_Detalle2();
  take_calls();
  EXPECT_EQ(failure_of([&] { quote->putref_Encabezado2(nullptr); }),
            "Se esperaba un objeto cCtEncabezado y se recibió Nothing");
  EXPECT_EQ(failure_of([&] { quote->putref_Detalle2(nullptr); }),
            "Se esperaba un objeto cCtDetalle y se recibió Nothing");
  EXPECT_TRUE(take_calls().empty());
  EXPECT_TRUE(quote->get_Detalle2() == line);
}

}  // namespace
}  // namespace quorlane::test
