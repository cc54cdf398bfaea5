// The Detalle and Detalle2 setters.
#include <limits>

#include "model/cotizacion.h"
#include "support/cotizacion_access.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using State = CotizacionTestAccess;
using Calls = std::vector<std::string>;

tCtEncabezado header(const std::string& branch, const std::string& warehouse) {
  tCtEncabezado h;
  h.Sucursal.Sc_Cve_Sucursal = branch;
  h.Almacen.Al_Cve_Almacen = warehouse;
  h.Cliente.Cl_Cve_Cliente = "C1";
  h.Ct_Descuento_Global_Factor = 0.05;
  return h;
}

Ref<_cCtEncabezado> header_object(const std::string& branch, const std::string& warehouse) {
  Ref<_cCtEncabezado> o = cCtEncabezado::create();
  o->put_Sc_Cve_Sucursal(branch);
  o->put_Al_Cve_Almacen(warehouse);
  o->put_Cl_Cve_Cliente("C1");
  o->put_Ct_Descuento_Global_Factor(0.05);
  return o;
}

tCtDetalle line(const std::string& unit = "CJA") {
  tCtDetalle d;
  d.Ct_ID = "ID7";
  d.Ct_Partida_Descripcion = "Tornillo";
  d.Producto.Pr_Cve_Producto = "P1";
  d.Producto.Pr_Cuenta_Contable = "PCC";
  d.Tl_Cve_Talla = "T1";
  d.Cl_Cve_Color = "K1";
  d.Ct_Cantidad_1 = 3;
  d.Ct_Unidad_1 = unit;
  d.Ct_Cantidad_Control_2 = 4;
  d.Ct_Precio_Lista = 10;
  d.Ct_Descuento_Factor = 0.1;
  d.Ct_Concepto = "Concepto";
  d.Ct_UserDef.data = "extension";
  return d;
}

Ref<_cCtDetalle> line_object(const std::string& unit = "CJA") {
  Ref<_cCtDetalle> o = cCtDetalle::create();
  o->put_Ct_ID("ID7");
  o->put_Pr_Cve_Producto("P1");
  o->put_Tl_Cve_Talla("T1");
  o->put_Cl_Cve_Color("K1");
  o->put_Ct_Cantidad_1(3);
  o->put_Ct_Unidad_1(unit);
  o->put_Ct_Cantidad_Control_2(4);
  o->put_Ct_Precio_Lista(10);
  o->put_Ct_Descuento_Factor(0.1);
  o->put_Ct_Cuota(7.5);
  return o;
}

const Calls kProductLookups = {
    R"(cDatos.Obtener_Campo("Producto", "Pr_Cve_Producto", "P1", "Pr_Tipo_Producto", 0, "", "", "") -> "PT")",
    R"(cDatos.Obtener_Campo("Producto", "Pr_Cve_Producto", "P1", "Pr_Tipo_Costeo", 0, "", "", "") -> "PC")",
    R"(cDatos.Obtener_Campo("Producto", "Pr_Cve_Producto", "P1", "Pr_Unidad_Control_1", 0, "", "", "") -> "PZA")",
    R"(cDatos.Obtener_Campo("Producto", "Pr_Cve_Producto", "P1", "Pr_Unidad_Control_2", 0, "", "", "") -> "KG")",
    R"(cDatos.Obtener_Campo("Producto", "Pr_Cve_Producto", "P1", "Pr_Unidad_Costo", 0, "", "", "") -> "PZA")"};

