#include "automation/json_values.h"

#include <gtest/gtest.h>

#include "automation/json_input.h"
#include "db/connection_text.h"
#include "support/failure_text.h"

namespace quorlane::automation {
namespace {

template <class F>
std::string request_error_of(F&& f) {
  return test::failure_of<RequestError>(f);
}

// (The text forms, written and read, the end-to-end scripts show.)
TEST(JsonDates, ReadAsSerialDayNumbersAndRefusedWhenNoDate) {
  EXPECT_EQ(date_from_json(Json(46361), "x"), Date{46361});
  EXPECT_EQ(date_from_json(Json(46361.5), "x"), Date{46361.5});
  EXPECT_EQ(date_json_text(date_from_json(Json(46361.4375), "x")), "2026-12-05T10:30:00");
  const std::string expected =
      "\"clock\" must be a date: \"YYYY-MM-DD\", \"YYYY-MM-DDTHH:MM:SS\" or a serial day number";
  EXPECT_EQ(request_error_of([] { date_from_json(Json("2026-02-30"), "\"clock\""); }), expected);
  EXPECT_EQ(request_error_of([] { date_from_json(Json(true), "\"clock\""); }), expected);
}

TEST(JsonRecords, NestedRecordsMissingFieldsAndUserDefVerbatim) {
  Json j = Json::parse(R"({
    "Ct_Folio": "F1", "Ct_Fecha": "2026-12-05T10:30:00", "Ct_Tipo_Cambio": 17.25,
    "Cliente": {"Cl_Cve_Cliente": "C1", "Cl_Dias_Credito": 30,
                "Segmento": {"Sg_Cve_Segmento": "SG", "UserDef": "{\"a\": [1, 2]}  "},
                "Cadena_Comercial": {"Cc_Cve_Cadena_Comercia": "CC", "Cc_Limite_Credito": 1e6}},
    "Vendedor": {"Vn_Cve_Vendedor": "V1"},
    "Zona": null
  })");
  tCtEncabezado h = record_from_json<tCtEncabezado>(j);
  EXPECT_EQ(h.Ct_Fecha, make_date(2026, 12, 5, 10, 30, 0));
  EXPECT_EQ(h.Cliente.Segmento.UserDef.data, "{\"a\": [1, 2]}  ");
  EXPECT_EQ(h.Zona, tCtZona{});

  // Written back, each field as it was given. (Every field in declared order, nested records as
  // objects, the end-to-end scripts show in the records they read back.)
  Json back = record_to_json(h);
  Json given = j.flatten(), written = back.flatten();
  for (auto it = given.begin(); it != given.end(); ++it)
    if (!it->is_null()) {
      EXPECT_EQ(written[it.key()], *it) << it.key();
    }
  EXPECT_EQ(back["Cliente"]["Segmento"].dump(),
            R"({"Sg_Cve_Segmento":"SG","Sg_Centro_Costo":"","Sg_Cuenta_Contable":"",)"
            R"("UserDef":"{\"a\": [1, 2]}  "})");
  EXPECT_EQ(record_from_json<tCtEncabezado>(back), h);

