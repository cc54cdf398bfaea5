#include "host/sql/standard_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "db/database.h"
#include "frame/host_factory.h"
#include "support/temp_dir.h"

namespace quorlane {
namespace {

std::string failure_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const Failure& e) {
    return e.what();
  }
  return "(no failure)";
}

const Date kClock = make_date(2026, 12, 5, 10, 30, 0);

// A standard host on a fresh SQLite file in a directory of its own, with the demonstration
// catalogue loaded and the clock fixed.
class StandardHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostSettings s;
    s.database = dir.file("quorlane.db");
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

  test::TempDir dir;
  std::shared_ptr<StandardHost> host;
  std::shared_ptr<HostFactory> factory;
  std::shared_ptr<cSistema> sistema;
  std::shared_ptr<cDatos> datos;
};

using StandardHostSchema = StandardHostTest;
using Parameters = StandardHostTest;
using FieldLookup = StandardHostTest;
using Folios = StandardHostTest;
using Conversions = StandardHostTest;
using Inventory = StandardHostTest;
using Taxes = StandardHostTest;
using Promotions = StandardHostTest;
using Registrations = StandardHostTest;
using Messages = StandardHostTest;
using Settings = StandardHostTest;

TEST_F(StandardHostSchema, OpeningAFileWithoutTablesCreatesThemAndTheDemoLoadsOnce) {
  for (const char* table : {"Cotizacion",
                            "Cotizacion_Encabezado",
                            "Documento_Descripcion_Extendida",
                            "Parametro",
                            "Sucursal",
                            "Almacen",
                            "Moneda",
                            "Vendedor",
                            "Cliente",
                            "Condicion_Venta",
                            "Unidad",
                            "Producto",
                            "Producto_Talla",
                            "Producto_Color",
                            "Producto_Talla_Color",
                            "Unidad_Conversion",
                            "Costo",
                            "Promocion",
                            "Folio",
                            "Documento_Registro",
                            "Historial_Seguimiento"})
    EXPECT_TRUE(host->database()->has_table(table)) << table;
  load_demo_catalogue(*host->connection());
  EXPECT_EQ(value("SELECT COUNT(*) FROM Sucursal"), Variant(int32_t{3}));
  // A catalogue row naming only what the component relies on can be inserted.
  sql("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion, Es_Cve_Estado) VALUES ('EUR', 'Euro', "
      "'AC')");
  sql("INSERT INTO Producto (Pr_Cve_Producto) VALUES ('P0')");
  EXPECT_EQ(value("SELECT Es_Cve_Estado FROM Producto WHERE Pr_Cve_Producto = 'P0'"),
            Variant("AC"));
}