Calls concat(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A catalogue of one product "P1" (control units PZA and KG, cost unit PZA), 12 PZA to the CJA,
// unit cost 2.5, tax factor 0.16; sizes managed in S1/A1 and S9/A9, colours in S9/A9; the
// amounts calculation answers 100 + position for each of its thirteen values.
class DetailAssignment : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->on("cDatos", "Obtener_Campo", [](std::vector<Variant>& a) {
      if (a[0].to_text() == "Sucursal") return Variant("SRV");
      if (a[0].to_text() != "Producto" || a[2].to_text() != "P1") return Variant("");
      std::string column = a[3].to_text();
      if (column == "Pr_Tipo_Producto") return Variant("PT");
      if (column == "Pr_Tipo_Costeo") return Variant("PC");
      if (column == "Pr_Unidad_Control_2") return Variant("KG");
      return Variant("PZA");
    });
    host->set("cDatos", "Factor_Conversion", 12.0);
    host->set("cInventario", "Obtener_Costo", 2.5);
    host->set("cImpuestos", "Factor_Impuesto", 0.16);
    host->on("cInventario", "Maneja_Tallas", [](std::vector<Variant>& a) {
      std::string at = a[0].to_text() + "/" + a[1].to_text();
      return Variant(at == "S1/A1" || at == "S9/A9");
    });
    host->on("cInventario", "Maneja_Colores", [](std::vector<Variant>& a) {
      return Variant(a[0].to_text() + "/" + a[1].to_text() == "S9/A9");
    });
    auto amounts = [](std::vector<Variant>& a) {
      for (int i = 0; i < 13; ++i) a[i] = Variant(100.0 + i);
      return Variant();
    };
    host->on("cDatos", "Calcular_Importes", amounts);
    host->on("cDatos", "Calcular_Importes_Cuota", amounts);
    quote = Cotizacion::create();
    take_calls();
  }

  std::string message(const std::string& text, const std::string& setter, const std::string& id) {
    return "cSistema.Mostrar_Mensaje(\"" + text + "\", 16, \"Quorlane.dll - Property Let " +
           setter + "\", <omitted>, \"Quorlane\", \"" + id + "\") -> 0";
  }

  Ref<Cotizacion> quote;
};

TEST_F(DetailAssignment, RecordLineIsCompletedFromTheHostInOrder) {
  quote->put_Encabezado(header("S1", "A1"));  // sizes managed, colours not
  take_calls();

  quote->put_Detalle(line());

  EXPECT_EQ(
      take_calls(),
      concat(kProductLookups,
             {R"(cDatos.Factor_Conversion("P1", "CJA", "PZA") -> 12)",
              R"(cInventario.Obtener_Costo("S1", "A1", "P1", "T1", "00", 36, "") -> 2.5)",
              R"(cImpuestos.Factor_Impuesto("S1", "C1", "P1") -> 0.16)",
              R"(cDatos.Calcular_Importes(3, 10, 0, 0.1, 0, 0, 0, 0.05, 0, 0.16, 0, 0, 0, 1))"}));
  tCtDetalle d = quote->get_Detalle();
  EXPECT_EQ(d.Producto.Pr_Tipo_Producto, "PT");
  EXPECT_EQ(d.Producto.Pr_Tipo_Costeo, "PC");
  EXPECT_EQ(d.Ct_Unidad_Control_1, "PZA");
  EXPECT_EQ(d.Ct_Unidad_Control_2, "KG");
  EXPECT_EQ(d.Ct_Unidad_Costo, "PZA");
  EXPECT_EQ(d.Tl_Cve_Talla, "T1");
  EXPECT_EQ(d.Cl_Cve_Color, "00");
  EXPECT_EQ(d.Ct_Cantidad_Control_1, 36);
  EXPECT_EQ(d.Ct_Cantidad_Costo, 36);
  EXPECT_EQ(d.Ct_Costo, 2.5);
  EXPECT_EQ(d.Ct_Costo_Importe, 90);
  EXPECT_EQ(d.Ct_Cantidad_Control_2, 4);
  // The record takes back all thirteen amounts, the quantity too, and the header its discount.
  EXPECT_EQ(d.Ct_Cantidad_1, 100);
  EXPECT_EQ(d.Ct_Precio_Lista, 101);
  EXPECT_EQ(d.Ct_Precio_Lista_Importe, 102);
  EXPECT_EQ(d.Ct_Descuento_Factor, 103);
  EXPECT_EQ(d.Ct_Descuento_Importe, 104);
  EXPECT_EQ(d.Ct_Precio_Descontado, 105);
  EXPECT_EQ(d.Ct_Precio_Descontado_Importe, 106);
  EXPECT_EQ(d.Ct_Impuesto_Factor, 109);
  EXPECT_EQ(d.Ct_Impuesto_Importe, 110);
  EXPECT_EQ(d.Ct_Precio_Neto, 111);
  EXPECT_EQ(d.Ct_Precio_Neto_Importe, 112);
  EXPECT_EQ(quote->get_Encabezado().Ct_Descuento_Global_Factor, 107);
  EXPECT_EQ(quote->get_Encabezado().Ct_Descuento_Global_Importe, 108);
  // The client's values travel whole.
  EXPECT_EQ(d.Ct_ID, "ID7");
  EXPECT_EQ(d.Ct_Partida_Descripcion, "Tornillo");
  EXPECT_EQ(d.Producto.Pr_Cuenta_Contable, "PCC");
  EXPECT_EQ(d.Ct_Concepto, "Concepto");
  EXPECT_EQ(d.Ct_UserDef.data, "extension");
  // The record shape's flags are only read.
  EXPECT_TRUE(State::m_Maneja_Tallas(*quote));
  EXPECT_FALSE(State::m_Maneja_Colores(*quote));
}

