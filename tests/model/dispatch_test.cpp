// Late binding of the three classes: the tables in binding order, by-name calls reaching the
// typed members, argument conversions and the refusals of arguments of the wrong kind. (The
// tables are made from the member lists, name and member from one token, and the scripts call
// nearly every member by name.)
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

// A table entry as "let:Name", "get:Name", "set:Name" or "call:Name:<argument count>".
std::vector<std::string> entries(const DispatchTable& table) {
  std::vector<std::string> out;
  for (const DispatchMember& m : table) {
    const char* form = m.kind == K::PropertyPut      ? "let:"
                       : m.kind == K::PropertyGet    ? "get:"
                       : m.kind == K::PropertyPutRef ? "set:"
                                                     : "call:";
    out.push_back(std::string(form) + m.name +
                  (m.kind == K::Method ? ":" + std::to_string(m.arg_count) : ""));
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
            words("let:Agregar_Promociones get:Agregar_Promociones let:Folio get:Folio get:Error "
                  "get:Encabezado let:Encabezado get:Detalle let:Detalle call:Nuevo:0 "
                  "call:Add_Cotizacion_Detalle:0 call:Eliminar_Cotizacion:1 "
                  "call:Cancelar_Cotizacion:1 call:Autorizar_Cotizacion:1 "
                  "call:Rechazar_Cotizacion:1 call:Finalizar_Cotizacion:1 let:Folio2 get:Folio2 "
                  "get:Encabezado2 set:Encabezado2 get:Detalle2 set:Detalle2 "
                  "call:Add_Cotizacion_Detalle2:0"));

  const auto lets_and_gets = [](const std::string& names) {
    std::vector<std::string> out;
    for (const std::string& n : words(names)) out.insert(out.end(), {"let:" + n, "get:" + n});
    return out;
  };
  EXPECT_EQ(entries(cCtEncabezado::dispatch_table()),
            lets_and_gets("Ct_Folio Ct_Fecha Ct_Tabla Ct_Documento Ct_Referencia Ct_Atencion "
                          "Ct_Comentario Ct_Condicion_Venta Mn_Cve_Moneda Ct_Tipo_Cambio "
                          "Ct_Descuento_Global_Cuenta_Contable Ct_Descuento_Global_Factor "
                          "Ct_Descuento_Global_Importe Zn_Cve_Zona Sc_Cve_Sucursal Al_Cve_Almacen "
                          "Cl_Cve_Cliente Vn_Cve_Vendedor"));
  EXPECT_EQ(entries(cCtDetalle::dispatch_table()),
            lets_and_gets("Ct_ID Ct_Partida Ct_Partida_Descripcion Pr_Cve_Producto "
                          "Pr_Tipo_Producto Pr_Tipo_Costeo Tl_Cve_Talla Cl_Cve_Color Ct_Cantidad_1 "
                          "Ct_Unidad_1 Ct_Cantidad_Control_1 Ct_Unidad_Control_1 "
                          "Ct_Cantidad_Control_2 Ct_Unidad_Control_2 Ct_Cantidad_Costo "
                          "Ct_Unidad_Costo Ct_Costo Ct_Costo_Importe Pr_Folio Ct_Precio_Lista "
                          "Ct_Precio_Lista_Importe Ct_Descuento_Factor Ct_Descuento_Importe "
                          "Ct_Precio_Descontado Ct_Precio_Descontado_Importe Ct_Impuesto_Factor "
                          "Ct_Impuesto_Importe Ct_Precio_Neto Ct_Precio_Neto_Importe Ct_Concepto "
                          "Ct_Almacen_Inventario Ct_Sucursal_Inventario Ct_Cuota"));
}

