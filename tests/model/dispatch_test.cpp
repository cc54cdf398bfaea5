// Late binding of the three classes: the tables in binding order, by-name calls reaching the
// typed members, argument conversions and the refusals of arguments of the wrong kind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/cotizacion.h"
#include "model/properties.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using K = InvokeKind;

struct Entry {
  std::string name;
  K kind;
  int args;
  friend bool operator==(const Entry&, const Entry&) = default;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
  return os << e.name << "/" << static_cast<int>(e.kind) << "/" << e.args;
}

std::vector<Entry> entries(const DispatchTable& table) {
  std::vector<Entry> out;
  for (const DispatchMember& m : table) out.push_back({m.name, m.kind, m.arg_count});
  return out;
}

std::vector<Entry> property_entries(const std::vector<std::string>& names) {
  std::vector<Entry> out;
  for (const std::string& n : names) {
    out.push_back({n, K::PropertyPut, 1});
    out.push_back({n, K::PropertyGet, 0});
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

TEST(Binding, QuoteMembersStandInTheBindingOrder) {
  const std::vector<Entry> expected = {{"Agregar_Promociones", K::PropertyPut, 1},
                                       {"Agregar_Promociones", K::PropertyGet, 0},
                                       {"Folio", K::PropertyPut, 1},
                                       {"Folio", K::PropertyGet, 0},
                                       {"Error", K::PropertyGet, 0},
                                       {"Encabezado", K::PropertyGet, 0},
                                       {"Encabezado", K::PropertyPut, 1},
                                       {"Detalle", K::PropertyGet, 0},
                                       {"Detalle", K::PropertyPut, 1},
                                       {"Nuevo", K::Method, 0},
                                       {"Add_Cotizacion_Detalle", K::Method, 0},
                                       {"Eliminar_Cotizacion", K::Method, 1},
                                       {"Cancelar_Cotizacion", K::Method, 1},
                                       {"Autorizar_Cotizacion", K::Method, 1},
                                       {"Rechazar_Cotizacion", K::Method, 1},
                                       {"Finalizar_Cotizacion", K::Method, 1},
                                       {"Folio2", K::PropertyPut, 1},
                                       {"Folio2", K::PropertyGet, 0},
                                       {"Encabezado2", K::PropertyGet, 0},
                                       {"Encabezado2", K::PropertyPutRef, 1},
                                       {"Detalle2", K::PropertyGet, 0},
                                       {"Detalle2", K::PropertyPutRef, 1},
                                       {"Add_Cotizacion_Detalle2", K::Method, 0}};
  EXPECT_EQ(entries(Cotizacion::dispatch_table()), expected);

  std::vector<Entry> listed;
#define LISTED_PUT(name, kind) listed.push_back({#name, K::PropertyPut, 1});
#define LISTED_GET(name, kind) listed.push_back({#name, K::PropertyGet, 0});
#define LISTED_PUTREF(name, kind) listed.push_back({#name, K::PropertyPutRef, 1});
#define LISTED_CALL(name, kind, folios) listed.push_back({#name, K::Method, folios});
  QL_COTIZACION_MEMBERS(LISTED_PUT, LISTED_GET, LISTED_PUTREF, LISTED_CALL)
#undef LISTED_PUT
#undef LISTED_GET
#undef LISTED_PUTREF
#undef LISTED_CALL
  EXPECT_EQ(listed, expected);
}

TEST(Binding, PropertyClassesListEachSetterThenGetterInOrder) {
  EXPECT_EQ(
      entries(cCtEncabezado::dispatch_table()),
      property_entries({"Ct_Folio", "Ct_Fecha", "Ct_Tabla", "Ct_Documento", "Ct_Referencia",
                        "Ct_Atencion", "Ct_Comentario", "Ct_Condicion_Venta", "Mn_Cve_Moneda",
                        "Ct_Tipo_Cambio", "Ct_Descuento_Global_Cuenta_Contable",
                        "Ct_Descuento_Global_Factor", "Ct_Descuento_Global_Importe", "Zn_Cve_Zona",
                        "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Cl_Cve_Cliente", "Vn_Cve_Vendedor"}));
  EXPECT_EQ(entries(cCtDetalle::dispatch_table()), property_entries({"Ct_ID",
                                                                     "Ct_Partida",
                                                                     "Ct_Partida_Descripcion",
                                                                     "Pr_Cve_Producto",
                                                                     "Pr_Tipo_Producto",
                                                                     "Pr_Tipo_Costeo",
                                                                     "Tl_Cve_Talla",
                                                                     "Cl_Cve_Color",
                                                                     "Ct_Cantidad_1",
                                                                     "Ct_Unidad_1",
                                                                     "Ct_Cantidad_Control_1",
                                                                     "Ct_Unidad_Control_1",
                                                                     "Ct_Cantidad_Control_2",
                                                                     "Ct_Unidad_Control_2",
                                                                     "Ct_Cantidad_Costo",
                                                                     "Ct_Unidad_Costo",
                                                                     "Ct_Costo",
                                                                     "Ct_Costo_Importe",
                                                                     "Pr_Folio",
                                                                     "Ct_Precio_Lista",
                                                                     "Ct_Precio_Lista_Importe",
                                                                     "Ct_Descuento_Factor",
                                                                     "Ct_Descuento_Importe",
                                                                     "Ct_Precio_Descontado",
                                                                     "Ct_Precio_Descontado_Importe",
                                                                     "Ct_Impuesto_Factor",
                                                                     "Ct_Impuesto_Importe",
                                                                     "Ct_Precio_Neto",
                                                                     "Ct_Precio_Neto_Importe",
                                                                     "Ct_Concepto",
                                                                     "Ct_Almacen_Inventario",
                                                                     "Ct_Sucursal_Inventario",
                                                                     "Ct_Cuota"}));
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
    note("get Encabezado");
    tCtEncabezado h;
    h.Ct_Folio = "H1";
    return h;
  }
  void put_Encabezado(const tCtEncabezado& v) override { note("put Encabezado", v.Ct_Folio); }
  tCtDetalle get_Detalle() override {
    note("get Detalle");
    tCtDetalle d;
    d.Ct_ID = "D1";
    return d;
  }
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

  EXPECT_EQ(call(q, "Agregar_Promociones", K::PropertyPut, {Variant(int32_t{-1})}).hr, S_OK);
  EXPECT_EQ(call(q, "Agregar_Promociones", K::PropertyGet).result, Variant(true));
  EXPECT_EQ(call(q, "Folio", K::PropertyPut, {Variant(12.0)}).hr, S_OK);
  EXPECT_EQ(call(q, "Folio", K::PropertyGet).result, Variant("F1"));
  EXPECT_EQ(call(q, "Error", K::PropertyGet).result, Variant("E1"));
  Call header_record = call(q, "Encabezado", K::PropertyGet);
  ASSERT_NE(header_record.result.record_as<tCtEncabezado>(), nullptr);
  EXPECT_EQ(header_record.result.record_as<tCtEncabezado>()->Ct_Folio, "H1");
  EXPECT_EQ(call(q, "Encabezado", K::PropertyPut, {Variant::record(h)}).hr, S_OK);
  Call line_record = call(q, "Detalle", K::PropertyGet);
  ASSERT_NE(line_record.result.record_as<tCtDetalle>(), nullptr);
  EXPECT_EQ(line_record.result.record_as<tCtDetalle>()->Ct_ID, "D1");
  EXPECT_EQ(call(q, "Detalle", K::PropertyPut, {Variant::record(d)}).hr, S_OK);
  Call nuevo = call(q, "Nuevo", K::Method);
  EXPECT_EQ(nuevo.hr, S_OK);
  EXPECT_TRUE(nuevo.result.is_empty());
  EXPECT_EQ(call(q, "Add_Cotizacion_Detalle", K::Method).result, Variant(true));
  for (const char* member : {"Eliminar_Cotizacion", "Cancelar_Cotizacion", "Autorizar_Cotizacion",
                             "Rechazar_Cotizacion", "Finalizar_Cotizacion"}) {
    std::vector<Variant> args{Variant(int32_t{77})};
    Call c = call(q, member, K::Method, args);
    EXPECT_EQ(c.result, Variant(true)) << member;
    EXPECT_EQ(args[0], Variant("ESCRITO-77")) << member;  // by reference: written back as text
  }
  EXPECT_EQ(call(q, "Folio2", K::PropertyPut, {Variant("F-9")}).hr, S_OK);
  EXPECT_EQ(call(q, "Folio2", K::PropertyGet).result, Variant("F2"));
  Call header_object = call(q, "Encabezado2", K::PropertyGet);
  EXPECT_EQ(header_object.result.kind(), Variant::Kind::Object);
  EXPECT_EQ(header_object.result.object(), static_cast<IDispatch*>(q.header.get()));
  EXPECT_EQ(call(q, "Encabezado2", K::PropertyPutRef, {Variant(q.header.get())}).hr, S_OK);
  EXPECT_EQ(call(q, "Detalle2", K::PropertyGet).result.object(),
            static_cast<IDispatch*>(q.line.get()));
  EXPECT_EQ(call(q, "Detalle2", K::PropertyPutRef, {Variant(q.line.get())}).hr, S_OK);
  EXPECT_EQ(call(q, "Add_Cotizacion_Detalle2", K::Method).result, Variant(false));

  EXPECT_EQ(q.log, (std::vector<std::string>{"put Agregar_Promociones T",
                                             "get Agregar_Promociones",
                                             "put Folio 12",
                                             "get Folio",
                                             "get Error",
                                             "get Encabezado",
                                             "put Encabezado HX",
                                             "get Detalle",
                                             "put Detalle DX",
                                             "Nuevo",
                                             "Add_Cotizacion_Detalle",
                                             "Eliminar_Cotizacion 77",
                                             "Cancelar_Cotizacion 77",
                                             "Autorizar_Cotizacion 77",
                                             "Rechazar_Cotizacion 77",
                                             "Finalizar_Cotizacion 77",
                                             "put Folio2 F-9",
                                             "get Folio2",
                                             "get Encabezado2",
                                             "putref Encabezado2 header",
                                             "get Detalle2",
                                             "putref Detalle2 line",
                                             "Add_Cotizacion_Detalle2"}));
}

TEST_F(LateBinding, ArgumentsOfTheWrongKindAreRefusedBeforeTheMemberRuns) {
  LoggingQuote q;
  Ref<_cCtEncabezado> header = create_cCtEncabezado();
  Ref<_cCtDetalle> line = create_cCtDetalle();
  tCtEncabezado h;
  tCtDetalle d;
  struct Case {
    const char* member;
    K kind;
    Variant value;
  };
  const Case cases[] = {
      {"Agregar_Promociones", K::PropertyPut, Variant("quizá")},
      {"Agregar_Promociones", K::PropertyPut, Variant::null()},
      {"Folio", K::PropertyPut, Variant::record(h)},
      {"Folio2", K::PropertyPut, Variant(static_cast<IDispatch*>(header.get()))},
      {"Encabezado", K::PropertyPut, Variant::record(d)},
      {"Encabezado", K::PropertyPut, Variant("HX")},
      {"Detalle", K::PropertyPut, Variant::record(h)},
      {"Encabezado2", K::PropertyPutRef, Variant(static_cast<IDispatch*>(line.get()))},
      {"Encabezado2", K::PropertyPutRef, Variant(static_cast<IDispatch*>(nullptr))},
      {"Detalle2", K::PropertyPutRef, Variant(static_cast<IDispatch*>(header.get()))},
      {"Detalle2", K::PropertyPutRef, Variant::record(d)},
      {"Eliminar_Cotizacion", K::Method, Variant::record(h)},
      {"Finalizar_Cotizacion", K::Method, Variant::null()},
  };
  for (const Case& c : cases) {
    std::vector<Variant> args{c.value};
    Call r = call(q, c.member, c.kind, args);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH) << c.member << " " << debug_text(c.value);
    EXPECT_NE(r.error.find(c.member), std::string::npos) << r.error;
    EXPECT_EQ(args[0], c.value) << c.member;  // a refused folio is not written back
  }
  EXPECT_TRUE(q.log.empty());

  EXPECT_EQ(call(*line, "Ct_Cantidad_1", K::PropertyPut, {Variant("diez")}).hr,
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(call(*line, "Ct_Concepto", K::PropertyPut, {Variant::record(d)}).hr,
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(call(*header, "Ct_Fecha", K::PropertyPut, {Variant("2026-02-30")}).hr,
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(call(*header, "Ct_Fecha", K::PropertyPut, {Variant(true)}).hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(line->get_Ct_Cantidad_1(), 0);
  EXPECT_EQ(header->get_Ct_Fecha(), Date{0});
}

TEST_F(LateBinding, WrongNamesFormsAndCountsAreRefused) {
  LoggingQuote q;
  EXPECT_EQ(call(q, "Error", K::PropertyPut, {Variant("x")}).hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(q, "Encabezado2", K::PropertyPut, {Variant("x")}).hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(q, "Nuevo", K::Method, {Variant("x")}).hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(q, "Eliminar_Cotizacion", K::Method).hr, DISP_E_BADPARAMCOUNT);
  int32_t id = 0;
  EXPECT_EQ(q.GetIDsOfNames("Agregar_Promocion", &id), DISP_E_UNKNOWNNAME);
  EXPECT_TRUE(q.log.empty());

  // Names are found without regard to case; a setter and its getter share one id; a getter may
  // be called as a method.
  int32_t lower = 0, exact = 0;
  EXPECT_EQ(q.GetIDsOfNames("folio2", &lower), S_OK);
  EXPECT_EQ(q.GetIDsOfNames("Folio2", &exact), S_OK);
  EXPECT_EQ(lower, exact);
  EXPECT_EQ(call(q, "FOLIO2", K::Method).result, Variant("F2"));
}

TEST_F(LateBinding, QuoteByNameReadsAndWritesTheSameStateAsTheTypedMembers) {
  Ref<_Cotizacion> quote = create_Cotizacion();
  EXPECT_EQ(call(*quote, "Folio", K::PropertyPut, {Variant("CT-1")}).hr, S_OK);
  EXPECT_EQ(quote->get_Folio(), "CT-1");
  EXPECT_EQ(call(*quote, "Agregar_Promociones", K::PropertyPut, {Variant("True")}).hr, S_OK);
  EXPECT_TRUE(quote->get_Agregar_Promociones());
  EXPECT_EQ(call(*quote, "Agregar_Promociones", K::PropertyGet).result, Variant(true));
  Call record = call(*quote, "Encabezado", K::PropertyGet);
  ASSERT_NE(record.result.record_as<tCtEncabezado>(), nullptr);
  EXPECT_EQ(record.result.record_as<tCtEncabezado>()->Ct_Folio, "CT-1");

  // The object that Encabezado2 gives is the quote's own: its Ct_Folio is Folio2.
  Call object = call(*quote, "Encabezado2", K::PropertyGet);
  ASSERT_EQ(object.result.kind(), Variant::Kind::Object);
  EXPECT_EQ(object.result.object(), static_cast<IDispatch*>(quote->get_Encabezado2().get()));
  EXPECT_EQ(call(*object.result.object(), "Ct_Folio", K::PropertyPut, {Variant("CT-2")}).hr, S_OK);
  EXPECT_EQ(call(*quote, "Folio2", K::PropertyGet).result, Variant("CT-2"));
  EXPECT_EQ(call(*quote, "Folio", K::PropertyGet).result, Variant("CT-1"));

  // A failure inside a member reaches the late-bound client with its description.
  boundary->fail("cDatos", "Fecha_Servidor", 1, "Sin conexión con el servidor");
  Call nuevo = call(*quote, "Nuevo", K::Method);
  EXPECT_EQ(nuevo.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(nuevo.error, "Sin conexión con el servidor");
}

TEST_F(LateBinding, PropertyObjectsKeepWhateverIsLetIntoThemByName) {
  Ref<_cCtDetalle> line = create_cCtDetalle();
  std::vector<std::pair<std::string, bool>> properties;  // name, whether it is a number
#define QL_LISTED(name, kind, type) properties.push_back({#name, std::string(#kind) == "NUM"});
  QL_CCTDETALLE_PROPERTIES(QL_LISTED)
#undef QL_LISTED
  // Each property gets a value of its own, given as text, and reads back in its own kind.
  for (size_t i = 0; i < properties.size(); ++i) {
    const auto& [name, number] = properties[i];
    std::string text = number ? "-" + std::to_string(i) + ".5" : "v" + std::to_string(i);
    EXPECT_EQ(call(*line, name, K::PropertyPut, {Variant(text)}).hr, S_OK) << name;
  }
  for (size_t i = 0; i < properties.size(); ++i) {
    const auto& [name, number] = properties[i];
    Variant expected =
        number ? Variant(-(static_cast<double>(i) + 0.5)) : Variant("v" + std::to_string(i));
    EXPECT_EQ(call(*line, name, K::PropertyGet).result, expected) << name;
  }
  EXPECT_EQ(line->get_Ct_Cantidad_1(), -8.5);
  EXPECT_EQ(line->get_Pr_Cve_Producto(), "v3");
  EXPECT_EQ(line->get_Ct_Cuota(), -32.5);

  // Empty keys and negative numbers are kept as given: the class checks nothing.
  EXPECT_EQ(call(*line, "Pr_Cve_Producto", K::PropertyPut, {Variant("")}).hr, S_OK);
  EXPECT_EQ(call(*line, "Ct_Cantidad_Control_1", K::PropertyPut, {Variant(-4.0)}).hr, S_OK);
  EXPECT_EQ(line->get_Pr_Cve_Producto(), "");
  EXPECT_EQ(line->get_Ct_Cantidad_Control_1(), -4.0);

  Ref<_cCtEncabezado> header = create_cCtEncabezado();
  EXPECT_EQ(call(*header, "ct_fecha", K::PropertyPut, {Variant("2026-12-05T08:15:00")}).hr, S_OK);
  EXPECT_EQ(header->get_Ct_Fecha(), make_date(2026, 12, 5, 8, 15, 0));
  EXPECT_EQ(call(*header, "Ct_Fecha", K::PropertyGet).result,
            Variant(make_date(2026, 12, 5, 8, 15, 0)));
  header->put_Ct_Tipo_Cambio(17.25);
  EXPECT_EQ(call(*header, "Ct_Tipo_Cambio", K::PropertyGet).result, Variant(17.25));
}

}  // namespace
}  // namespace quorlane::test