TEST_F(DetailAssignment, ObjectLineIsTheClientsObjectCompletedInPlace) {
  quote->putref_Encabezado2(header_object("S1", "A1").get());
  take_calls();
  Ref<_cCtDetalle> o = line_object();

  quote->putref_Detalle2(o.get());

  EXPECT_EQ(
      take_calls(),
      concat(
          kProductLookups,
          {R"(cDatos.Factor_Conversion("P1", "CJA", "PZA") -> 12)",
           R"(cInventario.Obtener_Costo("S1", "A1", "P1", "T1", "00", 36, "") -> 2.5)",
           R"(cInventario.Maneja_Tallas("S1", "A1") -> True)",
           R"(cInventario.Maneja_Colores("S1", "A1") -> False)",
           R"(cImpuestos.Factor_Impuesto("S1", "C1", "P1") -> 0.16)",
           R"(cDatos.Calcular_Importes_Cuota(3, 10, 0, 0.1, 0, 0, 0, 0.05, 0, 0.16, 0, 0, 0, 1, 7.5))"}));
  EXPECT_TRUE(quote->get_Detalle2() == o);
  EXPECT_EQ(o->get_Ct_Sucursal_Inventario(), "S1");
  EXPECT_EQ(o->get_Ct_Almacen_Inventario(), "A1");
  EXPECT_EQ(o->get_Pr_Tipo_Producto(), "PT");
  EXPECT_EQ(o->get_Pr_Tipo_Costeo(), "PC");
  EXPECT_EQ(o->get_Ct_Unidad_Costo(), "PZA");
  EXPECT_EQ(o->get_Ct_Cantidad_Control_1(), 36);
  EXPECT_EQ(o->get_Ct_Cantidad_Costo(), 36);
  EXPECT_EQ(o->get_Ct_Costo_Importe(), 90);
  EXPECT_EQ(o->get_Ct_Cantidad_Control_2(), 4);
  EXPECT_EQ(o->get_Ct_Cuota(), 7.5);
  // The object keeps its quantity; everything else comes back, the discount into the header.
  EXPECT_EQ(o->get_Ct_Cantidad_1(), 3);
  EXPECT_EQ(o->get_Ct_Precio_Lista(), 101);
  EXPECT_EQ(o->get_Ct_Precio_Descontado_Importe(), 106);
  EXPECT_EQ(o->get_Ct_Impuesto_Factor(), 109);
  EXPECT_EQ(o->get_Ct_Precio_Neto_Importe(), 112);
  EXPECT_EQ(quote->get_Encabezado2()->get_Ct_Descuento_Global_Factor(), 107);
  EXPECT_EQ(quote->get_Encabezado2()->get_Ct_Descuento_Global_Importe(), 108);
  EXPECT_EQ(quote->get_Encabezado().Ct_Descuento_Global_Factor, 0);
}