// The statements of a quote's life, as the component writes them, on the created tables.
TEST_F(StandardHostSchema, AcceptsTheComponentsStatements) {
  const std::string fecha = datos->Fecha_Documento_SQL(kClock);
  const std::string stamp = datos->Fecha_SQL(kClock);
  sql("INSERT INTO Cotizacion_Encabezado (Ct_Folio, Ct_Tabla, Ct_Documento, Ct_Referencia, "
      "Ct_Fecha, Ct_Comentario, Ct_Atencion, Ct_Condicion_Venta, Sc_Cve_Sucursal, "
      "Al_Cve_Almacen, Cl_Cve_Cliente, Vn_Cve_Vendedor, Ct_Descuento_Global_Factor, "
      "Ct_Descuento_Global_Importe, Ct_Precio_Lista_Importe, Ct_Descuento_Importe, "
      "Ct_Precio_Descontado_Importe, Ct_Impuesto_Importe, Ct_Precio_Neto_Importe, Mn_Cve_Moneda, "
      "Ct_Tipo_Cambio, Oper_Alta, Fecha_Alta, Oper_Ult_Modif, Fecha_Ult_Modif ) VALUES "
      "('A0000000001', '', '', '', '" +
      fecha +
      "', 'ISNULL(x, y)', '', 'CON', 'S1', 'A1', 'C1', "
      "'V1', 0.05, 0,0,0,0,0,0,'MXN', 1, 'MARTA', '" +
      stamp + "', 'MARTA', '" + stamp + "') ");
  auto line = [&](const std::string& id, const std::string& partida, double amount) {
    return "INSERT INTO Cotizacion (Ct_Folio, Ct_ID, Ct_Tabla, Ct_Documento, Ct_Referencia, "
           "Ct_Partida, Ct_Partida_Descripcion, Ct_Concepto, Ct_Fecha, Ct_Comentario, "
           "Ct_Atencion, Ct_Condicion_Venta, Sc_Cve_Sucursal, Al_Cve_Almacen, "
           "Ct_Sucursal_Inventario, Ct_Almacen_Inventario, Cl_Cve_Cliente, Vn_Cve_Vendedor, "
           "Pr_Cve_Producto, Cl_Cve_Color, Tl_Cve_Talla, Ct_Cuota_Fija, "
           "Ct_Descuento_Global_Cuenta_Contable, Ct_Descuento_Global_Factor, "
           "Ct_Descuento_Global_Importe, Ct_Cantidad_1, Ct_Unidad_1, Ct_Cantidad_Control_1, "
           "Ct_Unidad_Control_1, Ct_Cantidad_Control_2, Ct_Unidad_Control_2, Ct_Cantidad_Costo, "
           "Ct_Unidad_Costo, Ct_Costo, Ct_Costo_Importe, Pr_Folio, Ct_Precio_Lista, "
           "Ct_Precio_Lista_Importe, Ct_Descuento_Factor, Ct_Descuento_Importe, "
           "Ct_Precio_Descontado, Ct_Precio_Descontado_Importe, Ct_Impuesto_Factor, "
           "Ct_Impuesto_Importe, Ct_Precio_Neto, Ct_Precio_Neto_Importe, Mn_Cve_Moneda, "
           "Ct_Tipo_Cambio, Oper_Alta, Fecha_Alta, Oper_Ult_Modif, Fecha_Ult_Modif) VALUES ('"
           "A0000000001', '" +
           id + "', '', '', '', " + partida + ", '', 'Tornillo', '" + fecha +
           "', '', '', 'CON', 'S1', 'A1', 'S1', 'A1', 'C1', 'V1', 'P1', '00', '00', 0, '', 0.05, " +
           "0.5, 10, 'PZA', 10, 'PZA', 0, 'PZA', 10, 'PZA', 0.85, 8.5, '', 1, " +
           plain_number(amount) + ", 0, 0, 1, 10, 0.16, 1.52, 0, 11.02, 'MXN', 1, 'MARTA', '" +
           stamp + "', 'MARTA', '" + stamp + "') ";
  };
  sql(line("0001", "1", 10));
  sql(line("0002", "2", 2.5));
  // An empty line number leaves nothing between two separators: refused.
  EXPECT_NE(failure_of([&] { sql(line("0003", "", 1)); }), "(no failure)");

  auto rs = host->connection()->Execute(
      "SELECT * FROM Cotizacion WHERE Ct_Folio = 'A0000000001' ORDER BY Ct_ID", -1);
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->GetFields().Item("Es_Cve_Estado").Value(), Variant("AC"));
  EXPECT_EQ(rs->GetFields().Item("ct_partida").Value().to_double(), 1);
  EXPECT_EQ(
      datos->Obtener_Campo("Cotizacion", "Ct_Folio", "A0000000001", "Ct_Fecha", 0, "", "", ""),
      "2026-12-05");
  EXPECT_EQ(
      datos->Obtener_Campo("Cotizacion", "Ct_Folio", "A0000000001", "Fecha_Alta", 0, "", "", ""),
      "2026-12-05 10:30:00");

  rs = host->connection()->Execute(
      "SELECT    ISNULL(SUM(Ct_Precio_Lista_Importe),0) as Ct_Precio_Lista_Importe,    "
      "ISNULL(SUM(Ct_Descuento_Importe),0) as Ct_Descuento_Importe,   "
      "ISNULL(SUM(Ct_Impuesto_Importe),0) as Ct_Impuesto_Importe,   "
      "ISNULL(SUM(Ct_Precio_Descontado_Importe),0) as Ct_Precio_Descontado_Importe,    "
      "ISNULL(SUM(Ct_Descuento_Global_Importe),0) as Ct_Descuento_Global_Importe FROM Cotizacion "
      "WHERE Ct_Folio = 'A0000000001' ");
  EXPECT_EQ(rs->GetFields().Item("Ct_Precio_Lista_Importe").Value().to_double(), 12.5);
  EXPECT_EQ(rs->GetFields().Item("Ct_Descuento_Global_Importe").Value().to_double(), 1);
  sql("UPDATE Cotizacion_Encabezado SET    Ct_Descuento_Global_Importe = 1,   "
      "Ct_Precio_Lista_Importe = 12.5,   Ct_Descuento_Importe = 0,   "
      "Ct_Precio_Descontado_Importe = 20,   Ct_Impuesto_Importe = 3.04,   "
      "Ct_Precio_Neto_Importe = 22.04 WHERE    Ct_Folio = 'A0000000001' ");
  sql("UPDATE Cotizacion_Encabezado SET Es_Cve_Estado = 'CA', Oper_Ult_Modif = 'MARTA', "
      "Fecha_Ult_Modif = '" +
      stamp + "', Oper_Baja = 'MARTA', Fecha_Baja = '" + stamp +
      "' WHERE Ct_Folio = 'A0000000001'");
  EXPECT_EQ(value("SELECT Ct_Precio_Neto_Importe FROM Cotizacion_Encabezado"), Variant(22.04));
  EXPECT_EQ(value("SELECT Ct_Comentario FROM Cotizacion_Encabezado"), Variant("ISNULL(x, y)"));
  sql("DELETE Cotizacion WHERE Ct_Folio = 'A0000000001'");
  sql("DELETE Documento_Descripcion_Extendida WHERE Dd_Tabla = 'COTIZACION' AND Dd_Documento = "
      "'A0000000001'");
  EXPECT_EQ(value("SELECT COUNT(*) FROM Cotizacion"), Variant(int32_t{0}));
  EXPECT_EQ(value("SELECT COUNT(*) FROM Cotizacion_Encabezado"), Variant(int32_t{1}));
}

