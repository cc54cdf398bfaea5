// The Encabezado and Encabezado2 setters.
#include "model/cotizacion.h"
#include "support/cotizacion_access.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using State = CotizacionTestAccess;

tCtEncabezado full_header(const std::string& tag) {
  tCtEncabezado h;
  h.Ct_Folio = "FOLIO-" + tag;
  h.Ct_Fecha = make_date(2026, 3, 14);
  h.Ct_Tabla = "Pedido" + tag;
  h.Ct_Documento = "D" + tag;
  h.Ct_Referencia = "R" + tag;
  h.Ct_Atencion = "Atn" + tag;
  h.Ct_Comentario = "Com" + tag;
  h.Ct_Condicion_Venta = "CV" + tag;
  h.Mn_Cve_Moneda = "MXN" + tag;
  h.Ct_Tipo_Cambio = 17.25;
  h.Ct_Descuento_Global_Cuenta_Contable = "CTA" + tag;
  h.Ct_Descuento_Global_Factor = 0.05;
  h.Ct_Descuento_Global_Importe = 123.0;
  h.Zona.Zn_Cve_Zona = "Z" + tag;
  h.Sucursal.Sc_Cve_Sucursal = "S" + tag;
  h.Sucursal.Sc_Centro_Costo = "SCC" + tag;
  h.Almacen.Sc_Cve_Sucursal = "AS" + tag;
  h.Almacen.Al_Cve_Almacen = "A" + tag;
  h.Cliente.Cl_Cve_Cliente = "C" + tag;
  h.Cliente.Cl_Limite_Credito = 5000;
  h.Vendedor.Vn_Cve_Vendedor = "V" + tag;
  h.Vendedor.Vn_Cuenta_Contable = "VCC" + tag;
  return h;
}

Ref<_cCtEncabezado> full_header_object(const std::string& tag) {
  Ref<_cCtEncabezado> o = cCtEncabezado::create();
  tCtEncabezado h = full_header(tag);
  o->put_Ct_Folio(h.Ct_Folio);
  o->put_Ct_Fecha(h.Ct_Fecha);
  o->put_Ct_Tabla(h.Ct_Tabla);
  o->put_Ct_Documento(h.Ct_Documento);
  o->put_Ct_Referencia(h.Ct_Referencia);
  o->put_Ct_Atencion(h.Ct_Atencion);
  o->put_Ct_Comentario(h.Ct_Comentario);
  o->put_Ct_Condicion_Venta(h.Ct_Condicion_Venta);
  o->put_Mn_Cve_Moneda(h.Mn_Cve_Moneda);
  o->put_Ct_Tipo_Cambio(h.Ct_Tipo_Cambio);
  o->put_Ct_Descuento_Global_Cuenta_Contable(h.Ct_Descuento_Global_Cuenta_Contable);
  o->put_Ct_Descuento_Global_Factor(h.Ct_Descuento_Global_Factor);
  o->put_Ct_Descuento_Global_Importe(h.Ct_Descuento_Global_Importe);
  o->put_Zn_Cve_Zona(h.Zona.Zn_Cve_Zona);
  o->put_Sc_Cve_Sucursal(h.Sucursal.Sc_Cve_Sucursal);
  o->put_Al_Cve_Almacen(h.Almacen.Al_Cve_Almacen);
  o->put_Cl_Cve_Cliente(h.Cliente.Cl_Cve_Cliente);
  o->put_Vn_Cve_Vendedor(h.Vendedor.Vn_Cve_Vendedor);
  return o;
}

class HeaderAssignment : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->on("cDatos", "Obtener_Campo",
             [](std::vector<Variant>& a) { return Variant("SRV-" + a[2].to_text()); });
    host->on("cInventario", "Maneja_Tallas",
             [](std::vector<Variant>& a) { return Variant(a[0].to_text() == "S1"); });
    host->on("cInventario", "Maneja_Colores",
             [](std::vector<Variant>& a) { return Variant(a[1].to_text() == "A1"); });
    quote = Cotizacion::create();
    take_calls();
  }
  Ref<Cotizacion> quote;
};

