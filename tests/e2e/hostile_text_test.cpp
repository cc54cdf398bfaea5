// Hostile text. Every text that a client or the catalogue hands the component (the header's
// texts and keys, the line's texts and keys, the catalogue's keys and descriptions, the folio
// series, the operator, the server id and the promotion comment) holds apostrophes, an SQL
// injection, "ISNULL(", "DELETE", line breaks, non-Latin characters or 10,000 characters. A
// quote built, finalised, authorised and cancelled from them stores every value exactly as
// given; a second one is deleted; a line whose item number is no number is refused with a clear
// message. No other row of any table changes. Every case runs on each test database: a SQLite
// file and a PostgreSQL schema.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "db/dialect.h"
#include "e2e/e2e_support.h"
#include "host/sql/schema.h"
#include "support/test_databases.h"

namespace quorlane::test {
namespace {

// ---------------------------------------------------------------- the texts

// 25 characters of apostrophes, SQL words, accents, non-Latin letters, an emoji and line breaks;
// 400 rounds of it make a text of 10,000 characters (not bytes).
const std::string kCycle = "O'Ñü東京🙂'); --\r\nISNULL(Ωעx";

std::string ten_thousand_characters() {
  std::string text;
  for (int i = 0; i < 400; ++i) text += kCycle;
  return text;
}

// A text, and the concept of the promotion line it gives: the promotion comment (the text), a
// blank and the gift's description ("Descripción R" and the text), cut to 100 characters on a
// record line and to 50 on an object line, without blanks at either end.
struct Hostile {
  std::string name;
  std::string text;
  std::string record_concept;
  std::string object_concept;
};

const std::vector<Hostile>& hostile_texts() {
  static const std::vector<Hostile> kTexts = {
      {"Apostrofos", "O'Brien '' '", "O'Brien '' ' Descripción RO'Brien '' '",
       "O'Brien '' ' Descripción RO'Brien '' '"},
      {"Inyeccion", "'); DROP TABLE Cotizacion; --",
       "'); DROP TABLE Cotizacion; -- Descripción R'); DROP TABLE Cotizacion; --",
       "'); DROP TABLE Cotizacion; -- Descripción R'); DRO"},
      {"IsNull", "ISNULL(", "ISNULL( Descripción RISNULL(", "ISNULL( Descripción RISNULL("},
      {"Delete", "DELETE", "DELETE Descripción RDELETE", "DELETE Descripción RDELETE"},
      {"SaltosDeLinea", "línea 1\r\nlínea 2\nlínea 3\r",
       "línea 1\r\nlínea 2\nlínea 3\r Descripción Rlínea 1\r\nlínea 2\nlínea 3\r",
       "línea 1\r\nlínea 2\nlínea 3\r Descripción Rlínea 1\r\nlí"},
      {"NoLatinos", " Ñandú Ωμέγα 東京 עברית 🙂 ",
       "Ñandú Ωμέγα 東京 עברית 🙂  Descripción R Ñandú Ωμέγα 東京 "
       "עברית "
       "🙂",
       "Ñandú Ωμέγα 東京 עברית 🙂  Descripción R Ñandú Ωμέγα"},
      // The text's first 100 characters are four rounds of its 25-character cycle.
      {"DiezMilCaracteres", ten_thousand_characters(), kCycle + kCycle + kCycle + kCycle,
       kCycle + kCycle},
  };
  return kTexts;
}

// ---------------------------------------------------------------- the test

using Param = std::tuple<TestEngine, bool, size_t>;

class HostileText : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    database = std::make_unique<TestDatabase>(std::get<0>(GetParam()));
    QUORLANE_REQUIRE_TEST_DATABASE(*database);
    object = std::get<1>(GetParam());
    v = hostile_texts()[std::get<2>(GetParam())].text;
    HostSettings settings = e2e_settings(database->setting());
    settings.operator_name = v;
    settings.server_id = v;
    installed = std::make_unique<InstalledHost>(settings);
    load_demo_catalogue(*installed->host->connection());
    load_hostile_catalogue();
  }

  void TearDown() override { installed.reset(); }

