// Late binding of the three classes: the tables in binding order, by-name calls reaching the
// typed members, argument conversions and the refusals of arguments of the wrong kind. (The
// tables are made from the member lists, name and member from one token, and the scripts call
// nearly every member by name, the two admissions among them.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/cotizacion.h"
#include "model/model_support.h"
#include "model/properties.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using K = InvokeKind;

// The table's entries as "let:Name", "get:Name", "set:Name" or "call:Name:<argument count>", each
// followed by a blank.
std::string entries(const DispatchTable& table) {
  std::string out;
  for (const DispatchMember& m : table) {
    const char* form = m.kind == K::PropertyPut      ? "let:"
                       : m.kind == K::PropertyGet    ? "get:"
                       : m.kind == K::PropertyPutRef ? "set:"
                                                     : "call:";
    out += std::string(form) + m.name +
           (m.kind == K::Method ? ":" + std::to_string(m.arg_count) : "") + " ";
  }
  return out;
}

// Calls a member by name, as a late-bound client does.
struct Call {
  HRESULT hr;
  Variant result;
  std::string error;
};
Call call(IDispatch& object, const std::string& name, K kind, std::vector<Variant>& args) {
  Call c{E_FAIL, Variant(), ""};
  int32_t id = 0;
  c.hr = object.GetIDsOfNames(name, &id);
  if (c.hr == S_OK) c.hr = object.Invoke(id, kind, args, &c.result, &c.error);
  return c;
}
Call call(IDispatch& object, const std::string& name, K kind, std::vector<Variant>&& args = {}) {
  return call(object, name, kind, args);
}

TEST(Binding, MembersStandInTheBindingOrderPropertiesEachSetterThenItsGetter) {
  EXPECT_EQ(entries(Cotizacion::dispatch_table()),
            "let:Agregar_Promociones get:Agregar_Promociones let:Folio get:Folio get:Error "
            "get:Encabezado let:Encabezado get:Detalle let:Detalle call:Nuevo:0 "
            "call:Add_Cotizacion_Detalle:0 call:Eliminar_Cotizacion:1 call:Cancelar_Cotizacion:1 "
            "call:Autorizar_Cotizacion:1 call:Rechazar_Cotizacion:1 call:Finalizar_Cotizacion:1 "
            "let:Folio2 get:Folio2 get:Encabezado2 set:Encabezado2 get:Detalle2 set:Detalle2 "
            "call:Add_Cotizacion_Detalle2:0 ");

  // The property objects: each property's setter, then its getter.
  const auto lets_and_gets = [](std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) out += std::string("let:") + n + " get:" + n + " ";
    return out;
  };
  EXPECT_EQ(
      entries(cCtEncabezado::dispatch_table()),
      lets_and_gets({"Ct_Folio", "Ct_Fecha", "Ct_Tabla", "Ct_Documento", "Ct_Referencia",
                     "Ct_Atencion", "Ct_Comentario", "Ct_Condicion_Venta", "Mn_Cve_Moneda",
                     "Ct_Tipo_Cambio", "Ct_Descuento_Global_Cuenta_Contable",
                     "Ct_Descuento_Global_Factor", "Ct_Descuento_Global_Importe", "Zn_Cve_Zona",
                     "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Cl_Cve_Cliente", "Vn_Cve_Vendedor"}));
  EXPECT_EQ(entries(cCtDetalle::dispatch_table()),
            lets_and_gets({"Ct_ID", "Ct_Partida", "Ct_Partida_Descripcion", "Pr_Cve_Producto",
                           "Pr_Tipo_Producto", "Pr_Tipo_Costeo", "Tl_Cve_Talla", "Cl_Cve_Color",
                           "Ct_Cantidad_1", "Ct_Unidad_1", "Ct_Cantidad_Control_1",
                           "Ct_Unidad_Control_1", "Ct_Cantidad_Control_2", "Ct_Unidad_Control_2",
                           "Ct_Cantidad_Costo", "Ct_Unidad_Costo", "Ct_Costo"}) +
                lets_and_gets(
                    {"Ct_Costo_Importe", "Pr_Folio", "Ct_Precio_Lista", "Ct_Precio_Lista_Importe",
                     "Ct_Descuento_Factor", "Ct_Descuento_Importe", "Ct_Precio_Descontado",
                     "Ct_Precio_Descontado_Importe", "Ct_Impuesto_Factor", "Ct_Impuesto_Importe",
                     "Ct_Precio_Neto", "Ct_Precio_Neto_Importe", "Ct_Concepto",
                     "Ct_Almacen_Inventario", "Ct_Sucursal_Inventario", "Ct_Cuota"}));
}

class LateBinding : public QuoteTest {};