TEST_F(DetailAssignment, ReservedFieldsAreRefusedAndThePreviousLineStays) {
  struct Case {
    double control;
    const char* cost_unit;
    const char* text;
    const char* record_id;
    const char* object_id;
  };
  const Case cases[] = {
      {0.0001, "", "El parámetro Ct_Cantidad_Control_1, es de solo lectura!", "ERR-ID:7500001",
       "ERR-ID:7500004"},
      {0, "PZA", "El parámetro Ct_Unidad_Costo, es de solo lectura!", "ERR-ID:7500002",
       "ERR-ID:7500005"},
      {5, "PZA", "El parámetro Ct_Cantidad_Control_1, es de solo lectura!", "ERR-ID:7500001",
       "ERR-ID:7500004"},
  };
  quote->put_Detalle(line());
  Ref<_cCtDetalle> previous = line_object();
  quote->putref_Detalle2(previous.get());
  tCtDetalle previous_record = quote->get_Detalle();
  take_calls();

  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    tCtDetalle d = line("PZA");
    d.Ct_Cantidad_Control_1 = c.control;
    d.Ct_Unidad_Costo = c.cost_unit;
    quote->put_Detalle(d);
    EXPECT_EQ(take_calls(), Calls{message(c.text, "Detalle()", c.record_id)});
    EXPECT_EQ(quote->get_Detalle(), previous_record);

    Ref<_cCtDetalle> o = line_object("PZA");
    o->put_Ct_Cantidad_Control_1(c.control);
    o->put_Ct_Unidad_Costo(c.cost_unit);
    quote->putref_Detalle2(o.get());
    EXPECT_EQ(take_calls(), Calls{message(c.text, "Detalle2()", c.object_id)});
    EXPECT_TRUE(quote->get_Detalle2() == previous);
    EXPECT_EQ(o->get_Pr_Tipo_Producto(), "");
  }
  EXPECT_EQ(quote->get_Error(), "");
}

TEST_F(DetailAssignment, ConversionOnlyWhenUnitsDifferExactly) {
  quote->put_Detalle(line("PZA"));
  EXPECT_TRUE(take_calls("cDatos.Factor_Conversion").empty());
  EXPECT_EQ(quote->get_Detalle().Ct_Cantidad_Control_1, 3);
  EXPECT_EQ(quote->get_Detalle().Ct_Costo_Importe, 7.5);

  quote->put_Detalle(line("pza"));
  EXPECT_EQ(take_calls("cDatos.Factor_Conversion"),
            Calls{R"(cDatos.Factor_Conversion("P1", "pza", "PZA") -> 12)"});
  EXPECT_EQ(quote->get_Detalle().Ct_Cantidad_Control_1, 36);

  Ref<_cCtDetalle> o = line_object("PZA");
  quote->putref_Detalle2(o.get());
  EXPECT_TRUE(take_calls("cDatos.Factor_Conversion").empty());
  EXPECT_EQ(o->get_Ct_Cantidad_Control_1(), 3);
}

TEST_F(DetailAssignment, SizeAndColourAreForcedWhereTheHeaderManagesNeither) {
  quote->put_Encabezado(header("S2", "A2"));
  take_calls();
  quote->put_Detalle(line());
  EXPECT_EQ(quote->get_Detalle().Tl_Cve_Talla, "00");
  EXPECT_EQ(quote->get_Detalle().Cl_Cve_Color, "00");
  EXPECT_EQ(take_calls("cInventario.Obtener_Costo"),
            Calls{R"(cInventario.Obtener_Costo("S2", "A2", "P1", "00", "00", 36, "") -> 2.5)"});
}

TEST_F(DetailAssignment, ObjectStockLocationAndFlagsFollowTheLine) {
  // Through the record header the object header stays empty, and so does the stock location.
  quote->put_Encabezado(header("S1", "A1"));
  take_calls();
  Ref<_cCtDetalle> first = line_object();
  quote->putref_Detalle2(first.get());
  EXPECT_EQ(first->get_Ct_Sucursal_Inventario(), "");
  EXPECT_EQ(first->get_Ct_Almacen_Inventario(), "");
  EXPECT_EQ(take_calls("cInventario.Obtener_Costo"),
            Calls{R"(cInventario.Obtener_Costo("", "", "P1", "T1", "00", 36, "") -> 2.5)"});

  // A line stocked in S9/A9 (sizes and colours) under a header in S2/A2 (neither): this line
  // gets "00" by the header's flags, the next one is seen with the flags of S9/A9.
  quote->putref_Encabezado2(header_object("S2", "A2").get());
  Ref<_cCtDetalle> second = line_object();
  second->put_Ct_Sucursal_Inventario("S9");
  second->put_Ct_Almacen_Inventario("A9");
  quote->putref_Detalle2(second.get());
  EXPECT_EQ(second->get_Tl_Cve_Talla(), "00");
  EXPECT_EQ(second->get_Cl_Cve_Color(), "00");
  EXPECT_TRUE(State::m_Maneja_Tallas(*quote));
  EXPECT_TRUE(State::m_Maneja_Colores(*quote));

  take_calls();
  Ref<_cCtDetalle> third = line_object();
  quote->putref_Detalle2(third.get());
  EXPECT_EQ(third->get_Ct_Sucursal_Inventario(), "S2");
  EXPECT_EQ(third->get_Ct_Almacen_Inventario(), "A2");
  EXPECT_EQ(third->get_Tl_Cve_Talla(), "T1");
  EXPECT_EQ(third->get_Cl_Cve_Color(), "K1");
  EXPECT_EQ(take_calls("cInventario.Obtener_Costo"),
            Calls{R"(cInventario.Obtener_Costo("S2", "A2", "P1", "T1", "K1", 36, "") -> 2.5)"});
  EXPECT_FALSE(State::m_Maneja_Tallas(*quote));
  EXPECT_FALSE(State::m_Maneja_Colores(*quote));
}