TEST_F(Parameters, ReadTheStoredValueByTypeOrTheDefault) {
  sql("INSERT INTO Parametro (Pa_Cve_Parametro, Pa_Valor) VALUES ('NUM', ' 2.5 '), "
      "('NULO', NULL), ('TEXTO', 'abc'), ('SI_MIN', 'si'), ('TRUE', 'True'), ('CERO', '0'), "
      "('NO', 'No'), ('FALSE', 'FALSE'), ('RARO', 'quizá')");
  EXPECT_EQ(sistema->Obtener_Parametro("COT_TIPO_CALCULO_IMPORTES", 0, "N", "7"), Variant(1.0));
  EXPECT_EQ(sistema->Obtener_Parametro("NUM", 0, "N", "7"), Variant(2.5));
  EXPECT_EQ(sistema->Obtener_Parametro("FALTA", 0, "N", "7"), Variant(7.0));
  EXPECT_EQ(sistema->Obtener_Parametro("GEN_COMENTARIO_PROMOCION", 0, "T", "x"),
            Variant("*PROMOCION*"));
  EXPECT_EQ(sistema->Obtener_Parametro("FALTA", 0, "T", "*PROMOCION*"), Variant("*PROMOCION*"));
  EXPECT_EQ(sistema->Obtener_Parametro("COT_VALIDAR_CLIENTE_BLOQUEADO", 0, "B", "0"),
            Variant(true));
  EXPECT_EQ(sistema->Obtener_Parametro("FALTA", 0, "B", "1"), Variant(true));
  EXPECT_EQ(sistema->Obtener_Parametro("SI_MIN", 0, "B", "0"), Variant(true));
  EXPECT_EQ(sistema->Obtener_Parametro("TRUE", 0, "B", "0"), Variant(true));
  EXPECT_EQ(sistema->Obtener_Parametro("CERO", 0, "B", "1"), Variant(false));
  EXPECT_EQ(sistema->Obtener_Parametro("NO", 0, "B", "1"), Variant(false));
  EXPECT_EQ(sistema->Obtener_Parametro("FALSE", 0, "B", "1"), Variant(false));
  for (const char* type : {"N", "T", "B"})
    EXPECT_TRUE(sistema->Obtener_Parametro("NULO", 0, type, "1").is_null()) << type;
  EXPECT_EQ(failure_of([&] { sistema->Obtener_Parametro("TEXTO", 0, "N", "1"); }),
            "No coinciden los tipos");
  EXPECT_EQ(failure_of([&] { sistema->Obtener_Parametro("RARO", 0, "B", "1"); }),
            "No coinciden los tipos");
  EXPECT_EQ(failure_of([&] { sistema->Obtener_Parametro("TEXTO", 0, "X", "1"); }),
            "Tipo de parámetro no válido: X");
}