  // Runs a statement on the host's connection. PostgreSQL reports the columns of a query folded
  // to lower case; they are named as declared, as on SQLite, so that one expectation serves both.
  db::Rows run(const std::string& sql, const std::vector<Variant>& params = {}) {
    db::Rows rows = installed->database().run(sql, params);
    if (installed->database().engine() == db::Engine::PostgreSQL)
      db::unfold_column_names(sql, rows.columns, declared_column_names().get());
    return rows;
  }

  // A catalogue whose every key and text is the hostile text: branch (its server id too),
  // warehouse with sizes and colours, currency, seller, customer, sale condition, unit, the
  // product and the product its promotion gives, their size and colour, a cost, the promotion,
  // the folio series (so that the folios carry the text) and the promotion comment.
  void load_hostile_catalogue() {
    const Variant t(v), gift(gift_product());
    run("UPDATE Parametro SET Pa_Valor = ? WHERE Pa_Cve_Parametro = 'GEN_COMENTARIO_PROMOCION'",
        {t});
    run("INSERT INTO Sucursal (Sc_Cve_Sucursal, Sc_Descripcion, Sc_Servidor_Id, Es_Cve_Estado) "
        "VALUES (?, ?, ?, 'AC')",
        {t, t, t});
    run("INSERT INTO Almacen (Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, Al_Maneja_Tallas, "
        "Al_Maneja_Colores, Es_Cve_Estado) VALUES (?, ?, ?, 'SI', 'SI', 'AC')",
        {t, t, t});
    run("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion, Es_Cve_Estado) VALUES (?, ?, 'AC')",
        {t, t});
    run("INSERT INTO Vendedor (Vn_Cve_Vendedor, Vn_Descripcion, Es_Cve_Estado) "
        "VALUES (?, ?, 'AC')",
        {t, t});
    run("INSERT INTO Condicion_Venta (Cv_Cve_Condicion_Venta, Cv_Descripcion, Es_Cve_Estado) "
        "VALUES (?, ?, 'AC')",
        {t, t});
    run("INSERT INTO Cliente (Cl_Cve_Cliente, Cl_Descripcion, Cl_Bloqueado, Cl_Exento_Impuesto, "
        "Es_Cve_Estado) VALUES (?, ?, 'NO', 'NO', 'AC')",
        {t, t});
    run("INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion, Un_Permite_Fracciones, "
        "Es_Cve_Estado) VALUES (?, ?, 'NO', 'AC')",
        {t, t});
    for (const Variant& product : {t, gift}) {
      run("INSERT INTO Producto (Pr_Cve_Producto, Pr_Descripcion, Pr_Tipo_Producto, "
          "Pr_Tipo_Costeo, Pr_Unidad_Control_1, Pr_Unidad_Control_2, Pr_Unidad_Costo, "
          "Pr_Impuesto_Factor, Es_Cve_Estado) VALUES (?, ?, ?, ?, ?, ?, ?, 0.16, 'AC')",
          {product, Variant(description_of(product.raw_text())), t, t, t, t, t});
      run("INSERT INTO Producto_Talla_Color (Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color) "
          "VALUES (?, ?, ?)",
          {product, t, t});
    }
    run("INSERT INTO Costo (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, "
        "Cl_Cve_Color, Co_Costo) VALUES (?, ?, ?, ?, ?, 12.5)",
        {t, t, t, t, t});
    run("INSERT INTO Promocion (Pm_Folio, Pm_Descripcion, Sc_Cve_Sucursal, Pr_Cve_Producto, "
        "Un_Cve_Unidad, Pm_Cantidad_Minima, Pm_Producto_Regalo, Pm_Talla_Regalo, "
        "Pm_Color_Regalo, Pm_Cantidad_Regalo, Pm_Unidad_Regalo, Pm_Fecha_Inicio, Pm_Fecha_Fin, "
        "Es_Cve_Estado) VALUES (?, ?, ?, ?, ?, 10, ?, ?, ?, 1, ?, '2024-01-01', '2030-12-31', "
        "'AC')",
        {t, t, t, t, t, gift, t, t, t});
    run("INSERT INTO Folio (Sc_Cve_Sucursal, Fo_Tipo_Documento, Fo_Prefijo, Fo_Ultimo) "
        "VALUES (?, 'COTIZACION', ?, 0)",
        {t, t});

    // Bystanders: a stored quote of another folio, its registration, and extended descriptions
    // of that quote and of the quote that will be deleted.
    run("INSERT INTO Cotizacion (Ct_Folio, Ct_ID, Ct_Partida, Ct_Concepto, Pr_Cve_Producto, "
        "Es_Cve_Estado) VALUES ('Z''1', '0001', 1, 'Ajena', 'P1', 'AC')");
    run("INSERT INTO Cotizacion_Encabezado (Ct_Folio, Ct_Comentario, Es_Cve_Estado) "
        "VALUES ('Z''1', 'Ajena', 'AC')");
    run("INSERT INTO Documento_Registro (Dr_Tabla, Dr_Documento, Dr_ID) "
        "VALUES ('COTIZACION', 'Z''1', '')");
    for (const Variant& folio : {Variant("Z'1"), Variant(folio_of(2))})
      for (const char* tag : {"COTIZACION", "DETALLE_COTIZACION"})
        run("INSERT INTO Documento_Descripcion_Extendida (Dd_Tabla, Dd_Documento, Dd_ID, "
            "Dd_Descripcion) VALUES (?, ?, '0001', ?)",
            {Variant(tag), folio, t});
  }

