#include "automation/json_values.h"

#include <gtest/gtest.h>

#include <functional>

namespace quorlane::automation {
namespace {

std::string request_error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RequestError& e) {
    return e.what();
  }
  return "(no request error)";
}

TEST(JsonDates, WrittenWithoutTimeAtMidnightAndReadInEveryForm) {
  EXPECT_EQ(date_json_text(make_date(2026, 12, 5)), "2026-12-05");
  EXPECT_EQ(date_json_text(make_date(2026, 12, 5, 10, 30, 0)), "2026-12-05T10:30:00");
  EXPECT_EQ(date_json_text(Date{0}), "1899-12-30");

  EXPECT_EQ(date_from_json(Json("2026-12-05"), "x"), make_date(2026, 12, 5));
  EXPECT_EQ(date_from_json(Json("2026-12-05T10:30:00"), "x"), make_date(2026, 12, 5, 10, 30, 0));
  EXPECT_EQ(date_from_json(Json(46361), "x"), Date{46361});
  EXPECT_EQ(date_from_json(Json(46361.5), "x"), Date{46361.5});
  EXPECT_EQ(date_json_text(date_from_json(Json(46361.4375), "x")), "2026-12-05T10:30:00");

  const std::string expected =
      "\"clock\" must be a date: \"YYYY-MM-DD\", \"YYYY-MM-DDTHH:MM:SS\" or a serial day number";
  EXPECT_EQ(request_error_of([] { date_from_json(Json("2026-02-30"), "\"clock\""); }), expected);
  EXPECT_EQ(request_error_of([] { date_from_json(Json("mañana"), "\"clock\""); }), expected);
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
  EXPECT_EQ(h.Ct_Folio, "F1");
  EXPECT_EQ(h.Ct_Fecha, make_date(2026, 12, 5, 10, 30, 0));
  EXPECT_EQ(h.Ct_Tipo_Cambio, 17.25);
  EXPECT_EQ(h.Cliente.Cl_Cve_Cliente, "C1");
  EXPECT_EQ(h.Cliente.Cl_Dias_Credito, 30);
  EXPECT_EQ(h.Cliente.Segmento.Sg_Cve_Segmento, "SG");
  EXPECT_EQ(h.Cliente.Segmento.UserDef.data, "{\"a\": [1, 2]}  ");
  EXPECT_EQ(h.Cliente.Cadena_Comercial.Cc_Limite_Credito, 1e6);
  EXPECT_EQ(h.Vendedor.Vn_Cve_Vendedor, "V1");
  // Missing fields: empty, 0, date 0.
  EXPECT_EQ(h.Ct_Tabla, "");
  EXPECT_EQ(h.Ct_Descuento_Global_Factor, 0);
  EXPECT_EQ(h.Zona, tCtZona{});
  EXPECT_EQ(h.Cliente.Ruta, tCtRuta{});

  // Written back: every field, in declared order, nested records as objects.
  Json back = record_to_json(h);
  EXPECT_EQ(back["Cliente"]["Segmento"].dump(),
            R"({"Sg_Cve_Segmento":"SG","Sg_Centro_Costo":"","Sg_Cuenta_Contable":"",)"
            R"("UserDef":"{\"a\": [1, 2]}  "})");
  EXPECT_EQ(back["Vendedor"].dump(),
            R"({"Vn_Cve_Vendedor":"V1","Vn_Centro_Costo":"","Vn_Cuenta_Contable":""})");
  EXPECT_EQ(back["Ct_Fecha"], "2026-12-05T10:30:00");
  EXPECT_EQ(back["Ct_Tipo_Cambio"].dump(), "17.25");
  EXPECT_EQ(back["Ct_Descuento_Global_Factor"].dump(), "0");
  EXPECT_EQ(back.begin().key(), "Ct_Folio");
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
  EXPECT_EQ(
      request_error_of([] { record_from_json<tCtEncabezado>(Json::parse(R"({"Folio":"F"})")); }),
      "unknown field \"Folio\" in tCtEncabezado");
  EXPECT_EQ(request_error_of([] {
              record_from_json<tCtEncabezado>(
                  Json::parse(R"({"Cliente":{"Segmento":{"Sg_Clave":"x"}}})"));
            }),
            "unknown field \"Cliente.Segmento.Sg_Clave\" in tCtEncabezado");
  // tCtVendedor has no UserDef.
  EXPECT_EQ(request_error_of([] {
              record_from_json<tCtEncabezado>(Json::parse(R"({"Vendedor":{"UserDef":""}})"));
            }),
            "unknown field \"Vendedor.UserDef\" in tCtEncabezado");
  EXPECT_EQ(request_error_of(
                [] { record_from_json<tCtEncabezado>(Json::parse(R"({"Ct_Tipo_Cambio":"1"})")); }),
            "field \"Ct_Tipo_Cambio\" must be a number");
  EXPECT_EQ(
      request_error_of([] {
        record_from_json<tCtEncabezado>(Json::parse(R"({"Cliente":{"Cl_Dias_Credito":40000}})"));
      }),
      "field \"Cliente.Cl_Dias_Credito\" must be a whole number from -32768 to 32767");
  EXPECT_EQ(request_error_of(
                [] { record_from_json<tCtEncabezado>(Json::parse(R"({"Sucursal":"S1"})")); }),
            "field \"Sucursal\" must be a JSON object (a tCtSucursal record)");
  EXPECT_EQ(
      request_error_of([] { record_from_json<tCtDetalle>(Json::parse(R"({"Ct_UserDef":{}})")); }),
      "field \"Ct_UserDef\" (UserDef, kept verbatim) must be a string");
  EXPECT_EQ(request_error_of([] { record_from_json<tCtDetalle>(Json::parse("[]")); }),
            "tCtDetalle must be a JSON object (a tCtDetalle record)");
}