TEST_F(FieldLookup, ReadsByOneOrTwoKeysAndSkipsTheExcludedStatus) {
  EXPECT_EQ(
      datos->Obtener_Campo("Sucursal", "Sc_Cve_Sucursal", "S2", "Sc_Servidor_Id", 0, "", "", ""),
      "SRV-NORTE");
  EXPECT_EQ(
      datos->Obtener_Campo("Sucursal", "Sc_Cve_Sucursal", "S1", "Sc_Servidor_Id", 0, "", "", ""),
      "");
  EXPECT_EQ(
      datos->Obtener_Campo("Sucursal", "Sc_Cve_Sucursal", "S7", "Sc_Servidor_Id", 0, "", "", ""),
      "");
  // Two keys: the warehouse of that branch only.
  EXPECT_EQ(datos->Obtener_Campo("Almacen", "Al_Cve_Almacen", "A2", "Al_Descripcion", 0,
                                 "Sc_Cve_Sucursal", "S1", "BA"),
            "Almacén de ropa");
  EXPECT_EQ(datos->Obtener_Campo("Almacen", "Al_Cve_Almacen", "A2", "Al_Descripcion", 0,
                                 "Sc_Cve_Sucursal", "S2", "BA"),
            "");
  // The excluded status makes a withdrawn row count as missing; without it the row is read.
  EXPECT_EQ(
      datos->Obtener_Campo("Moneda", "Mn_Cve_Moneda", "FRF", "Mn_Descripcion", 0, "", "", "BA"),
      "");
  EXPECT_EQ(datos->Obtener_Campo("Moneda", "Mn_Cve_Moneda", "FRF", "Mn_Descripcion", 0, "", "", ""),
            "Franco francés");
  EXPECT_EQ(datos->Obtener_Campo("Almacen", "Al_Cve_Almacen", "A9", "Al_Descripcion", 0,
                                 "Sc_Cve_Sucursal", "S1", "BA"),
            "");
  // A row whose status is null is not excluded.
  sql("UPDATE Vendedor SET Es_Cve_Estado = NULL WHERE Vn_Cve_Vendedor = 'V2'");
  EXPECT_EQ(
      datos->Obtener_Campo("Vendedor", "Vn_Cve_Vendedor", "V2", "Vn_Descripcion", 0, "", "", "BA"),
      "Jorge Ramírez");
  // Comparisons are exact.
  EXPECT_EQ(
      datos->Obtener_Campo("Moneda", "Mn_Cve_Moneda", "mxn", "Mn_Descripcion", 0, "", "", "BA"),
      "");
}

TEST_F(FieldLookup, GivesDatesNumbersAndNullAsText) {
  EXPECT_EQ(
      datos->Obtener_Campo("Promocion", "Pm_Folio", "PM0001", "Pm_Fecha_Inicio", 0, "", "", ""),
      "2024-01-01");
  EXPECT_EQ(datos->Obtener_Campo("Costo", "Pr_Cve_Producto", "P1", "Co_Costo", 0, "Sc_Cve_Sucursal",
                                 "S1", ""),
            "0.85");
  EXPECT_EQ(
      datos->Obtener_Campo("Promocion", "Pm_Folio", "PM0001", "Pm_Cantidad_Minima", 0, "", "", ""),
      "10");
  EXPECT_EQ(datos->Obtener_Campo("Folio", "Sc_Cve_Sucursal", "S1", "Fo_Ultimo", 0, "", "", ""),
            "0");
  sql("INSERT INTO Documento_Registro (Dr_Tabla, Dr_Documento, Dr_ID, Fecha_Alta) VALUES "
      "('X', 'F1', NULL, '2026-12-05T08:05:09')");
  sql("UPDATE Costo SET Co_Costo = 0.1 + 0.2 WHERE Pr_Cve_Producto = 'P2'");
  EXPECT_EQ(
      datos->Obtener_Campo("Documento_Registro", "Dr_Documento", "F1", "Fecha_Alta", 0, "", "", ""),
      "2026-12-05 08:05:09");
  EXPECT_EQ(
      datos->Obtener_Campo("Documento_Registro", "Dr_Documento", "F1", "Dr_ID", 0, "", "", ""), "");
  EXPECT_EQ(datos->Obtener_Campo("Costo", "Pr_Cve_Producto", "P2", "Co_Costo", 0, "", "", ""),
            "0.30000000000000004");
}

TEST_F(FieldLookup, RefusesNamesThatAreNoPlainIdentifiers) {
  for (const char* name :
       {"Moneda; DROP TABLE Moneda", "Mn Descripcion", "1Moneda", "", "Moneda--", "[Moneda]"}) {
    std::string expected = std::string("Nombre de tabla o columna no válido: ") + name;
    EXPECT_EQ(failure_of([&] {
                datos->Obtener_Campo(name, "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", 0, "", "", "");
              }),
              expected);
    EXPECT_EQ(failure_of([&] {
                datos->Obtener_Campo("Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", 0, name,
                                     "x", "");
              }),
              name[0] == '\0' ? "(no failure)" : expected);
    EXPECT_EQ(datos->Ultimo_Error(), expected);
  }
  EXPECT_EQ(value("SELECT COUNT(*) FROM Moneda"), Variant(int32_t{3}));
  EXPECT_EQ(failure_of([&] {
              datos->Obtener_Campo("Moneda", "Mn_Cve_Moneda", "MXN", "Nada", 0, "", "", "");
            }),
            "no such column: Nada");
}