  std::string gift_product() const { return "R" + v; }
  static std::string description_of(const std::string& product) { return "Descripción " + product; }
  // The n-th folio of the hostile branch's series: the text, then the number in ten digits.
  std::string folio_of(int n) const {
    std::string number = std::to_string(n);
    return v + std::string(10 - number.size(), '0') + number;
  }

  // Every text of the header: the keys name the hostile catalogue, the free texts carry the
  // hostile text behind a mark of their own, so that a text written into another column shows.
  void fill_header(QuoteShape& s) {
    s.set_date(H::Ct_Fecha, make_date(2026, 12, 5));
    s.set_text(H::Ct_Folio, "F:" + v);  // a header's folio is never taken
    s.set_text(H::Ct_Tabla, "T:" + v);
    s.set_text(H::Ct_Documento, "D:" + v);
    s.set_text(H::Ct_Referencia, "R:" + v);
    s.set_text(H::Ct_Atencion, "A:" + v);
    s.set_text(H::Ct_Comentario, "C:" + v);
    s.set_text(H::Ct_Condicion_Venta, v);
    s.set_text(H::Mn_Cve_Moneda, v);
    s.set_number(H::Ct_Tipo_Cambio, 1);
    s.set_text(H::Ct_Descuento_Global_Cuenta_Contable, "G:" + v);
    s.set_text(H::Zn_Cve_Zona, "Z:" + v);
    s.set_text(H::Sc_Cve_Sucursal, v);
    s.set_text(H::Al_Cve_Almacen, v);
    s.set_text(H::Cl_Cve_Cliente, v);
    s.set_text(H::Vn_Cve_Vendedor, v);
  }

  void fill_line(QuoteShape& s, const std::string& partida) {
    s.set_text(D::Ct_ID, "I:" + v);  // replaced by the line id
    s.set_text(D::Ct_Partida, partida);
    s.set_text(D::Ct_Partida_Descripcion, "PD:" + v);
    s.set_text(D::Pr_Cve_Producto, v);
    s.set_text(D::Tl_Cve_Talla, v);
    s.set_text(D::Cl_Cve_Color, v);
    s.set_number(D::Ct_Cantidad_1, 10);
    s.set_text(D::Ct_Unidad_1, v);
    s.set_number(D::Ct_Precio_Lista, 3);
    s.set_text(D::Pr_Folio, "PF:" + v);
    s.set_text(D::Ct_Concepto, "CO:" + v);
    s.set_text(D::Ct_Sucursal_Inventario, v);
    s.set_text(D::Ct_Almacen_Inventario, v);
  }