// Each by-name call is seen through the typed member it reaches: what it stores, gives back or
// asks of the host. The headers are assigned before the folios, which fix them.
TEST_F(LateBinding, EveryQuoteMemberReachesItsTypedMemberWithConvertedValues) {
  tCtEncabezado h;
  h.Ct_Comentario = "HX";
  tCtDetalle d;
  d.Ct_Concepto = "DX";
  Ref<_cCtEncabezado> header = create_cCtEncabezado();
  header->put_Ct_Comentario("HY");
  Ref<_cCtDetalle> line = create_cCtDetalle();
  Ref<_cCtEncabezado> own_header = quote->get_Encabezado2();
  struct Step {
    const char* member;
    K kind;
    std::vector<Variant> args;
    Variant result;
  };
  const Step steps[] = {
      {"Agregar_Promociones", K::PropertyPut, {int32_t{-1}}, {}},
      {"Agregar_Promociones", K::PropertyGet, {}, true},
      {"Encabezado", K::PropertyPut, {Variant::record(h)}, {}},
      {"Detalle", K::PropertyPut, {Variant::record(d)}, {}},
      {"Encabezado2", K::PropertyPutRef, {static_cast<IDispatch*>(header.get())}, {}},
      {"Encabezado2", K::PropertyGet, {}, static_cast<IDispatch*>(own_header.get())},
      {"Detalle2", K::PropertyPutRef, {static_cast<IDispatch*>(line.get())}, {}},
      {"Detalle2", K::PropertyGet, {}, static_cast<IDispatch*>(line.get())},
      {"Folio", K::PropertyPut, {12.0}, {}},
      {"Folio", K::PropertyGet, {}, "12"},
      {"Folio2", K::PropertyPut, {"F-9"}, {}},
      {"Folio2", K::PropertyGet, {}, "F-9"},
      {"Error", K::PropertyGet, {}, ""},
  };
  for (const Step& step : steps) {
    std::vector<Variant> args = step.args;
    Call c = call(*quote, step.member, step.kind, args);
    EXPECT_EQ(c.hr, S_OK) << step.member;
    EXPECT_EQ(c.result, step.result) << step.member;
  }
  EXPECT_EQ(own_header->get_Ct_Comentario(), "HY");
  // The record getters give the records by value.
  const Variant header_record = call(*quote, "Encabezado", K::PropertyGet).result;
  const Variant line_record = call(*quote, "Detalle", K::PropertyGet).result;
  ASSERT_TRUE(header_record.record_as<tCtEncabezado>() && line_record.record_as<tCtDetalle>());
  EXPECT_EQ(header_record.record_as<tCtEncabezado>()->Ct_Comentario, "HX");
  EXPECT_EQ(line_record.record_as<tCtDetalle>()->Ct_Concepto, "DX");
  take_calls();
  EXPECT_EQ(call(*quote, "Nuevo", K::Method).hr, S_OK);
  EXPECT_EQ(quote->get_Folio(), "");
  EXPECT_EQ(take_calls(),
            std::vector<std::string>{"cDatos.Fecha_Servidor() -> #2026-12-05 10:30:00#"});

  // The folio methods take their folio by reference: it is written back, as text. Each refuses
  // its folio, which the refusal names.
  int32_t folio = 70;
  for (const char* member : {"Eliminar_Cotizacion", "Cancelar_Cotizacion", "Autorizar_Cotizacion",
                             "Rechazar_Cotizacion", "Finalizar_Cotizacion"}) {
    std::vector<Variant> args{Variant(++folio)};
    EXPECT_EQ(call(*quote, member, K::Method, args).result, Variant(false)) << member;
    EXPECT_EQ(args[0], Variant(std::to_string(folio))) << member;
    EXPECT_NE(quote->get_Error().find(std::to_string(folio)), std::string::npos) << member;
  }

  // The property objects take numbers and dates given as text, and give them back in their kind.
  EXPECT_EQ(call(*line, "Ct_Cantidad_1", K::PropertyPut, {"-8.5"}).hr, S_OK);
  EXPECT_EQ(call(*line, "Ct_Cantidad_1", K::PropertyGet).result, Variant(-8.5));
  EXPECT_EQ(call(*header, "ct_fecha", K::PropertyPut, {"2026-12-05T08:15:00"}).hr, S_OK);
  EXPECT_EQ(header->get_Ct_Fecha(), make_date(2026, 12, 5, 8, 15, 0));
}

