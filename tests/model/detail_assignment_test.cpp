// The Detalle and Detalle2 setters.
#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "model/cotizacion.h"
#include "model/model_support.h"
#include "support/cotizacion_access.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using Access = CotizacionTestAccess;
using Calls = std::vector<std::string>;

tCtEncabezado header(const std::string& branch, const std::string& warehouse) {
  tCtEncabezado h;
  h.Sucursal.Sc_Cve_Sucursal = branch;
  h.Almacen.Al_Cve_Almacen = warehouse;
  h.Cliente.Cl_Cve_Cliente = "C1";
  h.Ct_Descuento_Global_Factor = 0.05;
  return h;
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
  Ref<_cCtDetalle> o = create_cCtDetalle();
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

// The line's values among the thirteen of the amounts calculation, in its order (nullptr for the
// header's global discount factor and amount).
// clang-format off
const char* const kLineAmounts[] = {
    "Ct_Cantidad_1", "Ct_Precio_Lista", "Ct_Precio_Lista_Importe", "Ct_Descuento_Factor",
    "Ct_Descuento_Importe", "Ct_Precio_Descontado", "Ct_Precio_Descontado_Importe", nullptr,
    nullptr, "Ct_Impuesto_Factor", "Ct_Impuesto_Importe", "Ct_Precio_Neto",
    "Ct_Precio_Neto_Importe"};
// clang-format on

// A catalogue of one product (control units PZA and KG, cost unit PZA), 12 PZA to the CJA, unit
// cost 2.5, tax factor 0.16; sizes managed in S1/A1, colours nowhere; the amounts calculation
// answers 100 + position for each of its thirteen values.
class DetailAssignment : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->on("cDatos", "Obtener_Campo", [](std::vector<Variant>& a) {
      const std::string column = a[3].to_text();
      return Variant(column == "Pr_Tipo_Producto"      ? "PT"
                     : column == "Pr_Tipo_Costeo"      ? "PC"
                     : column == "Pr_Unidad_Control_2" ? "KG"
                                                       : "PZA");
    });
    host->set("cDatos", "Factor_Conversion", 12.0);
    host->set("cInventario", "Obtener_Costo", 2.5);
    host->set("cImpuestos", "Factor_Impuesto", 0.16);
    host->on("cInventario", "Maneja_Tallas", [](std::vector<Variant>& a) {
      return Variant(a[0].to_text() + "/" + a[1].to_text() == "S1/A1");
    });
    auto amounts = [](std::vector<Variant>& a) {
      for (int i = 0; i < 13; ++i) a[i] = Variant(100.0 + i);
      return Variant();
    };
    host->on("cDatos", "Calcular_Importes", amounts);
    host->on("cDatos", "Calcular_Importes_Cuota", amounts);
    quote = create_Cotizacion();
    take_calls();
  }

  std::string message(const std::string& text, const std::string& setter, const std::string& id) {
    return "cSistema.Mostrar_Mensaje(\"" + text + "\", 16, \"Quorlane.dll - Property Let " +
           setter + "\", <omitted>, \"Quorlane\", \"" + id + "\") -> 0";
  }

  Ref<_Cotizacion> quote;
};

TEST_F(DetailAssignment, RecordLineIsCompletedFromTheHostInOrderAndTakesBackAllTheAmounts) {
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
  tCtDetalle e = line();
  e.Producto.Pr_Tipo_Producto = "PT";
  e.Producto.Pr_Tipo_Costeo = "PC";
  e.Ct_Unidad_Control_1 = "PZA";
  e.Ct_Unidad_Control_2 = "KG";
  e.Ct_Unidad_Costo = "PZA";
  e.Cl_Cve_Color = "00";
  e.Ct_Cantidad_Control_1 = 36;
  e.Ct_Cantidad_Costo = 36;
  e.Ct_Costo = 2.5;
  e.Ct_Costo_Importe = 90;
  // clang-format off
  double* amounts[] = {&e.Ct_Cantidad_1, &e.Ct_Precio_Lista, &e.Ct_Precio_Lista_Importe,
                       &e.Ct_Descuento_Factor, &e.Ct_Descuento_Importe, &e.Ct_Precio_Descontado,
                       &e.Ct_Precio_Descontado_Importe, nullptr, nullptr, &e.Ct_Impuesto_Factor,
                       &e.Ct_Impuesto_Importe, &e.Ct_Precio_Neto, &e.Ct_Precio_Neto_Importe};
  // clang-format on
  for (int i = 0; i < 13; ++i)
    if (amounts[i]) *amounts[i] = 100 + i;
  EXPECT_EQ(quote->get_Detalle(), e);
  EXPECT_EQ(quote->get_Encabezado().Ct_Descuento_Global_Factor, 107);
  EXPECT_EQ(quote->get_Encabezado().Ct_Descuento_Global_Importe, 108);
  // The record shape's flags are only read.
  EXPECT_TRUE(Access::m_Maneja_Tallas(*quote));
  EXPECT_FALSE(Access::m_Maneja_Colores(*quote));
}