TEST_F(HeaderAssignment, RecordCopiesTheUsedFieldsAndAsksForServerAndFlags) {
  tCtEncabezado& mine = State::m_Encabezado(*quote);
  mine.Ct_Descuento_Global_Importe = 9.5;
  mine.Ct_Descuento_Global_Cuenta_Contable = "CTA-OLD";
  mine.Zona.Zn_Cve_Zona = "Z-OLD";
  mine.Sucursal.Sc_Centro_Costo = "SCC-OLD";

  quote->put_Encabezado(full_header("1"));

  EXPECT_EQ(
      take_calls(),
      (std::vector<std::string>{
          R"(cDatos.Obtener_Campo("Sucursal", "Sc_Cve_Sucursal", "S1", "Sc_Servidor_Id", 0, "", "", "") -> "SRV-S1")",
          R"(cInventario.Maneja_Tallas("S1", "A1") -> True)",
          R"(cInventario.Maneja_Colores("S1", "A1") -> True)"}));
  tCtEncabezado h = quote->get_Encabezado();
  EXPECT_EQ(h.Ct_Fecha, make_date(2026, 3, 14));
  EXPECT_EQ(h.Ct_Comentario, "Com1");
  EXPECT_EQ(h.Ct_Referencia, "R1");
  EXPECT_EQ(h.Ct_Tabla, "Pedido1");
  EXPECT_EQ(h.Ct_Documento, "D1");
  EXPECT_EQ(h.Ct_Atencion, "Atn1");
  EXPECT_EQ(h.Mn_Cve_Moneda, "MXN1");
  EXPECT_EQ(h.Ct_Tipo_Cambio, 17.25);
  EXPECT_EQ(h.Sucursal.Sc_Cve_Sucursal, "S1");
  EXPECT_EQ(h.Almacen.Al_Cve_Almacen, "A1");
  EXPECT_EQ(h.Vendedor.Vn_Cve_Vendedor, "V1");
  EXPECT_EQ(h.Cliente.Cl_Cve_Cliente, "C1");
  EXPECT_EQ(h.Ct_Condicion_Venta, "CV1");
  EXPECT_EQ(h.Ct_Descuento_Global_Factor, 0.05);
  // What never travels keeps the quote's own value.
  EXPECT_EQ(h.Ct_Folio, "");
  EXPECT_EQ(h.Ct_Descuento_Global_Importe, 9.5);
  EXPECT_EQ(h.Ct_Descuento_Global_Cuenta_Contable, "CTA-OLD");
  EXPECT_EQ(h.Zona.Zn_Cve_Zona, "Z-OLD");
  EXPECT_EQ(h.Sucursal.Sc_Centro_Costo, "SCC-OLD");
  EXPECT_EQ(h.Almacen.Sc_Cve_Sucursal, "");
  EXPECT_EQ(h.Cliente.Cl_Limite_Credito, 0);
  EXPECT_EQ(h.Vendedor.Vn_Cuenta_Contable, "");
  EXPECT_EQ(State::m_Servidor_Sucursal(*quote), "SRV-S1");
  EXPECT_TRUE(State::m_Maneja_Tallas(*quote));
  EXPECT_TRUE(State::m_Maneja_Colores(*quote));
  // The object shape is left alone.
  EXPECT_EQ(quote->get_Encabezado2()->get_Sc_Cve_Sucursal(), "");
  EXPECT_EQ(quote->get_Folio2(), "");
}

TEST_F(HeaderAssignment, ObjectCopiesIntoTheQuotesOwnObject) {
  Ref<_cCtEncabezado> own = quote->get_Encabezado2();
  own->put_Ct_Descuento_Global_Importe(9.5);
  own->put_Zn_Cve_Zona("Z-OLD");
  Ref<_cCtEncabezado> given = full_header_object("1");

  quote->putref_Encabezado2(given.get());

  EXPECT_EQ(
      take_calls(),
      (std::vector<std::string>{
          R"(cDatos.Obtener_Campo("Sucursal", "Sc_Cve_Sucursal", "S1", "Sc_Servidor_Id", 0, "", "", "") -> "SRV-S1")",
          R"(cInventario.Maneja_Tallas("S1", "A1") -> True)",
          R"(cInventario.Maneja_Colores("S1", "A1") -> True)"}));
  Ref<_cCtEncabezado> h = quote->get_Encabezado2();
  EXPECT_TRUE(h == own);
  EXPECT_FALSE(h == given);
  EXPECT_EQ(h->get_Ct_Fecha(), make_date(2026, 3, 14));
  EXPECT_EQ(h->get_Ct_Comentario(), "Com1");
  EXPECT_EQ(h->get_Ct_Tabla(), "Pedido1");
  EXPECT_EQ(h->get_Ct_Tipo_Cambio(), 17.25);
  EXPECT_EQ(h->get_Sc_Cve_Sucursal(), "S1");
  EXPECT_EQ(h->get_Al_Cve_Almacen(), "A1");
  EXPECT_EQ(h->get_Vn_Cve_Vendedor(), "V1");
  EXPECT_EQ(h->get_Cl_Cve_Cliente(), "C1");
  EXPECT_EQ(h->get_Ct_Condicion_Venta(), "CV1");
  EXPECT_EQ(h->get_Ct_Descuento_Global_Factor(), 0.05);
  EXPECT_EQ(h->get_Ct_Folio(), "");
  EXPECT_EQ(h->get_Ct_Descuento_Global_Importe(), 9.5);
  EXPECT_EQ(h->get_Ct_Descuento_Global_Cuenta_Contable(), "");
  EXPECT_EQ(h->get_Zn_Cve_Zona(), "Z-OLD");
  EXPECT_EQ(State::m_Servidor_Sucursal(*quote), "SRV-S1");
  // The record shape is left alone.
  EXPECT_EQ(quote->get_Encabezado().Sucursal.Sc_Cve_Sucursal, "");
  EXPECT_EQ(quote->get_Folio(), "");
}