TEST_F(Folios, NumberEachSeriesWithPrefixAndZerosAndNoneForABranchWithoutSeries) {
  EXPECT_EQ(datos->Obtener_Folio("S1", "COTIZACION", 10, -1), Variant("A0000000001"));
  EXPECT_EQ(datos->Obtener_Folio("S1", "COTIZACION", 10, -1), Variant("A0000000002"));
  EXPECT_EQ(datos->Obtener_Folio("S2", "COTIZACION", 10, -1), Variant("B0000000001"));
  EXPECT_EQ(datos->Obtener_Folio("S1", "COTIZACION", 4, -1), Variant("A0003"));
  sql("UPDATE Folio SET Fo_Ultimo = 123456 WHERE Sc_Cve_Sucursal = 'S2'");
  EXPECT_EQ(datos->Obtener_Folio("S2", "COTIZACION", 3, -1), Variant("B123457"));
  EXPECT_EQ(datos->Obtener_Folio("S3", "COTIZACION", 10, -1), Variant(""));
  EXPECT_EQ(datos->Ultimo_Error(),
            "No hay serie de folios para la sucursal: S3, documento: COTIZACION");
  EXPECT_EQ(datos->Obtener_Folio("S1", "PEDIDO", 10, -1), Variant(""));
  EXPECT_EQ(value("SELECT Fo_Ultimo FROM Folio WHERE Sc_Cve_Sucursal = 'S1'"), Variant(int32_t{3}));
  // The series is keyed by branch and document type alone: loading the catalogue again once
  // folios were given adds no second series that would give them again.
  load_demo_catalogue(*host->connection());
  EXPECT_EQ(value("SELECT COUNT(*) FROM Folio WHERE Sc_Cve_Sucursal = 'S1'"), Variant(int32_t{1}));
  EXPECT_EQ(datos->Obtener_Folio("S1", "COTIZACION", 10, -1), Variant("A0000000004"));
}

TEST_F(Conversions, LookUpProductRowThenGeneralThenReverseRows) {
  EXPECT_EQ(datos->Factor_Conversion("P5", "CAJ", "PZA"), 12);
  EXPECT_DOUBLE_EQ(datos->Factor_Conversion("P5", "PZA", "CAJ"), 1.0 / 12);
  EXPECT_EQ(datos->Factor_Conversion("P1", "DOC", "PZA"), 12);
  EXPECT_EQ(datos->Factor_Conversion("ZZ", "NADA", "NADA"), 1);

  sql("DELETE FROM Unidad_Conversion");
  sql("INSERT INTO Unidad_Conversion VALUES ('X', 'A', 'B', 2), ('', 'A', 'B', 3), "
      "('', 'C', 'D', 8), ('X', 'D', 'C', 4)");
  EXPECT_EQ(datos->Factor_Conversion("X", "A", "B"), 2);               // the product's row
  EXPECT_EQ(datos->Factor_Conversion("Y", "A", "B"), 3);               // the general row
  EXPECT_EQ(datos->Factor_Conversion("X", "B", "A"), 0.5);             // the product's reverse row
  EXPECT_DOUBLE_EQ(datos->Factor_Conversion("Y", "B", "A"), 1.0 / 3);  // general reverse
  EXPECT_EQ(datos->Factor_Conversion("X", "C", "D"), 8);  // general before product's reverse
  EXPECT_EQ(datos->Factor_Conversion("X", "D", "C"), 4);
  EXPECT_EQ(datos->Factor_Conversion("Y", "D", "C"), 0.125);

  const std::string missing =
      "No existe conversión de la unidad: A, a la unidad: Z, para el producto: X";
  EXPECT_EQ(failure_of([&] { datos->Factor_Conversion("X", "A", "Z"); }), missing);
  EXPECT_EQ(datos->Ultimo_Error(), missing);
  // Letter case counts: "pza" is another unit.
  EXPECT_EQ(failure_of([&] { datos->Factor_Conversion("", "A", "b"); }),
            "No existe conversión de la unidad: A, a la unidad: b, para el producto: ");
}