TEST_F(DetailAssignment, AFailureIsSentAndKeepsWhatWasWritten) {
  quote->put_Encabezado(header("S1", "A1"));
  quote->putref_Encabezado2(header_object("S1", "A1").get());
  take_calls();

  boundary->fail("cInventario", "Obtener_Costo", 1, "Costo no disponible");
  tCtDetalle d = line();
  d.Ct_Costo = 1.25;
  quote->put_Detalle(d);
  EXPECT_EQ(take_calls("cSistema.Mostrar_Mensaje"),
            Calls{message("Costo no disponible", "Detalle()", "ERR-ID:7500003")});
  tCtDetalle kept = quote->get_Detalle();
  EXPECT_EQ(kept.Ct_ID, "ID7");
  EXPECT_EQ(kept.Ct_Unidad_Costo, "PZA");
  EXPECT_EQ(kept.Ct_Cantidad_Costo, 36);
  EXPECT_EQ(kept.Ct_Costo, 1.25);
  EXPECT_EQ(kept.Ct_Costo_Importe, 0);

  boundary->fail("cDatos", "Calcular_Importes_Cuota", 1, "Importes inválidos");
  Ref<_cCtDetalle> o = line_object();
  quote->putref_Detalle2(o.get());
  EXPECT_EQ(take_calls("cSistema.Mostrar_Mensaje"),
            Calls{message("Importes inválidos", "Detalle2()", "ERR-ID:7500006")});
  EXPECT_TRUE(quote->get_Detalle2() == o);
  EXPECT_EQ(o->get_Ct_Impuesto_Factor(), 0.16);
  EXPECT_EQ(o->get_Ct_Precio_Lista(), 10);
  EXPECT_EQ(quote->get_Error(), "");
}

TEST_F(DetailAssignment, AnOverflowingProductIsAFailure) {
  host->set("cDatos", "Factor_Conversion", 1e308);
  quote->put_Detalle(line());
  EXPECT_EQ(take_calls("cSistema.Mostrar_Mensaje"),
            Calls{message("Desbordamiento", "Detalle()", "ERR-ID:7500003")});
  EXPECT_EQ(quote->get_Detalle().Ct_Cantidad_Control_1, 0);

  // 0 x infinity gives no number.
  host->set("cDatos", "Factor_Conversion", 1.0);
  host->set("cInventario", "Obtener_Costo", std::numeric_limits<double>::infinity());
  tCtDetalle zero = line();
  zero.Ct_Cantidad_1 = 0;
  quote->put_Detalle(zero);
  EXPECT_EQ(take_calls("cSistema.Mostrar_Mensaje"),
            Calls{message("Desbordamiento", "Detalle()", "ERR-ID:7500003")});
}

TEST_F(DetailAssignment, NothingGivenToTheObjectSetterFailsClearly) {
  Ref<_cCtDetalle> previous = quote->get_Detalle2();
  try {
    quote->putref_Detalle2(nullptr);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.what(), "Se esperaba un objeto cCtDetalle y se recibió Nothing");
  }
  EXPECT_TRUE(take_calls().empty());
  EXPECT_TRUE(quote->get_Detalle2() == previous);
}

}  // namespace
}  // namespace quorlane::test
