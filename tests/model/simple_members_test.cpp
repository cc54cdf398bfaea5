// The quote's simple members and Nuevo.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorlane/interfaces.h"
#include "support/host_test.h"
#include "support/cotizacion_access.h"

namespace quorlane::test {
namespace {

using Access = CotizacionTestAccess;

// Fills every field of a record, nested records included, with a value of its own.
void fill(std::string& v, const char* name) { v = std::string("v_") + name; }
void fill(double& v, const char*) { v = 12.5; }
void fill(int16_t& v, const char*) { v = 7; }
void fill(Date& v, const char*) { v = make_date(2020, 1, 2); }
void fill(UserDef& v, const char* name) { v.data = std::string("ud_") + name; }
#define QL_FILL_DECLARE(type, LIST) void fill(type& r, const char*);
#define QL_FILL_FIELD(name, kind, type) fill(r.name, #name);
#define QL_FILL_DEFINE(type, LIST) \
  void fill(type& r, const char*) { LIST(QL_FILL_FIELD) }
#define QL_FILLED_RECORDS(X)                            \
  X(tCtZona, QL_TCTZONA_FIELDS)                         \
  X(tCtSucursal, QL_TCTSUCURSAL_FIELDS)                 \
  X(tCtAlmacen, QL_TCTALMACEN_FIELDS)                   \
  X(tCtVendedor, QL_TCTVENDEDOR_FIELDS)                 \
  X(tCtSegmento, QL_TCTSEGMENTO_FIELDS)                 \
  X(tCtRuta, QL_TCTRUTA_FIELDS)                         \
  X(tCtGrupo_Comercial, QL_TCTGRUPO_COMERCIAL_FIELDS)   \
  X(tCtCadena_Comercial, QL_TCTCADENA_COMERCIAL_FIELDS) \
  X(tCtCliente, QL_TCTCLIENTE_FIELDS)                   \
  X(tCtProveedor, QL_TCTPROVEEDOR_FIELDS)               \
  X(tCtProducto, QL_TCTPRODUCTO_FIELDS)                 \
  X(tCtEncabezado, QL_TCTENCABEZADO_FIELDS)             \
  X(tCtDetalle, QL_TCTDETALLE_FIELDS)
QL_FILLED_RECORDS(QL_FILL_DECLARE)
QL_FILLED_RECORDS(QL_FILL_DEFINE)

template <class T>
T filled() {
  T r;
  fill(r, "");
  return r;
}

class SimpleMembers : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    quote = create_Cotizacion();
    take_calls();
  }
  Ref<_Cotizacion> quote;
};

TEST_F(SimpleMembers, ANewQuoteIsEmpty) {
  EXPECT_EQ(quote->get_Encabezado(), tCtEncabezado{});
  EXPECT_EQ(quote->get_Detalle(), tCtDetalle{});
  EXPECT_EQ(quote->get_Error(), "");
  EXPECT_FALSE(quote->get_Agregar_Promociones());
  EXPECT_EQ(quote->get_Folio2(), "");
  Ref<_cCtDetalle> line = quote->get_Detalle2();
  ASSERT_TRUE(line);
  EXPECT_EQ(line->get_Ct_Cantidad_1(), 0);
  EXPECT_EQ(quote->get_Encabezado2()->get_Ct_Fecha(), Date{0});
  EXPECT_TRUE(Access::impuestos(*quote));
}

TEST_F(SimpleMembers, FolioAndFolio2AreIndependent) {
  quote->put_Folio("CT-0001");
  EXPECT_EQ(quote->get_Folio(), "CT-0001");
  EXPECT_EQ(quote->get_Encabezado().Ct_Folio, "CT-0001");
  EXPECT_EQ(quote->get_Folio2(), "");

  quote->put_Folio2("CT-0002");
  EXPECT_EQ(quote->get_Folio2(), "CT-0002");
  EXPECT_EQ(quote->get_Encabezado2()->get_Ct_Folio(), "CT-0002");
  EXPECT_EQ(quote->get_Folio(), "CT-0001");

  quote->put_Agregar_Promociones(true);
  EXPECT_TRUE(quote->get_Agregar_Promociones());
  EXPECT_TRUE(take_calls().empty());
}

TEST_F(SimpleMembers, ObjectGettersGiveTheQuotesOwnObjectsRecordGettersGiveCopies) {
  Ref<_cCtEncabezado> first = quote->get_Encabezado2();
  EXPECT_EQ(quote->get_Encabezado2(), first);
  EXPECT_EQ(quote->get_Detalle2(), quote->get_Detalle2());
  first->put_Ct_Folio("CT-9");  // a change through the object is a change of the quote
  EXPECT_EQ(quote->get_Folio2(), "CT-9");

  Access::detalle(*quote) = filled<tCtDetalle>();
  tCtDetalle line = quote->get_Detalle();
  line.Ct_Cantidad_1 = 99;
  line.Producto.Pr_Cve_Producto = "OTRO";
  EXPECT_EQ(quote->get_Detalle(), filled<tCtDetalle>());
  tCtEncabezado header = quote->get_Encabezado();
  header.Ct_Folio = "CT-X";
  EXPECT_EQ(quote->get_Folio(), "");
}