TEST_F(LateBinding, WrongNamesFormsCountsAndKindsAreRefusedBeforeTheMemberRuns) {
  _Cotizacion& q = *quote;
  Ref<_cCtEncabezado> own_header = quote->get_Encabezado2();
  Ref<_cCtDetalle> own_line = quote->get_Detalle2();
  Ref<_cCtEncabezado> header = create_cCtEncabezado();
  Ref<_cCtDetalle> line = create_cCtDetalle();
  IDispatch* header_object = header.get();
  IDispatch* line_object = line.get();
  const Variant h = Variant::record(tCtEncabezado{});
  const Variant d = Variant::record(tCtDetalle{});
  const Variant nothing = static_cast<IDispatch*>(nullptr);
  struct Case {
    IDispatch* target;
    const char* member;
    K kind;
    std::vector<Variant> args;
    HRESULT hr;
  };
  const Case cases[] = {
      {&q, "Error", K::PropertyPut, {"x"}, DISP_E_MEMBERNOTFOUND},
      {&q, "Encabezado2", K::PropertyPut, {"x"}, DISP_E_MEMBERNOTFOUND},
      {&q, "Nuevo", K::Method, {"x"}, DISP_E_BADPARAMCOUNT},
      {&q, "Eliminar_Cotizacion", K::Method, {}, DISP_E_BADPARAMCOUNT},
      {&q, "Agregar_Promocion", K::PropertyPut, {true}, DISP_E_UNKNOWNNAME},
      {&q, "Agregar_Promociones", K::PropertyPut, {"quizá"}, DISP_E_TYPEMISMATCH},
      {&q, "Agregar_Promociones", K::PropertyPut, {Variant::null()}, DISP_E_TYPEMISMATCH},
      {&q, "Folio", K::PropertyPut, {h}, DISP_E_TYPEMISMATCH},
      {&q, "Folio2", K::PropertyPut, {header_object}, DISP_E_TYPEMISMATCH},
      {&q, "Encabezado", K::PropertyPut, {d}, DISP_E_TYPEMISMATCH},
      {&q, "Encabezado", K::PropertyPut, {"HX"}, DISP_E_TYPEMISMATCH},
      {&q, "Detalle", K::PropertyPut, {h}, DISP_E_TYPEMISMATCH},
      {&q, "Encabezado2", K::PropertyPutRef, {line_object}, DISP_E_TYPEMISMATCH},
      {&q, "Encabezado2", K::PropertyPutRef, {nothing}, DISP_E_TYPEMISMATCH},
      {&q, "Detalle2", K::PropertyPutRef, {header_object}, DISP_E_TYPEMISMATCH},
      {&q, "Detalle2", K::PropertyPutRef, {d}, DISP_E_TYPEMISMATCH},
      {&q, "Eliminar_Cotizacion", K::Method, {h}, DISP_E_TYPEMISMATCH},
      {&q, "Finalizar_Cotizacion", K::Method, {Variant::null()}, DISP_E_TYPEMISMATCH},
      {line_object, "Ct_Cantidad_1", K::PropertyPut, {"diez"}, DISP_E_TYPEMISMATCH},
      {line_object, "Ct_Concepto", K::PropertyPut, {d}, DISP_E_TYPEMISMATCH},
      {header_object, "Ct_Fecha", K::PropertyPut, {"2026-02-30"}, DISP_E_TYPEMISMATCH},
      {header_object, "Ct_Fecha", K::PropertyPut, {true}, DISP_E_TYPEMISMATCH},
  };
  for (const Case& c : cases) {
    std::vector<Variant> args = c.args;
    Call r = call(*c.target, c.member, c.kind, args);
    EXPECT_EQ(r.hr, c.hr) << c.member << " " << (args.empty() ? "" : debug_text(args[0]));
    if (c.hr == DISP_E_TYPEMISMATCH) {
      EXPECT_NE(r.error.find(c.member), std::string::npos) << r.error;
    }
    EXPECT_TRUE(args == c.args) << c.member;  // a refused folio is not written back
  }
  // Nothing ran: no host call, and the quote is as it was.
  EXPECT_TRUE(take_calls().empty());
  EXPECT_EQ(quote->get_Folio(), "");
  EXPECT_EQ(quote->get_Folio2(), "");
  EXPECT_FALSE(quote->get_Agregar_Promociones());
  EXPECT_EQ(quote->get_Encabezado(), tCtEncabezado{});
  EXPECT_EQ(quote->get_Detalle(), tCtDetalle{});
  EXPECT_TRUE(quote->get_Encabezado2() == own_header && quote->get_Detalle2() == own_line);
  EXPECT_EQ(line->get_Ct_Cantidad_1(), 0);
  EXPECT_EQ(header->get_Ct_Fecha(), Date{0});

  // Names are found without regard to case; a setter and its getter share one id; a getter may
  // be called as a method.
  int32_t lower = 0, exact = 0;
  EXPECT_EQ(q.GetIDsOfNames("folio2", &lower), S_OK);
  EXPECT_EQ(q.GetIDsOfNames("Folio2", &exact), S_OK);
  EXPECT_EQ(lower, exact);
  quote->put_Folio2("F2");
  EXPECT_EQ(call(q, "FOLIO2", K::Method).result, Variant("F2"));
}

}  // namespace
}  // namespace quorlane::test