TEST_F(Conversions, FractionsOnlyForUnitsThatAllowThem) {
  EXPECT_TRUE(datos->Unidad_Permite_Fracciones("M"));
  EXPECT_TRUE(datos->Unidad_Permite_Fracciones("KG"));
  EXPECT_FALSE(datos->Unidad_Permite_Fracciones("PZA"));
  EXPECT_EQ(datos->Ultimo_Error(), "La unidad: PZA, no permite fracciones");
  EXPECT_FALSE(datos->Unidad_Permite_Fracciones("LITRO"));
}

TEST_F(Conversions, SizeAndColourRelations) {
  EXPECT_TRUE(datos->Existe_Producto_Talla("P3", "M"));
  EXPECT_FALSE(datos->Existe_Producto_Talla("P3", "XL"));
  EXPECT_EQ(datos->Ultimo_Error(), "No existe la talla: XL, del producto: P3");
  EXPECT_TRUE(datos->Existe_Producto_Color("P4", "NG"));
  EXPECT_FALSE(datos->Existe_Producto_Color("P4", "BL"));
  EXPECT_TRUE(datos->Existe_Producto_Talla_Color("P3", "G", "AZ"));
  EXPECT_FALSE(datos->Existe_Producto_Talla_Color("P4", "U", "BL"));
  EXPECT_FALSE(datos->Existe_Producto_Talla_Color("P7", "22", ""));
}

TEST_F(Inventory, SizesColoursAndCostsOfTheWarehouse) {
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

  EXPECT_EQ(inventario->Obtener_Costo("S1", "A2", "P3", "G", "AZ", 3, ""), 195);
  EXPECT_EQ(inventario->Obtener_Costo("S1", "A2", "P3", "M", "BL", 3, ""), 180);
  EXPECT_EQ(inventario->Obtener_Costo("S1", "A1", "P1", "00", "00", 0, ""), 0.85);
  EXPECT_EQ(inventario->Obtener_Costo("S2", "A1", "P1", "00", "00", 0, ""), 0.9);
  EXPECT_EQ(inventario->Obtener_Costo("S1", "A1", "P3", "00", "00", 0, ""), 0);
  EXPECT_EQ(inventario->Obtener_Costo("S9", "A1", "P1", "", "", 0, ""), 0);
}

TEST_F(Taxes, ProductFactorUnlessTheCustomerIsExempt) {
  auto impuestos = factory->create_impuestos();
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C1", "P1"), 0.16);
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C2", "P1"), 0);  // exempt
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C1", "P6"), 0);  // product without tax
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C1", "NADA"), 0);
  EXPECT_EQ(impuestos->Factor_Impuesto("S1", "C77", "P1"), 0.16);
}

TEST_F(Promotions, FirstApplicablePromotionAndItsGiftQuantity) {
  auto promociones = factory->create_promociones();
  const Date day = make_date(2026, 12, 5);
  tPromocion p = promociones->Obtener_Promocion(day, "S1", "C1", "P3", "M", "AZ", 25, "PZA");
  EXPECT_EQ(p.Pr_Cve_Producto, "P4");
  EXPECT_EQ(p.Tl_Cve_Talla, "U");
  EXPECT_EQ(p.Cl_Cve_Color, "NG");
  EXPECT_EQ(p.Cantidad, 2);  // floor(25 / 10) x 1
  EXPECT_EQ(p.Un_Cve_Unidad, "PZA");
  EXPECT_EQ(p.Pm_Folio, "PM0001");
  EXPECT_EQ(p.Pm_Descripcion, "Por cada 10 camisas, una gorra de regalo");
  EXPECT_EQ(p.Pm_Texto_1, "");
  EXPECT_EQ(p.Pm_Texto_2, "");
  EXPECT_EQ(promociones->Obtener_Promocion(day, "S1", "C1", "P3", "", "", 10, "PZA").Cantidad, 1);

  // Below the minimum, another unit, outside the dates, or a withdrawn promotion: none.
  EXPECT_EQ(
      promociones->Obtener_Promocion(day, "S1", "C1", "P3", "", "", 9.5, "PZA").Pr_Cve_Producto,
      "");
  EXPECT_EQ(
      promociones->Obtener_Promocion(day, "S1", "C1", "P3", "", "", 20, "CAJ").Pr_Cve_Producto, "");
  EXPECT_EQ(
      promociones->Obtener_Promocion(make_date(2031, 1, 1), "S1", "C1", "P3", "", "", 20, "PZA")
          .Pr_Cve_Producto,
      "");
  EXPECT_EQ(promociones->Obtener_Promocion(day, "S1", "C1", "P5", "", "", 3, "CAJ").Pr_Cve_Producto,
            "");
  // The last day of the range still counts, whatever the time of day.
  EXPECT_EQ(
      promociones
          ->Obtener_Promocion(make_date(2030, 12, 31, 18, 0), "S1", "C1", "P3", "", "", 10, "PZA")
          .Pm_Folio,
      "PM0001");

  // A promotion of one branch only, with an earlier folio, wins there and nowhere else.
  sql("INSERT INTO Promocion (Pm_Folio, Pm_Descripcion, Sc_Cve_Sucursal, Pr_Cve_Producto, "
      "Un_Cve_Unidad, Pm_Cantidad_Minima, Pm_Producto_Regalo, Pm_Cantidad_Regalo, "
      "Pm_Unidad_Regalo, Pm_Fecha_Inicio, Pm_Fecha_Fin) VALUES ('PM0000', 'Norte', 'S2', 'P3', "
      "'PZA', 4, 'P1', 3, 'PZA', '2026-01-01', '2026-12-31')");
  p = promociones->Obtener_Promocion(day, "S2", "C1", "P3", "", "", 25, "PZA");
  EXPECT_EQ(p.Pm_Folio, "PM0000");
  EXPECT_EQ(p.Pr_Cve_Producto, "P1");
  EXPECT_EQ(p.Cantidad, 18);  // floor(25 / 4) x 3
  EXPECT_EQ(promociones->Obtener_Promocion(day, "S1", "C1", "P3", "", "", 25, "PZA").Pm_Folio,
            "PM0001");
  EXPECT_EQ(promociones->Obtener_Promocion(day, "S2", "C1", "P3", "", "", 3, "PZA").Pm_Folio, "");
  // Out of its dates, the next promotion by folio applies.
  EXPECT_EQ(
      promociones->Obtener_Promocion(make_date(2027, 1, 4), "S2", "C1", "P3", "", "", 25, "PZA")
          .Pm_Folio,
      "PM0001");
}