  tCtDetalle d = record_from_json<tCtDetalle>(Json::parse(
      R"({"Producto": {"Pr_Cve_Producto": "P1", "Proveedor": {"Pv_Cve_Proveedor": "PV"}},
                      "Ct_Cantidad_1": 2, "Ct_UserDef": "raw bytes \u00e9"})"));
  EXPECT_EQ(d.Producto.Proveedor.Pv_Cve_Proveedor, "PV");
  EXPECT_EQ(d.Ct_Cantidad_1, 2);
  EXPECT_EQ(d.Ct_UserDef.data, "raw bytes é");
  EXPECT_EQ(record_to_json(d)["Ct_UserDef"], "raw bytes é");
}

TEST(JsonRecords, UnknownKeysAndWrongKindsAreNamed) {
  const std::pair<const char*, const char*> headers[] = {
      {R"({"Folio":"F"})", "unknown field \"Folio\" in tCtEncabezado"},
      {R"({"Cliente":{"Segmento":{"Sg_Clave":"x"}}})",
       "unknown field \"Cliente.Segmento.Sg_Clave\" in tCtEncabezado"},
      // tCtVendedor has no UserDef.
      {R"({"Vendedor":{"UserDef":""}})", "unknown field \"Vendedor.UserDef\" in tCtEncabezado"},
      {R"({"Ct_Tipo_Cambio":"1"})", "field \"Ct_Tipo_Cambio\" must be a number"},
      {R"({"Cliente":{"Cl_Dias_Credito":40000}})",
       "field \"Cliente.Cl_Dias_Credito\" must be a whole number from -32768 to 32767"},
      {R"({"Sucursal":"S1"})", "field \"Sucursal\" must be a JSON object (a tCtSucursal record)"}};
  for (const auto& [json, error] : headers) {
    const std::string text = json;  // lambdas may not capture bindings (clang 14)
    EXPECT_EQ(request_error_of([&] { record_from_json<tCtEncabezado>(Json::parse(text)); }), error);
  }
  EXPECT_EQ(
      request_error_of([] { record_from_json<tCtDetalle>(Json::parse(R"({"Ct_UserDef":{}})")); }),
      "field \"Ct_UserDef\" (UserDef, kept verbatim) must be a string");
  EXPECT_EQ(request_error_of([] { record_from_json<tCtDetalle>(Json::parse("[]")); }),
            "tCtDetalle must be a JSON object (a tCtDetalle record)");
}

TEST(JsonVariants, EachKindTakesOnlyItsOwnJsonAndIsWrittenBack) {
  EXPECT_EQ(variant_from_json(ValueKind::Number, Json(2), "v"), Variant(2.0));
  EXPECT_EQ(variant_from_json(ValueKind::Any, Json(nullptr), "v"), Variant::null());
  EXPECT_EQ(variant_from_json(ValueKind::Any, Json(1.5), "v"), Variant(1.5));
  const std::tuple<ValueKind, Json, const char*> refused[] = {
      {ValueKind::Text, Json(5), "the value of Folio must be a string"},
      {ValueKind::Boolean, Json(-1), "the value of Folio must be true or false"},
      {ValueKind::Number, Json("2"), "the value of Folio must be a number"},
      {ValueKind::Any, Json::array(),
       "the value of Folio must be a string, a number, true, false or null"}};
  for (const auto& [kind, json, error] : refused) {
    const ValueKind k = kind;  // lambdas may not capture bindings (clang 14)
    const Json& j = json;
    EXPECT_EQ(request_error_of([&] { variant_from_json(k, j, "the value of Folio"); }), error);
  }

  Variant promo = variant_from_json(ValueKind::Promocion,
                                    Json::parse(R"({"Pr_Cve_Producto":"P2","Cantidad":3})"), "p");
  ASSERT_NE(promo.record_as<tPromocion>(), nullptr);
  EXPECT_EQ(
      variant_to_json(promo).dump(),
      R"({"Pr_Cve_Producto":"P2","Tl_Cve_Talla":"","Cl_Cve_Color":"","Cantidad":3,)"
      R"("Un_Cve_Unidad":"","Pm_Folio":"","Pm_Descripcion":"","Pm_Texto_1":"","Pm_Texto_2":""})");

  const std::pair<Variant, const char*> written[] = {
      {Variant(), "null"},
      {Variant::null(), "null"},
      {Variant(-0.125), "-0.125"},
      {Variant(int16_t{-1}), "-1"},
      {Variant(false), "false"},
      {Variant(make_date(2026, 12, 5)), "\"2026-12-05\""},
      {Variant(static_cast<IDispatch*>(nullptr)), R"({"object":null})"}};
  for (const auto& [value, json] : written) EXPECT_EQ(variant_to_json(value).dump(), json);
}

// A problem found while reading names the value being read: the element of an array that is
// open around it already counts, the one being read does not yet.
TEST(JsonInput, ProblemsNameTheValueBeingReadAndNestingIsBounded) {
  auto problem_of = [](const std::string& text) {
    try {
      parse_json_input(text);
    } catch (const JsonInputError& e) {
      return e.path() + " | " + e.problem();
    }
    return std::string("read");
  };
  EXPECT_EQ(problem_of(R"({"lines": [{}, {"a": 1, "Ct_Cantidad_1": 1e400}]})"),
            "lines[1].Ct_Cantidad_1 | number out of range");
  EXPECT_EQ(problem_of(R"([[1], [2, -1e999]])"), "[1][1] | number out of range");
  EXPECT_EQ(problem_of(R"({"a.b": {"": 1E+400}})"), R"("a.b"."" | number out of range)");
  EXPECT_EQ(problem_of(std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']')), "read");
  EXPECT_EQ(problem_of(std::string(kMaxJsonDepth, '[') + "{}" + std::string(kMaxJsonDepth, ']')),
            " | nested more than 64 levels deep");
  EXPECT_EQ(problem_of("\xEF\xBB\xBF{\"a\": \"\xC3\xA9\"}"), "read");  // a UTF-8 mark is allowed
  EXPECT_EQ(problem_of("{\"a\": \"\xED\xA0\x80\"}"),                   // a surrogate is no UTF-8
            " | not UTF-8: byte 0xED at line 1, column 8 (Latin-1 or Windows-1252 text?); convert "
            "it to UTF-8");
  EXPECT_EQ(problem_of("{\"a\": 1,}").rfind(" | not JSON: parse error at line 1, column 9", 0), 0u);
  // A repeated key keeps its last value, as the library's own reader does.
  EXPECT_EQ(parse_json_input(R"({"a": 1, "b": [true], "a": null})"),
            Json::parse(R"({"a": null, "b": [true]})"));
}

TEST(ConnectionText, PasswordsAreHiddenWhateverTheirCaseOrQuoting) {
  const std::pair<const char*, const char*> cases[] = {
      {"Driver={X};Uid=ana;Pwd=s3cret;Database=v", "Driver={X};Uid=ana;Pwd=***;Database=v"},
      {"DSN=v;PASSWORD = {a;b}}c};Port=1", "DSN=v;PASSWORD =***;Port=1"},
      {"uid=ana;pwd={unterminated;x", "uid=ana;pwd=***"},
      {"OldPwd=keep;password=last", "OldPwd=keep;password=***"},
      {"[08001] password=x; pwd = y", "[08001] password=***; pwd =***"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(db::without_passwords(text), shown) << text;
}

}  // namespace
}  // namespace quorlane::automation
