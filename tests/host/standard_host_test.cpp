#include "host/sql/standard_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "db/database.h"
#include "host/sql/standard_factory.h"
#include "support/failure_text.h"
#include "support/temp_dir.h"
#include "support/test_databases.h"

namespace quorlane {
namespace {

using test::failure_of;

const Date kClock = make_date(2026, 12, 5, 10, 30, 0);

// A standard host on a fresh database of each engine, with the demonstration catalogue loaded
// and the clock fixed.
class StandardHostTest : public ::testing::TestWithParam<test::TestEngine> {
 protected:
  void SetUp() override {
    database = std::make_unique<test::TestDatabase>(GetParam());
    QUORLANE_REQUIRE_TEST_DATABASE(*database);
    HostSettings s;
    s.database = database->setting();
    s.operator_name = "MARTA";
    s.clock = kClock;
    s.message_log = dir.file("mensajes.log");
    host = StandardHost::create(s);
    factory = host->factory();
    sistema = factory->create_sistema();
    datos = factory->create_datos();
    load_demo_catalogue(*host->connection());
  }

  void sql(const std::string& text) { host->connection()->Execute(text); }

  // The first row's value of a query's only column.
  Variant value(const std::string& text) { return host->database()->run(text).first(); }

  // cDatos.Obtener_Campo with one key, or two, and an excluded status.
  std::string campo(const char* table, const char* key, const char* key_value, const char* column,
                    const char* key2 = "", const char* value2 = "", const char* excluded = "") {
    return datos->Obtener_Campo(table, key, key_value, column, 0, key2, value2, excluded);
  }

  bool sqlite() const { return GetParam() == test::TestEngine::SQLite; }
  bool sql_server() const { return GetParam() == test::TestEngine::SqlServerDouble; }
  // The failure the engine gives: SQLite's own, or "[SQLSTATE] message" of the ODBC driver.
  const char* engine_failure(const char* sqlite_text, const char* sql_server_text,
                             const char* postgresql_text) const {
    return sqlite() ? sqlite_text : sql_server() ? sql_server_text : postgresql_text;
  }