TEST_F(Registrations, DocumentsAndFollowUpEntriesAreWrittenEachTime) {
  EXPECT_TRUE(datos->Registrar_Documento("DETALLE_COTIZACION", "A0000000001", "0001"));
  EXPECT_TRUE(datos->Registrar_Documento("DETALLE_COTIZACION", "A0000000001", "0001"));
  EXPECT_TRUE(datos->Registrar_Documento("COTIZACION", "A0000000001", ""));
  auto rows = host->database()->run(
      "SELECT Dr_Tabla, Dr_ID, Oper_Alta, Fecha_Alta FROM Documento_Registro ORDER BY Dr_Registro");
  ASSERT_EQ(rows.values.size(), 3u);
  EXPECT_EQ(rows.values[2][0], Variant("COTIZACION"));
  EXPECT_EQ(rows.values[2][1], Variant(""));
  EXPECT_EQ(rows.values[0][2], Variant("MARTA"));
  EXPECT_EQ(rows.values[0][3], Variant("2026-12-05 10:30:00"));

  EXPECT_TRUE(datos->Registrar_Seguimiento("CRM", "COTIZACION", "A0000000001", "CLIENTE", "C1",
                                           make_date(2026, 11, 30), "Baja de cotización"));
  rows = host->database()->run(
      "SELECT Hs_Modulo, Hs_Tipo_Documento, Hs_Documento, Hs_Tipo_Entidad, Hs_Entidad, Hs_Fecha, "
      "Hs_Descripcion, Oper_Alta FROM Historial_Seguimiento");
  ASSERT_EQ(rows.values.size(), 1u);
  std::vector<Variant> expected{"CRM", "COTIZACION", "A0000000001",        "CLIENTE",
                                "C1",  "2026-11-30", "Baja de cotización", "MARTA"};
  EXPECT_EQ(rows.values[0], expected);
}

TEST_F(Registrations, AFailedWriteAnswersNoAndExplainsWhy) {
  sql("DROP TABLE Documento_Registro");
  EXPECT_FALSE(datos->Registrar_Documento("COTIZACION", "A1", ""));
  EXPECT_EQ(datos->Ultimo_Error(), "no such table: Documento_Registro");
  sql("DROP TABLE Historial_Seguimiento");
  EXPECT_FALSE(datos->Registrar_Seguimiento("CRM", "COTIZACION", "A1", "CLIENTE", "C1", kClock,
                                            "Registro de cotización"));
  EXPECT_EQ(datos->Ultimo_Error(), "no such table: Historial_Seguimiento");
}