  // The rows of a table outside the given folios (or branch), for the comparison of before and
  // after.
  std::vector<std::string> rows_outside(const std::string& table, const std::string& column,
                                        const std::vector<std::string>& keys) {
    std::string sql = "SELECT * FROM " + table + " WHERE " + column + " NOT IN (";
    std::vector<Variant> params;
    for (const std::string& key : keys) {
      sql += params.empty() ? "?" : ", ?";
      params.emplace_back(key);
    }
    db::Rows rows = run(sql + ")", params);
    std::vector<std::string> out;
    for (const auto& row : rows.values) {
      std::string text;
      for (const Variant& value : row) text += debug_text(value) + " | ";
      out.push_back(text);
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  // One row of a query as column -> text.
  static std::map<std::string, std::string> row_texts(const db::Rows& rows, size_t i) {
    std::map<std::string, std::string> out;
    for (size_t c = 0; c < rows.columns.size(); ++c) {
      const Variant& value = rows.values.at(i).at(c);
      out[rows.columns[c]] = value.is_null() ? "<null>" : value.to_text();
    }
    return out;
  }

  std::unique_ptr<TestDatabase> database;
  bool object = false;
  std::string v;
  std::unique_ptr<InstalledHost> installed;
};

TEST_P(HostileText, EveryValueIsStoredAsGivenOrRefusedAndNothingElseChanges) {
  const std::string f1 = folio_of(1), f2 = folio_of(2), f3 = folio_of(3);
  const std::vector<std::string> our_folios = {f1, f2, f3};
  // What must stay as it is: every catalogue and host table whole, and the rows of the
  // component's tables outside this test's folios.
  std::map<std::string, std::vector<std::string>> untouched_before;
  for (const std::string& table : all_tables())
    untouched_before[table] = table_rows(installed->database(), table);
  const auto outside = [&]() {
    return std::vector<std::vector<std::string>>{
        rows_outside("Cotizacion", "Ct_Folio", our_folios),
        rows_outside("Cotizacion_Encabezado", "Ct_Folio", our_folios),
        rows_outside("Documento_Registro", "Dr_Documento", our_folios),
        rows_outside("Historial_Seguimiento", "Hs_Documento", our_folios),
        rows_outside("Documento_Descripcion_Extendida", "Dd_Documento", {f2}),
        rows_outside("Folio", "Sc_Cve_Sucursal", {v})};
  };
  const auto outside_before = outside();

  Client client(object);
  client.create();
  client.q().put_Agregar_Promociones(true);
  client.set_header([&](QuoteShape& s) { fill_header(s); });
  // The ledger account of the global discount never travels with a header; a client of the
  // object shape sets it on the quote's own header object.
  if (object) client.q().get_Encabezado2()->put_Ct_Descuento_Global_Cuenta_Contable("G:" + v);
  client.set_line([&](QuoteShape& s) { fill_line(s, "7"); });

  // ---------------------------------------------------- a quote with a promotion line
  ASSERT_TRUE(client.add()) << client.q().get_Error();
  EXPECT_EQ(client.folio(), f1);
  EXPECT_EQ(client.q().get_Error(), "");

  db::Rows lines = run("SELECT * FROM Cotizacion WHERE Ct_Folio = ? ORDER BY Ct_ID", {Variant(f1)});
  ASSERT_EQ(lines.values.size(), 2u);
  const std::string stamp = "2026-12-05 10:30:00";
  const Hostile& hostile = hostile_texts()[std::get<2>(GetParam())];
  const std::string& promotion_concept = object ? hostile.object_concept : hostile.record_concept;
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE("line " + std::to_string(i + 1));
    std::map<std::string, std::string> row = row_texts(lines, i);
    const bool gift = i == 1;
    const std::map<std::string, std::string> expected = {
        {"Ct_Folio", f1},
        {"Ct_ID", gift ? "0002" : "0001"},
        {"Ct_Tabla", "T:" + v},
        {"Ct_Documento", "D:" + v},
        {"Ct_Referencia", "R:" + v},
        {"Ct_Partida", "7"},
        {"Ct_Partida_Descripcion", "PD:" + v},
        {"Ct_Concepto", gift ? promotion_concept : "CO:" + v},
        {"Ct_Fecha", "2026-12-05"},
        {"Ct_Comentario", "C:" + v},
        {"Ct_Atencion", "A:" + v},
        {"Ct_Condicion_Venta", v},
        {"Sc_Cve_Sucursal", v},
        {"Al_Cve_Almacen", v},
        {"Ct_Sucursal_Inventario", v},
        {"Ct_Almacen_Inventario", v},
        {"Cl_Cve_Cliente", v},
        {"Vn_Cve_Vendedor", v},
        {"Pr_Cve_Producto", gift ? gift_product() : v},
        {"Cl_Cve_Color", v},
        {"Tl_Cve_Talla", v},
        {"Ct_Descuento_Global_Cuenta_Contable", object ? "G:" + v : ""},
        {"Ct_Unidad_1", v},
        {"Ct_Unidad_Control_1", v},
        {"Ct_Unidad_Control_2", v},
        {"Ct_Unidad_Costo", v},
        {"Pr_Folio", "PF:" + v},
        {"Mn_Cve_Moneda", v},
        {"Oper_Alta", v},
        {"Fecha_Alta", stamp},
        {"Oper_Ult_Modif", v},
        {"Fecha_Ult_Modif", stamp},
        {"Es_Cve_Estado", "AC"},
    };
    for (const auto& [column, text] : expected) EXPECT_EQ(row[column], text) << column;
  }
  db::Rows header = run("SELECT * FROM Cotizacion_Encabezado WHERE Ct_Folio = ?", {Variant(f1)});
  ASSERT_EQ(header.values.size(), 1u);
  {
    std::map<std::string, std::string> row = row_texts(header, 0);
    const std::map<std::string, std::string> expected = {
        {"Ct_Tabla", "T:" + v},      {"Ct_Documento", "D:" + v}, {"Ct_Referencia", "R:" + v},
        {"Ct_Comentario", "C:" + v}, {"Ct_Atencion", "A:" + v},  {"Ct_Condicion_Venta", v},
        {"Sc_Cve_Sucursal", v},      {"Al_Cve_Almacen", v},      {"Cl_Cve_Cliente", v},
        {"Vn_Cve_Vendedor", v},      {"Mn_Cve_Moneda", v},       {"Oper_Alta", v},
        {"Oper_Ult_Modif", v},       {"Fecha_Alta", stamp},      {"Ct_Fecha", "2026-12-05"},
    };
    for (const auto& [column, text] : expected) EXPECT_EQ(row[column], text) << column;
  }

  // ---------------------------------------------------- its life by folio
  std::string folio = f1;
  EXPECT_TRUE(client.q().Finalizar_Cotizacion(folio)) << client.q().get_Error();
  EXPECT_TRUE(client.q().Autorizar_Cotizacion(folio)) << client.q().get_Error();
  EXPECT_TRUE(client.q().Cancelar_Cotizacion(folio)) << client.q().get_Error();
  EXPECT_EQ(folio, f1);
  for (const char* table : {"Cotizacion", "Cotizacion_Encabezado"}) {
    db::Rows rows = run(std::string("SELECT Es_Cve_Estado, Oper_Baja, Fecha_Baja FROM ") + table +
                            " WHERE Ct_Folio = ?",
                        {Variant(f1)});
    ASSERT_FALSE(rows.empty()) << table;
    for (size_t i = 0; i < rows.values.size(); ++i) {
      std::map<std::string, std::string> row = row_texts(rows, i);
      EXPECT_EQ(row["Es_Cve_Estado"], "CA") << table;
      EXPECT_EQ(row["Oper_Baja"], v) << table;
      EXPECT_EQ(row["Fecha_Baja"], stamp) << table;
    }
  }
  // The list price total: the line's 10 x 3; the free line adds nothing.
  EXPECT_EQ(run("SELECT Ct_Precio_Lista_Importe FROM Cotizacion_Encabezado WHERE Ct_Folio = ?",
                {Variant(f1)})
                .first(),
            Variant(30.0));
  db::Rows history =
      run("SELECT Hs_Descripcion, Hs_Entidad, Hs_Fecha FROM Historial_Seguimiento "
          "WHERE Hs_Documento = ? ORDER BY Hs_ID",
          {Variant(f1)});
  ASSERT_EQ(history.values.size(), 2u);
  EXPECT_EQ(row_texts(history, 0)["Hs_Descripcion"], "Registro de cotización");
  EXPECT_EQ(row_texts(history, 1)["Hs_Descripcion"], "Baja de cotización");
  EXPECT_EQ(row_texts(history, 1)["Hs_Entidad"], v);
  EXPECT_EQ(row_texts(history, 1)["Hs_Fecha"], "2026-12-05");
  EXPECT_EQ(
      run("SELECT COUNT(*) FROM Documento_Registro WHERE Dr_Documento = ?", {Variant(f1)}).first(),
      Variant(int32_t{3}));

  // ---------------------------------------------------- a second quote, deleted
  client.q().Nuevo();
  client.set_header([&](QuoteShape& s) { fill_header(s); });
  client.set_line([&](QuoteShape& s) { fill_line(s, "8"); });
  ASSERT_TRUE(client.add()) << client.q().get_Error();
  EXPECT_EQ(client.folio(), f2);
  folio = f2;
  EXPECT_TRUE(client.q().Eliminar_Cotizacion(folio)) << client.q().get_Error();
  EXPECT_EQ(run("SELECT COUNT(*) FROM Cotizacion WHERE Ct_Folio = ?", {Variant(f2)}).first(),
            Variant(int32_t{0}));
  EXPECT_EQ(
      run("SELECT COUNT(*) FROM Cotizacion_Encabezado WHERE Ct_Folio = ?", {Variant(f2)}).first(),
      Variant(int32_t{1}));
  db::Rows descriptions = run(
      "SELECT Dd_Tabla FROM Documento_Descripcion_Extendida WHERE Dd_Documento = ?", {Variant(f2)});
  ASSERT_EQ(descriptions.values.size(), 1u);
  EXPECT_EQ(descriptions.first(), Variant("DETALLE_COTIZACION"));
  // Every transition of a folio that no longer has lines finds nothing.
  EXPECT_FALSE(client.q().Autorizar_Cotizacion(folio));
  EXPECT_EQ(client.q().get_Error(), "Imposible localizar la cotización: " + f2);

  // ---------------------------------------------------- an item number that is no number
  client.q().Nuevo();
  client.set_header([&](QuoteShape& s) { fill_header(s); });
  client.set_line([&](QuoteShape& s) { fill_line(s, v); });
  EXPECT_FALSE(client.add());
  EXPECT_EQ(client.q().get_Error(), std::string("Quorlane.dll - Inserta_Cotizacion") +
                                        (object ? "2" : "") + "()\r\n\r\nLa partida: " + v +
                                        ", no es un número");
  EXPECT_EQ(run("SELECT COUNT(*) FROM Cotizacion WHERE Ct_Folio = ?", {Variant(f3)}).first(),
            Variant(int32_t{0}));

  // ---------------------------------------------------- nothing else changed
  client.release();
  for (const std::string& table : all_tables()) {
    if (table == "Cotizacion" || table == "Cotizacion_Encabezado" || table == "Folio" ||
        table == "Documento_Registro" || table == "Historial_Seguimiento" ||
        table == "Documento_Descripcion_Extendida")
      continue;
    EXPECT_EQ(table_rows(installed->database(), table), untouched_before[table]) << table;
  }
  EXPECT_EQ(outside(), outside_before);
  EXPECT_EQ(run("SELECT Fo_Ultimo FROM Folio WHERE Sc_Cve_Sucursal = ?", {Variant(v)}).first(),
            Variant(int32_t{3}));
}

std::string param_name(const ::testing::TestParamInfo<Param>& info) {
  return engine_test_name({std::get<0>(info.param), info.index}) + "_" +
         (std::get<1>(info.param) ? "Object" : "Record") + "_" +
         hostile_texts()[std::get<2>(info.param)].name;
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileText,
                         ::testing::Combine(test_engines(), ::testing::Bool(),
                                            ::testing::Range<size_t>(0, hostile_texts().size())),
                         param_name);

}  // namespace
}  // namespace quorlane::test