TEST_F(HeaderAssignment, AFixedHeaderChangesNothingAndCallsNothing) {
  quote->put_Encabezado(full_header("1"));
  quote->putref_Encabezado2(full_header_object("1").get());
  take_calls();
  tCtEncabezado before = quote->get_Encabezado();

  quote->put_Folio("F-REC");
  quote->put_Encabezado(full_header("2"));
  quote->put_Folio2("F-OBJ");
  quote->putref_Encabezado2(full_header_object("2").get());

  EXPECT_TRUE(take_calls().empty());
  before.Ct_Folio = "F-REC";
  EXPECT_EQ(quote->get_Encabezado(), before);
  EXPECT_EQ(quote->get_Encabezado2()->get_Sc_Cve_Sucursal(), "S1");
  EXPECT_EQ(quote->get_Encabezado2()->get_Ct_Comentario(), "Com1");
  EXPECT_EQ(State::m_Servidor_Sucursal(*quote), "SRV-S1");
  EXPECT_TRUE(State::m_Maneja_Tallas(*quote));
  EXPECT_TRUE(State::m_Maneja_Colores(*quote));
}

TEST_F(HeaderAssignment, TheSecondAssignmentWins) {
  quote->put_Encabezado(full_header("1"));
  quote->put_Encabezado(full_header("2"));

  tCtEncabezado h = quote->get_Encabezado();
  EXPECT_EQ(h.Sucursal.Sc_Cve_Sucursal, "S2");
  EXPECT_EQ(h.Ct_Comentario, "Com2");
  EXPECT_EQ(h.Ct_Folio, "");
  EXPECT_EQ(State::m_Servidor_Sucursal(*quote), "SRV-S2");
  EXPECT_FALSE(State::m_Maneja_Tallas(*quote));
  EXPECT_FALSE(State::m_Maneja_Colores(*quote));
}

TEST_F(HeaderAssignment, AHostFailureReachesTheClientAndKeepsTheEarlierSteps) {
  quote->put_Encabezado(full_header("1"));  // both flags True
  tCtEncabezado second = full_header("2");
  second.Ct_Descuento_Global_Factor = 0.25;
  boundary->fail("cInventario", "Maneja_Tallas", 1, "Inventario fuera de línea");

  try {
    quote->put_Encabezado(second);
    FAIL() << "the failure did not reach the client";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.what(), "Inventario fuera de línea");
  }
  tCtEncabezado h = quote->get_Encabezado();
  EXPECT_EQ(h.Sucursal.Sc_Cve_Sucursal, "S2");
  EXPECT_EQ(h.Ct_Condicion_Venta, "CV2");
  EXPECT_EQ(h.Ct_Descuento_Global_Factor, 0.05);  // field 14 comes after the flags
  EXPECT_EQ(State::m_Servidor_Sucursal(*quote), "SRV-S2");
  EXPECT_TRUE(State::m_Maneja_Tallas(*quote));
  EXPECT_TRUE(State::m_Maneja_Colores(*quote));

  // A failing server look-up stops before anything is copied.
  Ref<_cCtEncabezado> given = full_header_object("2");
  boundary->fail("cDatos", "Obtener_Campo", 1, "Sin conexión");
  EXPECT_THROW(quote->putref_Encabezado2(given.get()), Failure);
  EXPECT_EQ(quote->get_Encabezado2()->get_Sc_Cve_Sucursal(), "");
  EXPECT_EQ(State::m_Servidor_Sucursal(*quote), "SRV-S2");
}

TEST_F(HeaderAssignment, NothingGivenToTheObjectSetterFailsClearly) {
  try {
    quote->putref_Encabezado2(nullptr);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.what(), "Se esperaba un objeto cCtEncabezado y se recibió Nothing");
  }
  EXPECT_TRUE(take_calls().empty());
}

}  // namespace
}  // namespace quorlane::test