TEST_F(DetailAssignment, ObjectLineIsTheClientsObjectCompletedInPlaceKeepingItsQuantity) {
  Ref<_cCtEncabezado> own = quote->get_Encabezado2();
  own->put_Sc_Cve_Sucursal("S1");
  own->put_Al_Cve_Almacen("A1");
  own->put_Cl_Cve_Cliente("C1");
  own->put_Ct_Descuento_Global_Factor(0.05);
  Access::m_Maneja_Tallas(*quote) = true;  // as the header assignment of S1/A1 leaves them
  Ref<_cCtDetalle> o = line_object();
  Properties expected = properties(*o);

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
  // clang-format off
  const std::pair<const char*, Variant> completed[] = {
      {"Ct_Sucursal_Inventario", "S1"}, {"Ct_Almacen_Inventario", "A1"},
      {"Pr_Tipo_Producto", "PT"}, {"Pr_Tipo_Costeo", "PC"}, {"Cl_Cve_Color", "00"},
      {"Ct_Unidad_Control_1", "PZA"}, {"Ct_Unidad_Control_2", "KG"}, {"Ct_Unidad_Costo", "PZA"},
      {"Ct_Cantidad_Control_1", 36.0}, {"Ct_Cantidad_Costo", 36.0}, {"Ct_Costo", 2.5},
      {"Ct_Costo_Importe", 90.0}};
  // clang-format on
  for (const auto& [name, value] : completed) expected[name] = value;
  for (int i = 1; i < 13; ++i)  // all but the quantity
    if (kLineAmounts[i]) expected[kLineAmounts[i]] = Variant(100.0 + i);
  EXPECT_EQ(properties(*o), expected);
  EXPECT_EQ(own->get_Ct_Descuento_Global_Factor(), 107);
  EXPECT_EQ(own->get_Ct_Descuento_Global_Importe(), 108);
  EXPECT_EQ(quote->get_Encabezado().Ct_Descuento_Global_Factor, 0);
  // The flags now follow the line's stock location.
  EXPECT_TRUE(Access::m_Maneja_Tallas(*quote));
  EXPECT_FALSE(Access::m_Maneja_Colores(*quote));
}

// The object twin's refusals, with its own error ids, are compared by the assignment script.
TEST_F(DetailAssignment, ReservedFieldsAreRefusedAndThePreviousLineStays) {
  const std::string quantity = "El parámetro Ct_Cantidad_Control_1, es de solo lectura!";
  const std::string cost_unit = "El parámetro Ct_Unidad_Costo, es de solo lectura!";
  const std::tuple<double, const char*, std::string, const char*> cases[] = {
      {0.0001, "", quantity, "ERR-ID:7500001"},
      {0, "PZA", cost_unit, "ERR-ID:7500002"},
      {5, "PZA", quantity, "ERR-ID:7500001"}};
  quote->put_Detalle(line());
  const tCtDetalle previous = quote->get_Detalle();
  take_calls();
  for (const auto& [control, unit, text, id] : cases) {
    tCtDetalle d = line("PZA");
    d.Ct_Cantidad_Control_1 = control;
    d.Ct_Unidad_Costo = unit;
    quote->put_Detalle(d);
    EXPECT_EQ(take_calls(), Calls{message(text, "Detalle()", id)});
    EXPECT_EQ(quote->get_Detalle(), previous);
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

// The object twin's failure, and the object kept as the quote's line, are in the assignment
// script; the object line's stock location from the object header (with the record header empty)
// too.
TEST_F(DetailAssignment, AFailureIsSentAndKeepsWhatWasWritten) {
  quote->put_Encabezado(header("S1", "A1"));
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

  // An overflowing product, or 0 x infinity (no number), is a failure too.
  host->set("cDatos", "Factor_Conversion", 1e308);
  quote->put_Detalle(line());
  EXPECT_EQ(take_calls("cSistema.Mostrar_Mensaje"),
            Calls{message("Desbordamiento", "Detalle()", "ERR-ID:7500003")});
  EXPECT_EQ(quote->get_Detalle().Ct_Cantidad_Control_1, 0);

  host->set("cDatos", "Factor_Conversion", 1.0);
  host->set("cInventario", "Obtener_Costo", std::numeric_limits<double>::infinity());
  tCtDetalle zero = line();
  zero.Ct_Cantidad_1 = 0;
  quote->put_Detalle(zero);
  EXPECT_EQ(take_calls("cSistema.Mostrar_Mensaje"),
            Calls{message("Desbordamiento", "Detalle()", "ERR-ID:7500003")});
  EXPECT_EQ(quote->get_Error(), "");
}

}  // namespace
}  // namespace quorlane::test