// A quote that logs what reaches each typed member, to see where every by-name call lands.
class LoggingQuote final : public _Cotizacion {
 public:
  HRESULT QueryInterface(const GUID&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  HRESULT GetIDsOfNames(const std::string& name, int32_t* id) override {
    return dispatch_ids_of_names(Cotizacion::dispatch_table(), name, id);
  }
  HRESULT Invoke(int32_t id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                 std::string* error) override {
    return dispatch_invoke(Cotizacion::dispatch_table(), *this, id, kind, args, result, error);
  }

  void put_Agregar_Promociones(bool v) override { note("put Agregar_Promociones", v ? "T" : "F"); }
  bool get_Agregar_Promociones() override { return note("get Agregar_Promociones"), true; }
  void put_Folio(const std::string& v) override { note("put Folio", v); }
  std::string get_Folio() override { return note("get Folio"), "F1"; }
  std::string get_Error() override { return note("get Error"), "E1"; }
  tCtEncabezado get_Encabezado() override {
    return note("get Encabezado"), filled<tCtEncabezado>(1);
  }
  void put_Encabezado(const tCtEncabezado& v) override { note("put Encabezado", v.Ct_Folio); }
  tCtDetalle get_Detalle() override { return note("get Detalle"), filled<tCtDetalle>(2); }
  void put_Detalle(const tCtDetalle& v) override { note("put Detalle", v.Ct_ID); }
  void Nuevo() override { note("Nuevo"); }
  bool Add_Cotizacion_Detalle() override { return note("Add_Cotizacion_Detalle"), true; }
  bool Eliminar_Cotizacion(std::string& f) override { return folio("Eliminar_Cotizacion", f); }
  bool Cancelar_Cotizacion(std::string& f) override { return folio("Cancelar_Cotizacion", f); }
  bool Autorizar_Cotizacion(std::string& f) override { return folio("Autorizar_Cotizacion", f); }
  bool Rechazar_Cotizacion(std::string& f) override { return folio("Rechazar_Cotizacion", f); }
  bool Finalizar_Cotizacion(std::string& f) override { return folio("Finalizar_Cotizacion", f); }
  void put_Folio2(const std::string& v) override { note("put Folio2", v); }
  std::string get_Folio2() override { return note("get Folio2"), "F2"; }
  Ref<_cCtEncabezado> get_Encabezado2() override { return note("get Encabezado2"), header; }
  void putref_Encabezado2(_cCtEncabezado* v) override {
    note("putref Encabezado2", v == header.get() ? "header" : "other");
  }
  Ref<_cCtDetalle> get_Detalle2() override { return note("get Detalle2"), line; }
  void putref_Detalle2(_cCtDetalle* v) override {
    note("putref Detalle2", v == line.get() ? "line" : "other");
  }
  bool Add_Cotizacion_Detalle2() override { return note("Add_Cotizacion_Detalle2"), false; }

  std::vector<std::string> log;
  Ref<_cCtEncabezado> header;
  Ref<_cCtDetalle> line;

 private:
  void note(const std::string& what, const std::string& value = "") {
    log.push_back(value.empty() ? what : what + " " + value);
  }
  // Changes the folio it was given, so that the write-back can be seen.
  bool folio(const char* member, std::string& f) {
    note(member, f);
    f = "ESCRITO-" + f;
    return true;
  }
};

class LateBinding : public HostTest {};

TEST_F(LateBinding, EveryQuoteMemberReachesItsTypedMemberWithConvertedValues) {
  LoggingQuote q;
  q.header = create_cCtEncabezado();
  q.line = create_cCtDetalle();
  tCtEncabezado h;
  h.Ct_Folio = "HX";
  tCtDetalle d;
  d.Ct_ID = "DX";
  IDispatch* header = q.header.get();
  IDispatch* line = q.line.get();
  struct Step {
    const char* member;
    K kind;
    std::vector<Variant> args;
    Variant result;
    const char* reached;
  };
  const Step steps[] = {
      {"Agregar_Promociones", K::PropertyPut, {int32_t{-1}}, {}, "put Agregar_Promociones T"},
      {"Agregar_Promociones", K::PropertyGet, {}, true, "get Agregar_Promociones"},
      {"Folio", K::PropertyPut, {12.0}, {}, "put Folio 12"},
      {"Folio", K::PropertyGet, {}, "F1", "get Folio"},
      {"Error", K::PropertyGet, {}, "E1", "get Error"},
      {"Encabezado", K::PropertyPut, {Variant::record(h)}, {}, "put Encabezado HX"},
      {"Detalle", K::PropertyPut, {Variant::record(d)}, {}, "put Detalle DX"},
      {"Nuevo", K::Method, {}, {}, "Nuevo"},
      {"Add_Cotizacion_Detalle", K::Method, {}, true, "Add_Cotizacion_Detalle"},
      {"Folio2", K::PropertyPut, {"F-9"}, {}, "put Folio2 F-9"},
      {"Folio2", K::PropertyGet, {}, "F2", "get Folio2"},
      {"Encabezado2", K::PropertyGet, {}, header, "get Encabezado2"},
      {"Encabezado2", K::PropertyPutRef, {header}, {}, "putref Encabezado2 header"},
      {"Detalle2", K::PropertyGet, {}, line, "get Detalle2"},
      {"Detalle2", K::PropertyPutRef, {line}, {}, "putref Detalle2 line"},
      {"Add_Cotizacion_Detalle2", K::Method, {}, false, "Add_Cotizacion_Detalle2"},
  };
  for (const Step& step : steps) {
    std::vector<Variant> args = step.args;
    Call c = call(q, step.member, step.kind, args);
    EXPECT_EQ(c.hr, S_OK) << step.reached;
    EXPECT_EQ(c.result, step.result) << step.reached;
    EXPECT_EQ(q.log, std::vector<std::string>{step.reached});
    q.log.clear();
  }
  // The folio methods take their folio by reference: it is written back, as text.
  for (const char* member : {"Eliminar_Cotizacion", "Cancelar_Cotizacion", "Autorizar_Cotizacion",
                             "Rechazar_Cotizacion", "Finalizar_Cotizacion"}) {
    std::vector<Variant> args{Variant(int32_t{77})};
    EXPECT_EQ(call(q, member, K::Method, args).result, Variant(true)) << member;
    EXPECT_EQ(args[0], Variant("ESCRITO-77")) << member;
    EXPECT_EQ(q.log, std::vector<std::string>{std::string(member) + " 77"});
    q.log.clear();
  }
  // The record getters give the records by value.
  const Variant header_record = call(q, "Encabezado", K::PropertyGet).result;
  const Variant line_record = call(q, "Detalle", K::PropertyGet).result;
  ASSERT_TRUE(header_record.record_as<tCtEncabezado>() && line_record.record_as<tCtDetalle>());
  EXPECT_EQ(*header_record.record_as<tCtEncabezado>(), filled<tCtEncabezado>(1));
  EXPECT_EQ(*line_record.record_as<tCtDetalle>(), filled<tCtDetalle>(2));
  EXPECT_EQ(q.log, (std::vector<std::string>{"get Encabezado", "get Detalle"}));

  // The property objects take numbers and dates given as text, and give them back in their kind.
  EXPECT_EQ(call(*line, "Ct_Cantidad_1", K::PropertyPut, {"-8.5"}).hr, S_OK);
  EXPECT_EQ(call(*line, "Ct_Cantidad_1", K::PropertyGet).result, Variant(-8.5));
  EXPECT_EQ(call(*header, "ct_fecha", K::PropertyPut, {"2026-12-05T08:15:00"}).hr, S_OK);
  EXPECT_EQ(q.header->get_Ct_Fecha(), make_date(2026, 12, 5, 8, 15, 0));
}

TEST_F(LateBinding, WrongNamesFormsCountsAndKindsAreRefusedBeforeTheMemberRuns) {
  LoggingQuote q;
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
  EXPECT_TRUE(q.log.empty());
  EXPECT_EQ(line->get_Ct_Cantidad_1(), 0);
  EXPECT_EQ(header->get_Ct_Fecha(), Date{0});

  // Names are found without regard to case; a setter and its getter share one id; a getter may
  // be called as a method.
  int32_t lower = 0, exact = 0;
  EXPECT_EQ(q.GetIDsOfNames("folio2", &lower), S_OK);
  EXPECT_EQ(q.GetIDsOfNames("Folio2", &exact), S_OK);
  EXPECT_EQ(lower, exact);
  EXPECT_EQ(call(q, "FOLIO2", K::Method).result, Variant("F2"));
}

}  // namespace
}  // namespace quorlane::test