TEST_F(Registrations, DateTextsAndServerDate) {
  EXPECT_EQ(datos->Fecha_Servidor(), kClock);
  EXPECT_EQ(datos->Fecha_Documento_SQL(kClock), "2026-12-05");
  EXPECT_EQ(datos->Fecha_SQL(kClock), "2026-12-05 10:30:00");
  EXPECT_EQ(datos->Fecha_SQL(make_date(2026, 1, 2)), "2026-01-02 00:00:00");
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

TEST_F(Registrations, RoundingAndAmountsThroughTheService) {
  EXPECT_EQ(datos->Redondear(Variant(1.005), 2), Variant(1.01));
  EXPECT_EQ(datos->Redondear(Variant(2.675), 2), Variant(2.68));
  EXPECT_EQ(datos->Redondear(Variant(-0.125), 2), Variant(-0.13));
  EXPECT_TRUE(datos->Redondear(Variant::null(), 2).is_null());

  tImportes a;
  a.Ct_Cantidad_1 = 2;
  a.Ct_Precio_Lista = 100;
  a.Ct_Impuesto_Factor = 0.16;
  datos->Calcular_Importes_Cuota(a, 1, 5);
  EXPECT_DOUBLE_EQ(a.Ct_Impuesto_Importe, 42);
  EXPECT_DOUBLE_EQ(a.Ct_Precio_Neto, 121);
  tImportes before = a;
  EXPECT_EQ(failure_of([&] { datos->Calcular_Importes(a, 0); }),
            "Tipo de cálculo de importes no válido: 0");
  EXPECT_EQ(datos->Ultimo_Error(), "Tipo de cálculo de importes no válido: 0");
  EXPECT_EQ(a.Ct_Precio_Neto, before.Ct_Precio_Neto);
}

TEST_F(Messages, EachMessageIsOneLineOfTheLog) {
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

TEST_F(Settings, ServicesReadTheSettingsAtEachCall) {
  EXPECT_EQ(sistema->Servidor_Actual(), "");
  EXPECT_FALSE(sistema->Es_Servidor_Remoto());
  EXPECT_EQ(sistema->Operador_Actual(), "MARTA");
  HostSettings s = host->settings();
  s.server_id = "SRV-NORTE";
  s.remote = true;
  s.operator_name = "JUAN";
  s.clock = make_date(2027, 1, 15, 9, 0, 0);
  host->update(s);
  EXPECT_EQ(sistema->Servidor_Actual(), "SRV-NORTE");
  EXPECT_TRUE(sistema->Es_Servidor_Remoto());
  EXPECT_EQ(sistema->Operador_Actual(), "JUAN");
  EXPECT_EQ(datos->Fecha_Servidor(), make_date(2027, 1, 15, 9, 0, 0));
  // No operator configured: the login name of the process's user.
  s.operator_name.clear();
  host->update(s);
  EXPECT_FALSE(sistema->Operador_Actual().empty());
  // Another database: this thread's connection follows the setting.
  s.database = dir.file("otra.db");
  host->update(s);
  EXPECT_EQ(value("SELECT COUNT(*) FROM Sucursal"), Variant(int32_t{0}));
  EXPECT_EQ(datos->Obtener_Folio("S1", "COTIZACION", 10, -1), Variant(""));
}

TEST_F(Settings, FromTheEnvironmentAndTheDefaultFactory) {
  const char* names[] = {"QUORLANE_DB",       "QUORLANE_SERVER_ID", "QUORLANE_REMOTE",
                         "QUORLANE_OPERATOR", "QUORLANE_CLOCK",     "QUORLANE_MESSAGE_LOG"};
  for (const char* name : names) unsetenv(name);
  HostSettings defaults = HostSettings::from_environment();
  EXPECT_EQ(defaults.database, "quorlane.db");
  EXPECT_EQ(defaults.server_id, "");
  EXPECT_FALSE(defaults.remote);
  EXPECT_FALSE(defaults.clock.has_value());

  const std::string path = dir.file("entorno.db");
  setenv("QUORLANE_DB", path.c_str(), 1);
  setenv("QUORLANE_SERVER_ID", "SRV-SUR", 1);
  setenv("QUORLANE_REMOTE", "si", 1);
  setenv("QUORLANE_OPERATOR", "LUIS", 1);
  setenv("QUORLANE_CLOCK", "2026-12-05T10:30:00", 1);
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
            "El valor de QUORLANE_CLOCK no es una fecha: mañana");
  setenv("QUORLANE_CLOCK", "", 1);
  setenv("QUORLANE_REMOTE", "quizá", 1);
  EXPECT_EQ(failure_of([] { HostSettings::from_environment(); }),
            "El valor de QUORLANE_REMOTE no es sí ni no: quizá");
  for (const char* name : names) unsetenv(name);
}

}  // namespace
}  // namespace quorlane