TEST_F(SimpleMembers, NuevoEmptiesTheListedHeaderFieldsAndReplacesBothObjects) {
  const tCtEncabezado before = filled<tCtEncabezado>();
  Access::encabezado(*quote) = before;
  Access::detalle(*quote) = filled<tCtDetalle>();
  Access::error(*quote) = "error anterior";
  Access::servidor_sucursal(*quote) = "SRV9";
  Access::maneja_tallas(*quote) = true;
  Access::maneja_colores(*quote) = true;
  Access::fecha_texto(*quote) = "2026-01-01";
  Access::partida(*quote) = 4;
  quote->put_Agregar_Promociones(true);
  quote->put_Folio2("CT-OBJ");
  Ref<_cCtEncabezado> old_header = quote->get_Encabezado2();
  Ref<_cCtDetalle> old_line = quote->get_Detalle2();
  old_line->put_Ct_Concepto("línea anterior");
  const long alive = live_object_count();

  quote->Nuevo();

  EXPECT_EQ(take_calls(),
            (std::vector<std::string>{"cDatos.Fecha_Servidor() -> #2026-12-05 10:30:00#"}));
  tCtEncabezado expected = before;
  expected.Ct_Folio = "";
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
  EXPECT_EQ(quote->get_Encabezado().Ct_Atencion, "v_Ct_Atencion");
  EXPECT_EQ(quote->get_Encabezado().Mn_Cve_Moneda, "v_Mn_Cve_Moneda");
  EXPECT_EQ(quote->get_Encabezado().Cliente.Tc_Cve_Cliente_Tipo, "v_Tc_Cve_Cliente_Tipo");

  EXPECT_FALSE(quote->get_Agregar_Promociones());
  EXPECT_EQ(quote->get_Detalle(), filled<tCtDetalle>());
  EXPECT_EQ(quote->get_Error(), "error anterior");
  EXPECT_EQ(Access::servidor_sucursal(*quote), "SRV9");
  EXPECT_TRUE(Access::maneja_tallas(*quote));
  EXPECT_TRUE(Access::maneja_colores(*quote));
  EXPECT_EQ(Access::fecha_texto(*quote), "2026-01-01");
  EXPECT_EQ(Access::partida(*quote), 4);

  // New, empty objects; the client's old ones live on, detached from the quote.
  EXPECT_NE(quote->get_Encabezado2(), old_header);
  EXPECT_NE(quote->get_Detalle2(), old_line);
  EXPECT_EQ(quote->get_Folio2(), "");
  EXPECT_EQ(quote->get_Detalle2()->get_Ct_Concepto(), "");
  EXPECT_EQ(old_header->get_Ct_Folio(), "CT-OBJ");
  quote->put_Folio2("CT-NUEVO");
  EXPECT_EQ(old_header->get_Ct_Folio(), "CT-OBJ");
  EXPECT_EQ(old_line->get_Ct_Concepto(), "línea anterior");
  EXPECT_EQ(live_object_count(), alive + 2);
  old_header = nullptr;
  old_line = nullptr;
  EXPECT_EQ(live_object_count(), alive);
  EXPECT_EQ(host->created("cImpuestos"), 1);  // the tax service stays the quote's own
}

TEST_F(SimpleMembers, NuevoStopsAfterEmptyingTheFolioWhenTheServerDateFails) {
  const tCtEncabezado before = filled<tCtEncabezado>();
  Access::encabezado(*quote) = before;
  quote->put_Agregar_Promociones(true);
  Ref<_cCtEncabezado> header = quote->get_Encabezado2();
  Ref<_cCtDetalle> line = quote->get_Detalle2();
  boundary->fail("cDatos", "Fecha_Servidor", 1, "Se perdió la conexión");

  try {
    quote->Nuevo();
    ADD_FAILURE() << "Nuevo did not fail";
  } catch (const Failure& e) {
    EXPECT_STREQ(e.what(), "Se perdió la conexión");
  }
  tCtEncabezado expected = before;
  expected.Ct_Folio = "";
  EXPECT_EQ(quote->get_Encabezado(), expected);
  EXPECT_TRUE(quote->get_Agregar_Promociones());
  EXPECT_EQ(quote->get_Encabezado2(), header);
  EXPECT_EQ(quote->get_Detalle2(), line);
  EXPECT_EQ(quote->get_Error(), "");  // Nuevo has no error exit

  // The next Nuevo, with the server back, completes.
  quote->Nuevo();
  EXPECT_FALSE(quote->get_Agregar_Promociones());
  EXPECT_NE(quote->get_Encabezado2(), header);
}

TEST_F(SimpleMembers, NuevoTwiceGivesANewHeaderObjectEachTime) {
  Ref<_cCtEncabezado> a = quote->get_Encabezado2();
  quote->Nuevo();
  Ref<_cCtEncabezado> b = quote->get_Encabezado2();
  EXPECT_EQ(quote->get_Encabezado2(), b);
  quote->Nuevo();
  EXPECT_NE(quote->get_Encabezado2(), b);
  EXPECT_NE(quote->get_Encabezado2(), a);
}

}  // namespace
}  // namespace quorlane::test