  // Destroyed last: the host's connections close before the database goes.
  std::unique_ptr<test::TestDatabase> database;
  test::TempDir dir;
  std::shared_ptr<StandardHost> host;
  std::shared_ptr<HostFactory> factory;
  std::shared_ptr<cSistema> sistema;
  std::shared_ptr<cDatos> datos;
};

INSTANTIATE_TEST_SUITE_P(Engines, StandardHostTest, test::test_engines(), test::engine_test_name);

TEST_P(StandardHostTest, ParametersReadTheStoredValueByTypeOrTheDefault) {
  sql("INSERT INTO Parametro (Pa_Cve_Parametro, Pa_Valor) VALUES ('NUM', ' 2.5 '), "
      "('NULO', NULL), ('TEXTO', 'abc'), ('SI_MIN', 'si'), ('TRUE', 'True'), ('CERO', '0'), "
      "('NO', 'No'), ('FALSE', 'FALSE'), ('RARO', 'quizá')");
  // (The stored parameters of the component, read by their type, the scripts' host calls show.)
  // clang-format off
  const std::tuple<const char*, const char*, const char*, Variant> cases[] = {
      {"NUM", "N", "7", Variant(2.5)}, {"FALTA", "N", "7", Variant(7.0)},
      {"FALTA", "T", "*PROMOCION*", Variant("*PROMOCION*")}, {"FALTA", "B", "1", Variant(true)},
      {"SI_MIN", "B", "0", Variant(true)}, {"TRUE", "B", "0", Variant(true)},
      {"CERO", "B", "1", Variant(false)}, {"NO", "B", "1", Variant(false)},
      {"FALSE", "B", "1", Variant(false)}};
  // clang-format on
  for (const auto& [name, type, fallback, expected] : cases)
    EXPECT_EQ(sistema->Obtener_Parametro(name, 0, type, fallback), expected) << name;
  for (const char* type : {"N", "T", "B"})
    EXPECT_TRUE(sistema->Obtener_Parametro("NULO", 0, type, "1").is_null()) << type;
  const std::tuple<const char*, const char*, const char*> failures[] = {
      {"TEXTO", "N", "No coinciden los tipos"},
      {"RARO", "B", "No coinciden los tipos"},
      {"TEXTO", "X", "Tipo de parámetro no válido: X"}};
  for (const auto& [name, type, text] : failures) {
    const std::string key = name, letter = type;  // lambdas may not capture bindings (clang 14)
    EXPECT_EQ(failure_of([&] { sistema->Obtener_Parametro(key, 0, letter, "1"); }), text) << key;
  }
}

TEST_P(StandardHostTest, FieldLookupByOneOrTwoKeysSkipsTheExcludedStatusAndGivesText) {
  // A row whose status is null is not excluded.
  sql("UPDATE Vendedor SET Es_Cve_Estado = NULL WHERE Vn_Cve_Vendedor = 'V2'");
  struct Case {
    const char *table, *key, *key_value, *column, *key2, *value2, *excluded, *text;
  };
  const Case cases[] = {
      {"Sucursal", "Sc_Cve_Sucursal", "S2", "Sc_Servidor_Id", "", "", "", "SRV-NORTE"},
      {"Sucursal", "Sc_Cve_Sucursal", "S1", "Sc_Servidor_Id", "", "", "", ""},
      {"Sucursal", "Sc_Cve_Sucursal", "S7", "Sc_Servidor_Id", "", "", "", ""},
      // Two keys: the warehouse of that branch only.
      {"Almacen", "Al_Cve_Almacen", "A2", "Al_Descripcion", "Sc_Cve_Sucursal", "S2", "BA", ""},
      // The excluded status makes a withdrawn row count as missing; without it the row is read.
      {"Moneda", "Mn_Cve_Moneda", "FRF", "Mn_Descripcion", "", "", "BA", ""},
      {"Moneda", "Mn_Cve_Moneda", "FRF", "Mn_Descripcion", "", "", "", "Franco francés"},
      {"Almacen", "Al_Cve_Almacen", "A9", "Al_Descripcion", "Sc_Cve_Sucursal", "S1", "BA", ""},
      {"Vendedor", "Vn_Cve_Vendedor", "V2", "Vn_Descripcion", "", "", "BA", "Jorge Ramírez"},
      // Comparisons are the engine's: exact, but case-insensitive in SQL Server's collation.
      {"Moneda", "Mn_Cve_Moneda", "mxn", "Mn_Descripcion", "", "", "BA",
       sql_server() ? "Peso mexicano" : ""},
      // Numbers in their shortest exact form.
      {"Costo", "Pr_Cve_Producto", "P1", "Co_Costo", "Sc_Cve_Sucursal", "S1", "", "0.85"},
      {"Promocion", "Pm_Folio", "PM0001", "Pm_Cantidad_Minima", "", "", "", "10"},
      {"Folio", "Sc_Cve_Sucursal", "S1", "Fo_Ultimo", "", "", "", "0"}};
  for (const Case& c : cases)
    EXPECT_EQ(campo(c.table, c.key, c.key_value, c.column, c.key2, c.value2, c.excluded), c.text)
        << c.table << " " << c.key_value << " " << c.column;

  sql("INSERT INTO Documento_Registro (Dr_Tabla, Dr_Documento, Dr_ID, Fecha_Alta) VALUES "
      "('X', 'F1', NULL, '2026-12-05T08:05:09')");
  sql("UPDATE Costo SET Co_Costo = CAST(0.1 AS DOUBLE PRECISION) + CAST(0.2 AS DOUBLE PRECISION) "
      "WHERE Pr_Cve_Producto = 'P2'");
  EXPECT_EQ(campo("Documento_Registro", "Dr_Documento", "F1", "Fecha_Alta"), "2026-12-05 08:05:09");
  EXPECT_EQ(campo("Documento_Registro", "Dr_Documento", "F1", "Dr_ID"), "");
  EXPECT_EQ(campo("Costo", "Pr_Cve_Producto", "P2", "Co_Costo"), "0.30000000000000004");
}

TEST_P(StandardHostTest, FieldLookupRefusesNamesThatAreNoPlainIdentifiers) {
  for (const char* name :
       {"Moneda; DROP TABLE Moneda", "Mn Descripcion", "1Moneda", "", "Moneda--", "[Moneda]"}) {
    std::string expected = std::string("Nombre de tabla o columna no válido: ") + name;
    EXPECT_EQ(failure_of([&] { campo(name, "Mn_Cve_Moneda", "MXN", "Mn_Descripcion"); }), expected);
    EXPECT_EQ(
        failure_of([&] { campo("Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", name, "x"); }),
        name[0] == '\0' ? "(no failure)" : expected);
    EXPECT_EQ(datos->Ultimo_Error(), expected);
  }
  EXPECT_EQ(value("SELECT COUNT(*) FROM Moneda"), Variant(int32_t{3}));
  // The engine's own description: PostgreSQL's through ODBC carries the SQLSTATE first.
  EXPECT_EQ(failure_of([&] { campo("Moneda", "Mn_Cve_Moneda", "MXN", "Nada"); }),
            engine_failure("no such column: Nada",
                           "[42S22] [Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid "
                           "column name 'Nada'.",
                           "[42703] ERROR: column \"nada\" does not exist; Error while preparing "
                           "parameters"));
}

TEST_P(StandardHostTest, FoliosNumberEachSeriesWithPrefixAndZerosAndNoneWithoutSeries) {
  auto folio = [&](const char* branch, const char* document, int16_t width) {
    return datos->Obtener_Folio(branch, document, width, -1);
  };
  EXPECT_EQ(folio("S1", "COTIZACION", 10), Variant("A0000000001"));
  EXPECT_EQ(folio("S1", "COTIZACION", 10), Variant("A0000000002"));
  EXPECT_EQ(folio("S2", "COTIZACION", 10), Variant("B0000000001"));
  EXPECT_EQ(folio("S1", "COTIZACION", 4), Variant("A0003"));
  sql("UPDATE Folio SET Fo_Ultimo = 123456 WHERE Sc_Cve_Sucursal = 'S2'");
  EXPECT_EQ(folio("S2", "COTIZACION", 3), Variant("B123457"));
  EXPECT_EQ(folio("S3", "COTIZACION", 10), Variant(""));
  EXPECT_EQ(datos->Ultimo_Error(),
            "No hay serie de folios para la sucursal: S3, documento: COTIZACION");
  EXPECT_EQ(folio("S1", "PEDIDO", 10), Variant(""));
  EXPECT_EQ(value("SELECT Fo_Ultimo FROM Folio WHERE Sc_Cve_Sucursal = 'S1'"), Variant(int32_t{3}));
  // Loading the catalogue again adds no second series or branch: numbering goes on.
  load_demo_catalogue(*host->connection());
  EXPECT_EQ(folio("S1", "COTIZACION", 10), Variant("A0000000004"));
  EXPECT_EQ(value("SELECT COUNT(*) FROM Sucursal"), Variant(int32_t{3}));
  // A catalogue row naming only what the component relies on can be inserted, open by default.
  sql("INSERT INTO Producto (Pr_Cve_Producto) VALUES ('P0')");
  EXPECT_EQ(value("SELECT Es_Cve_Estado FROM Producto WHERE Pr_Cve_Producto = 'P0'"),
            Variant("AC"));
}

TEST_P(StandardHostTest, ConversionsTakeTheProductRowThenTheGeneralThenReverseRows) {
  using Conversion = std::tuple<const char*, const char*, const char*, double>;
  auto check = [&](std::initializer_list<Conversion> cases) {
    for (const auto& [product, from, to, factor] : cases)
      EXPECT_DOUBLE_EQ(datos->Factor_Conversion(product, from, to), factor)
          << product << " " << from << " " << to;
  };
  check({{"P5", "CAJ", "PZA", 12},
         {"P5", "PZA", "CAJ", 1.0 / 12},
         {"P1", "DOC", "PZA", 12},
         {"ZZ", "NADA", "NADA", 1}});
  sql("DELETE FROM Unidad_Conversion");
  sql("INSERT INTO Unidad_Conversion VALUES ('X', 'A', 'B', 2), ('', 'A', 'B', 3), "
      "('', 'C', 'D', 8), ('X', 'D', 'C', 4)");
  check({{"X", "A", "B", 2},        // the product's row
         {"Y", "A", "B", 3},        // the general row
         {"X", "B", "A", 0.5},      // the product's reverse row
         {"Y", "B", "A", 1.0 / 3},  // the general reverse row
         {"X", "C", "D", 8},        // the general row before the product's reverse row
         {"X", "D", "C", 4},
         {"Y", "D", "C", 0.125}});

  const std::string missing =
      "No existe conversión de la unidad: A, a la unidad: Z, para el producto: X";
  EXPECT_EQ(failure_of([&] { datos->Factor_Conversion("X", "A", "Z"); }), missing);
  EXPECT_EQ(datos->Ultimo_Error(), missing);
  // Letter case counts, but in SQL Server's collation: there "b" is "B".
  if (sql_server())
    EXPECT_EQ(datos->Factor_Conversion("", "A", "b"), 3);
  else
    EXPECT_EQ(failure_of([&] { datos->Factor_Conversion("", "A", "b"); }),
              "No existe conversión de la unidad: A, a la unidad: b, para el producto: ");
}

TEST_P(StandardHostTest, UnitFractionsAndSizeAndColourRelations) {
  EXPECT_TRUE(datos->Unidad_Permite_Fracciones("M"));
  EXPECT_TRUE(datos->Unidad_Permite_Fracciones("KG"));
  EXPECT_FALSE(datos->Unidad_Permite_Fracciones("PZA"));
  EXPECT_EQ(datos->Ultimo_Error(), "La unidad: PZA, no permite fracciones");
  EXPECT_FALSE(datos->Unidad_Permite_Fracciones("LITRO"));

  EXPECT_TRUE(datos->Existe_Producto_Talla("P3", "M"));
  EXPECT_FALSE(datos->Existe_Producto_Talla("P3", "XL"));
  EXPECT_EQ(datos->Ultimo_Error(), "No existe la talla: XL, del producto: P3");
  EXPECT_TRUE(datos->Existe_Producto_Color("P4", "NG"));
  EXPECT_FALSE(datos->Existe_Producto_Color("P4", "BL"));
  EXPECT_TRUE(datos->Existe_Producto_Talla_Color("P3", "G", "AZ"));
  EXPECT_FALSE(datos->Existe_Producto_Talla_Color("P4", "U", "BL"));
  EXPECT_FALSE(datos->Existe_Producto_Talla_Color("P7", "22", ""));
}

TEST_P(StandardHostTest, InventoryFlagsAndCostsOfTheWarehouseAndTaxes) {
  auto inventario = factory->create_inventario();
  EXPECT_TRUE(inventario->Maneja_Tallas("S1", "A2"));
  EXPECT_TRUE(inventario->Maneja_Colores("S1", "A2"));
  EXPECT_TRUE(inventario->Maneja_Tallas("S1", "A3"));
  EXPECT_FALSE(inventario->Maneja_Colores("S1", "A3"));
  EXPECT_FALSE(inventario->Maneja_Tallas("S1", "A1"));
  EXPECT_FALSE(inventario->Maneja_Tallas("S2", "A2"));  // A2 belongs to S1
  // Any status counts.
  sql("UPDATE Almacen SET Al_Maneja_Colores = 'SI' WHERE Al_Cve_Almacen = 'A9'");
  EXPECT_TRUE(inventario->Maneja_Colores("S1", "A9"));

  struct Cost {
    const char *branch, *warehouse, *product, *size, *colour;
    double quantity, cost;
  };
  const Cost costs[] = {
      {"S1", "A2", "P3", "G", "AZ", 3, 195},   {"S1", "A2", "P3", "M", "BL", 3, 180},
      {"S1", "A1", "P1", "00", "00", 0, 0.85}, {"S2", "A1", "P1", "00", "00", 0, 0.9},
      {"S1", "A1", "P3", "00", "00", 0, 0},    {"S9", "A1", "P1", "", "", 0, 0}};
  for (const Cost& c : costs)
    EXPECT_EQ(inventario->Obtener_Costo(c.branch, c.warehouse, c.product, c.size, c.colour,
                                        c.quantity, ""),
              c.cost)
        << c.branch << " " << c.warehouse << " " << c.product << " " << c.size << " " << c.colour;

  auto impuestos = factory->create_impuestos();
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C1", "P1"), 0.16);
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C2", "P1"), 0);  // exempt customer
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C1", "P6"), 0);  // product without tax
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C1", "NADA"), 0);
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C77", "P1"), 0.16);
}

TEST_P(StandardHostTest, PromotionsFirstApplicableOneAndItsGiftQuantity) {
  auto promociones = factory->create_promociones();
  const Date day = make_date(2026, 12, 5);
  auto promotion = [&](Date when, const char* branch, const char* product, double quantity,
                       const char* unit, const char* size = "", const char* colour = "") {
    return promociones->Obtener_Promocion(when, branch, "C1", product, size, colour, quantity,
                                          unit);
  };
  auto fields = [](const tPromocion& p) {
    return std::vector<std::string>{p.Pr_Cve_Producto,       p.Tl_Cve_Talla,  p.Cl_Cve_Color,
                                    number_text(p.Cantidad), p.Un_Cve_Unidad, p.Pm_Folio,
                                    p.Pm_Descripcion,        p.Pm_Texto_1,    p.Pm_Texto_2};
  };
  // floor(25 / 10) x 1 caps.
  EXPECT_EQ(fields(promotion(day, "S1", "P3", 25, "PZA", "M", "AZ")),
            (std::vector<std::string>{"P4", "U", "NG", "2", "PZA", "PM0001",
                                      "Por cada 10 camisas, una gorra de regalo", "", ""}));
  EXPECT_EQ(promotion(day, "S1", "P3", 10, "PZA").Cantidad, 1);
  // Below the minimum, another unit, outside the dates, or a withdrawn promotion: none. The
  // last day of the range still counts, whatever the time of day.
  EXPECT_EQ(promotion(day, "S1", "P3", 9.5, "PZA").Pr_Cve_Producto, "");
  EXPECT_EQ(promotion(day, "S1", "P3", 20, "CAJ").Pr_Cve_Producto, "");
  EXPECT_EQ(promotion(make_date(2031, 1, 1), "S1", "P3", 20, "PZA").Pr_Cve_Producto, "");
  EXPECT_EQ(promotion(day, "S1", "P5", 3, "CAJ").Pr_Cve_Producto, "");
  EXPECT_EQ(promotion(make_date(2030, 12, 31, 18, 0), "S1", "P3", 10, "PZA").Pm_Folio, "PM0001");

  // A promotion of one branch only, with an earlier folio, wins there and nowhere else.
  sql("INSERT INTO Promocion (Pm_Folio, Pm_Descripcion, Sc_Cve_Sucursal, Pr_Cve_Producto, "
      "Un_Cve_Unidad, Pm_Cantidad_Minima, Pm_Producto_Regalo, Pm_Cantidad_Regalo, "
      "Pm_Unidad_Regalo, Pm_Fecha_Inicio, Pm_Fecha_Fin) VALUES ('PM0000', 'Norte', 'S2', 'P3', "
      "'PZA', 4, 'P1', 3, 'PZA', '2026-01-01', '2026-12-31')");
  tPromocion p = promotion(day, "S2", "P3", 25, "PZA");
  EXPECT_EQ(p.Pm_Folio, "PM0000");
  EXPECT_EQ(p.Pr_Cve_Producto, "P1");
  EXPECT_EQ(p.Cantidad, 18);  // floor(25 / 4) x 3
  EXPECT_EQ(promotion(day, "S1", "P3", 25, "PZA").Pm_Folio, "PM0001");
  EXPECT_EQ(promotion(day, "S2", "P3", 3, "PZA").Pm_Folio, "");
  // Out of its dates, the next promotion by folio applies.
  EXPECT_EQ(promotion(make_date(2027, 1, 4), "S2", "P3", 25, "PZA").Pm_Folio, "PM0001");
}

// (What they hold besides, and that each call writes a row, the end-to-end scripts show.)
TEST_P(StandardHostTest, RegistrationsCarryTheOperatorAndTheClock) {
  EXPECT_TRUE(datos->Registrar_Documento("DETALLE_COTIZACION", "A0000000001", "0001"));
  EXPECT_TRUE(datos->Registrar_Seguimiento("CRM", "COTIZACION", "A0000000001", "CLIENTE", "C1",
                                           make_date(2026, 11, 30), "Baja de cotización"));
  using Table = std::vector<std::vector<Variant>>;
  EXPECT_EQ(
      host->database()->run("SELECT Dr_ID, Oper_Alta, Fecha_Alta FROM Documento_Registro").values,
      (Table{{Variant("0001"), Variant("MARTA"), Variant("2026-12-05 10:30:00")}}));
  EXPECT_EQ(host->database()
                ->run("SELECT Hs_Fecha, Hs_Descripcion, Oper_Alta FROM Historial_Seguimiento")
                .values,
            (Table{{Variant("2026-11-30"), Variant("Baja de cotización"), Variant("MARTA")}}));
}

// Run on a fresh connection: PostgreSQL's driver words the failure of a statement it has run
// before otherwise.
TEST_P(StandardHostTest, RegistrationWithoutItsTableAnswersNoAndGivesTheReason) {
  sql("DROP TABLE Documento_Registro");
  EXPECT_FALSE(datos->Registrar_Documento("COTIZACION", "A1", ""));
  EXPECT_EQ(datos->Ultimo_Error(),
            engine_failure("no such table: Documento_Registro",
                           "[42S02] [Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid "
                           "object name 'Documento_Registro'.",
                           "[42P01] ERROR: relation \"documento_registro\" does not exist; Error "
                           "while preparing parameters"));
  sql("DROP TABLE Historial_Seguimiento");
  EXPECT_FALSE(datos->Registrar_Seguimiento("CRM", "COTIZACION", "A1", "CLIENTE", "C1", kClock,
                                            "Registro de cotización"));
  EXPECT_EQ(datos->Ultimo_Error(),
            engine_failure("no such table: Historial_Seguimiento",
                           "[42S02] [Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid "
                           "object name 'Historial_Seguimiento'.",
                           "[42P01] ERROR: relation \"historial_seguimiento\" does not exist; "
                           "Error while preparing parameters"));
}

// (The date texts, the fixed clock, rounding and the amounts with a fee the end-to-end scripts
// show, in the host calls they list.)
TEST_P(StandardHostTest, NullRoundsToNullAWrongCalculationTypeFailsAndTheClockIsTheDatabases) {
  EXPECT_TRUE(datos->Redondear(Variant::null(), 2).is_null());
  tImportes a;
  a.Ct_Cantidad_1 = 2;
  a.Ct_Precio_Lista = 100;
  EXPECT_EQ(failure_of([&] { datos->Calcular_Importes(a, 0); }),
            "Tipo de cálculo de importes no válido: 0");
  EXPECT_EQ(datos->Ultimo_Error(), "Tipo de cálculo de importes no válido: 0");
  EXPECT_EQ(a.Ct_Precio_Neto, 0);

  // Without a fixed clock, the database's local time: close to the system's.
  HostSettings s = host->settings();
  s.clock.reset();
  host->update(s);
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  Date system = make_date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
  EXPECT_NEAR(datos->Fecha_Servidor().serial, system.serial, 1.0 / 24);
}

TEST_P(StandardHostTest, EachMessageIsOneLineOfTheLog) {
  int32_t style = 16;
  sistema->Mostrar_Mensaje(Variant("El parámetro Ct_Cantidad_Control_1, es de solo lectura!"),
                           style, Variant("Quorlane.dll - Property Let Detalle()"), Variant(),
                           Variant("Quorlane"), Variant("ERR-ID:7500001"));
  sistema->Mostrar_Mensaje(Variant("uno\r\ndos"), style,
                           Variant("Quorlane.dll - Property Let Detalle2()"), Variant(),
                           Variant("Quorlane"), Variant("ERR-ID:7500006"));
  std::ifstream log(dir.file("mensajes.log"));
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(text.str(),
            "ERR-ID:7500001\tQuorlane.dll - Property Let Detalle()\t16\tEl parámetro "
            "Ct_Cantidad_Control_1, es de solo lectura!\n"
            "ERR-ID:7500006\tQuorlane.dll - Property Let Detalle2()\t16\tuno\\r\\ndos\n");
}

// (A change of server, operator and clock through the script runner's host request the
// end-to-end scripts show.)
TEST_P(StandardHostTest, SettingsServicesReadTheSettingsAtEachCall) {
  EXPECT_FALSE(sistema->Es_Servidor_Remoto());
  HostSettings s = host->settings();
  s.remote = true;
  // No operator configured: the login name of the process's user.
  s.operator_name.clear();
  host->update(s);
  EXPECT_TRUE(sistema->Es_Servidor_Remoto());
  EXPECT_FALSE(sistema->Operador_Actual().empty());
  EXPECT_NE(sistema->Operador_Actual(), "MARTA");
  // Another database: this thread's connection follows the setting.
  s.database = dir.file("otra.db");
  host->update(s);
  EXPECT_EQ(value("SELECT COUNT(*) FROM Sucursal"), Variant(int32_t{0}));
  EXPECT_EQ(datos->Obtener_Folio("S1", "COTIZACION", 10, -1), Variant(""));
}

TEST_P(StandardHostTest, SettingsFromTheEnvironmentAndTheDefaultFactory) {
  const char* names[] = {"QUORLANE_DB",       "QUORLANE_SERVER_ID", "QUORLANE_REMOTE",
                         "QUORLANE_OPERATOR", "QUORLANE_CLOCK",     "QUORLANE_MESSAGE_LOG"};
  for (const char* name : names) unsetenv(name);
  HostSettings defaults = HostSettings::from_environment();
  EXPECT_EQ(defaults.database, "quorlane.db");
  EXPECT_EQ(defaults.server_id, "");
  EXPECT_FALSE(defaults.remote);
  EXPECT_FALSE(defaults.clock.has_value());

  const std::string path = sqlite() ? dir.file("entorno.db") : database->setting();
  const char* values[] = {path.c_str(), "SRV-SUR", "si", "LUIS", "2026-12-05T10:30:00"};
  for (size_t i = 0; i < std::size(values); ++i) setenv(names[i], values[i], 1);
  HostSettings s = HostSettings::from_environment();
  EXPECT_EQ(s.database, path);
  EXPECT_EQ(s.server_id, "SRV-SUR");
  EXPECT_TRUE(s.remote);
  EXPECT_EQ(s.operator_name, "LUIS");
  EXPECT_EQ(s.clock, std::optional<Date>(kClock));

  std::shared_ptr<HostFactory> standard = make_standard_host_factory();
  auto sistema_env = standard->create_sistema();
  EXPECT_EQ(sistema_env->Servidor_Actual(), "SRV-SUR");
  auto rs = sistema_env->Conexion()->Execute("SELECT COUNT(*) AS n FROM Cotizacion");
  EXPECT_EQ(rs->GetFields().Item("N").Value(), Variant(int32_t{0}));

  setenv("QUORLANE_CLOCK", "mañana", 1);
  EXPECT_EQ(failure_of([] { HostSettings::from_environment(); }),
            "QUORLANE_CLOCK: 'mañana' is not a date-time: write YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
  setenv("QUORLANE_CLOCK", "", 1);
  setenv("QUORLANE_REMOTE", "quizá", 1);
  EXPECT_EQ(failure_of([] { HostSettings::from_environment(); }),
            "QUORLANE_REMOTE: 'quizá' is neither yes nor no: write 1, yes, true or si, or 0, no or "
            "false");
  for (const char* name : names) unsetenv(name);
}

}  // namespace
}  // namespace quorlane