TEST(JsonVariants, EachKindTakesOnlyItsOwnJson) {
  EXPECT_EQ(variant_from_json(ValueKind::Text, Json("F1"), "v"), Variant("F1"));
  EXPECT_EQ(variant_from_json(ValueKind::Number, Json(2), "v"), Variant(2.0));
  EXPECT_EQ(variant_from_json(ValueKind::Boolean, Json(true), "v"), Variant(true));
  EXPECT_EQ(variant_from_json(ValueKind::Date, Json("2026-12-05"), "v"),
            Variant(make_date(2026, 12, 5)));
  EXPECT_EQ(variant_from_json(ValueKind::Any, Json(nullptr), "v"), Variant::null());
  EXPECT_EQ(variant_from_json(ValueKind::Any, Json(1.5), "v"), Variant(1.5));
  EXPECT_EQ(
      request_error_of([] { variant_from_json(ValueKind::Text, Json(5), "the value of Folio"); }),
      "the value of Folio must be a string");
  EXPECT_EQ(request_error_of([] { variant_from_json(ValueKind::Boolean, Json(-1), "b"); }),
            "b must be true or false");
  EXPECT_EQ(request_error_of([] { variant_from_json(ValueKind::Number, Json("2"), "n"); }),
            "n must be a number");
  EXPECT_EQ(request_error_of([] { variant_from_json(ValueKind::Any, Json::array(), "a"); }),
            "a must be a string, a number, true, false or null");

  Variant promo = variant_from_json(ValueKind::Promocion,
                                    Json::parse(R"({"Pr_Cve_Producto":"P2","Cantidad":3})"), "p");
  ASSERT_NE(promo.record_as<tPromocion>(), nullptr);
  EXPECT_EQ(promo.record_as<tPromocion>()->Pr_Cve_Producto, "P2");
  EXPECT_EQ(promo.record_as<tPromocion>()->Cantidad, 3);
  EXPECT_EQ(
      variant_to_json(promo).dump(),
      R"({"Pr_Cve_Producto":"P2","Tl_Cve_Talla":"","Cl_Cve_Color":"","Cantidad":3,)"
      R"("Un_Cve_Unidad":"","Pm_Folio":"","Pm_Descripcion":"","Pm_Texto_1":"","Pm_Texto_2":""})");

  EXPECT_EQ(variant_to_json(Variant()).dump(), "null");
  EXPECT_EQ(variant_to_json(Variant::null()).dump(), "null");
  EXPECT_EQ(variant_to_json(Variant(2.0)).dump(), "2");
  EXPECT_EQ(variant_to_json(Variant(-0.125)).dump(), "-0.125");
  EXPECT_EQ(variant_to_json(Variant(int16_t{-1})).dump(), "-1");
  EXPECT_EQ(variant_to_json(Variant(false)).dump(), "false");
  EXPECT_EQ(variant_to_json(Variant(make_date(2026, 12, 5))).dump(), "\"2026-12-05\"");
  EXPECT_EQ(variant_to_json(Variant(static_cast<IDispatch*>(nullptr))).dump(),
            R"({"object":null})");
}

}  // namespace
}  // namespace quorlane::automation
