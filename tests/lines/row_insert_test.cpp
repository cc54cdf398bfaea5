#include <limits>

#include "line_fixture.h"

namespace quorlane::test {
namespace {

const char* const kRecordColumns =
    "INSERT INTO Cotizacion (Ct_Folio, Ct_ID, Ct_Tabla, Ct_Documento, Ct_Referencia, Ct_Partida, "
    "Ct_Partida_Descripcion, Ct_Concepto, Ct_Fecha, Ct_Comentario, Ct_Atencion, "
    "Ct_Condicion_Venta, Sc_Cve_Sucursal, Al_Cve_Almacen, Ct_Sucursal_Inventario, "
    "Ct_Almacen_Inventario, Cl_Cve_Cliente, Vn_Cve_Vendedor, Pr_Cve_Producto, Cl_Cve_Color, "
    "Tl_Cve_Talla, Ct_Descuento_Global_Cuenta_Contable, Ct_Descuento_Global_Factor, "
    "Ct_Descuento_Global_Importe, Ct_Cantidad_1, Ct_Unidad_1, Ct_Cantidad_Control_1, "
    "Ct_Unidad_Control_1, Ct_Cantidad_Control_2, Ct_Unidad_Control_2, Ct_Cantidad_Costo, "
    "Ct_Unidad_Costo, Ct_Costo, Ct_Costo_Importe, Pr_Folio, Ct_Precio_Lista, "
    "Ct_Precio_Lista_Importe, Ct_Descuento_Factor, Ct_Descuento_Importe, Ct_Precio_Descontado, "
    "Ct_Precio_Descontado_Importe, Ct_Impuesto_Factor, Ct_Impuesto_Importe, Ct_Precio_Neto, "
    "Ct_Precio_Neto_Importe, Ct_Cuota_Fija, Mn_Cve_Moneda, Ct_Tipo_Cambio, Oper_Alta, "
    "Fecha_Alta, Oper_Ult_Modif, Fecha_Ult_Modif) VALUES (";
const char* const kRecordValues =
    "'F-100', '0001', '', 'PED-7', '', 3, 'Camisas', 'Camisa azul', '2026-12-01', "
    "'Entrega a O''Brien', 'Ana', 'CONT', 'S01', 'A01', 'S01', 'A01', 'C001', 'V01', 'P001', "
    "'AZ', 'M', '4100', 0.1, 4, 10, 'CJA', 2.5, 'PZA', 0.75, 'KG', 2.5, 'PZA', 12.25, 30.625, '', "
    "100, 1000, 0.05, -50, 95, 950, 0.16, 0.333333333333333, 110.2, 1102, 0, 'MXN', 17.25, "
    "'OPER1', '2026-12-05 10:30:00', 'OPER2', '2026-12-05 10:30:00') ";

const char* const kObjectColumns =
    "INSERT INTO Cotizacion (Ct_Folio, Ct_ID, Ct_Tabla, Ct_Documento, Ct_Referencia, Ct_Partida, "
    "Ct_Partida_Descripcion, Ct_Concepto, Ct_Fecha, Ct_Comentario, Ct_Atencion, "
    "Ct_Condicion_Venta, Sc_Cve_Sucursal, Al_Cve_Almacen, Ct_Sucursal_Inventario, "
    "Ct_Almacen_Inventario, Cl_Cve_Cliente, Vn_Cve_Vendedor, Pr_Cve_Producto, Cl_Cve_Color, "
    "Tl_Cve_Talla, Ct_Cuota_Fija, Ct_Descuento_Global_Cuenta_Contable, "
    "Ct_Descuento_Global_Factor, Ct_Descuento_Global_Importe, Ct_Cantidad_1, Ct_Unidad_1, "
    "Ct_Cantidad_Control_1, Ct_Unidad_Control_1, Ct_Cantidad_Control_2, Ct_Unidad_Control_2, "
    "Ct_Cantidad_Costo, Ct_Unidad_Costo, Ct_Costo, Ct_Costo_Importe, Pr_Folio, Ct_Precio_Lista, "
    "Ct_Precio_Lista_Importe, Ct_Descuento_Factor, Ct_Descuento_Importe, Ct_Precio_Descontado, "
    "Ct_Precio_Descontado_Importe, Ct_Impuesto_Factor, Ct_Impuesto_Importe, Ct_Precio_Neto, "
    "Ct_Precio_Neto_Importe, Mn_Cve_Moneda, Ct_Tipo_Cambio, Oper_Alta, Fecha_Alta, "
    "Oper_Ult_Modif, Fecha_Ult_Modif) VALUES (";
const char* const kObjectValues =
    "'F-100', '0001', '', 'PED-7', '', 3, 'Camisas', 'Camisa azul', '2026-12-01', "
    "'Entrega a O''Brien', 'Ana', 'CONT', 'S01', 'A01', 'S02', 'A09', 'C001', 'V01', 'P001', "
    "'AZ', 'M', 12.5, '4100', 0.1, 4, 10, 'CJA', 2.5, 'PZA', 0.75, 'KG', 2.5, 'PZA', 12.25, "
    "30.625, '', 100, 1000, 0.05, -50, 95, 950, 0.16, 0.333333333333333, 110.2, 1102, 'MXN', "
    "17.25, 'OPER1', '2026-12-05 10:30:00', 'OPER2', '2026-12-05 10:30:00') ";

class RowInsert : public LineTest {
 protected:
  void SetUp() override {
    LineTest::SetUp();
    host->on("cSistema", "Operador_Actual", [this](std::vector<Variant>&) -> Variant {
      return "OPER" + std::to_string(++operators);
    });
    create_quote();
    QuoteShape& s = shape();
    s.set_text(H::Ct_Folio, "F-100");
    s.set_text(H::Ct_Condicion_Venta, "CONT");
    s.set_text(D::Ct_ID, "0001");
    s.set_text(D::Ct_Partida, "3");
    s.set_text(D::Cl_Cve_Color, "AZ");
    s.set_text(D::Tl_Cve_Talla, "M");
    s.set_number(D::Ct_Cantidad_1, 10);
    s.set_text(D::Ct_Unidad_1, "CJA");
    s.set_number(D::Ct_Cantidad_Control_1, 2.5);
    s.set_number(D::Ct_Cantidad_Control_2, 0.75);
    s.set_text(D::Ct_Unidad_Control_2, "KG");
    s.set_number(D::Ct_Cantidad_Costo, 2.5);
    s.set_number(D::Ct_Costo, 12.25);
    s.set_number(D::Ct_Costo_Importe, 30.625);
    s.set_number(D::Ct_Precio_Lista, 100);
    s.set_number(D::Ct_Precio_Lista_Importe, 1000);
    s.set_number(D::Ct_Descuento_Factor, 0.05);
    s.set_number(D::Ct_Descuento_Importe, -50);
    s.set_number(D::Ct_Precio_Descontado, 95);
    s.set_number(D::Ct_Precio_Descontado_Importe, 950);
    s.set_number(D::Ct_Impuesto_Importe, 1.0 / 3);
    s.set_number(D::Ct_Precio_Neto, 110.2);
    s.set_number(D::Ct_Precio_Neto_Importe, 1102);
    s.set_text(D::Ct_Sucursal_Inventario, "S02");
    s.set_text(D::Ct_Almacen_Inventario, "A09");
    s.set_number(D::Ct_Cuota, 12.5);
    Access::m_Fecha_Texto(q()) = "2026-12-05 10:30:00";
  }
  bool insert() { return Access::insert_detail_row(q(), object()); }
  std::string source() const {
    return object() ? "Quorlane.dll - Inserta_Cotizacion2()"
                    : "Quorlane.dll - Inserta_Cotizacion()";
  }
  int operators = 0;
};

TEST_P(RowInsert, WritesTheFiftyTwoColumnsInTheTwinsOrder) {
  ASSERT_TRUE(insert());
  EXPECT_EQ(q().get_Error(), "");
  std::string expected = object() ? std::string(kObjectColumns) + kObjectValues
                                  : std::string(kRecordColumns) + kRecordValues;
  std::vector<std::string> calls = take_calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0], "cDatos.Fecha_Documento_SQL(#2026-12-01#) -> \"2026-12-01\"");
  EXPECT_EQ(calls[1], "cSistema.Operador_Actual() -> \"OPER1\"");
  EXPECT_EQ(calls[2], "cSistema.Operador_Actual() -> \"OPER2\"");
  EXPECT_EQ(calls[3], "cSistema.Conexion()");
  EXPECT_EQ(publico().gSQL, expected);
  EXPECT_EQ(calls[4], "Connection.Execute(\"" + expected + "\")");
}

TEST_P(RowInsert, EmptyPartidaLeavesNothingBetweenSeparatorsAndTheRefusalTakesTheErrorExit) {
  shape().set_text(D::Ct_Partida, "");
  host->on_execute([](const std::string& sql) -> std::shared_ptr<Recordset> {
    if (sql.find(", , ") != std::string::npos) throw Failure("Sintaxis incorrecta cerca de ','.");
    return nullptr;
  });
  EXPECT_FALSE(insert());
  EXPECT_NE(publico().gSQL.find("'', , 'Camisas'"), std::string::npos);
  EXPECT_EQ(q().get_Error(), source() + "\r\n\r\nSintaxis incorrecta cerca de ','.");
}

// Ct_Partida stands bare in the statement: a text that is no number could end the value and
// write more into the statement, so it is refused before anything more is asked or executed.
TEST_P(RowInsert, AnItemNumberThatIsNoNumberIsRefusedBeforeTheStatementRuns) {
  take_calls();
  for (const char* partida : {"3); DELETE Cotizacion; --", "1, 2", "abc", "1e", "-", "0x10"}) {
    shape().set_text(D::Ct_Partida, partida);
    EXPECT_FALSE(insert()) << partida;
    EXPECT_EQ(q().get_Error(), source() + "\r\n\r\nLa partida: " + partida + ", no es un número");
    EXPECT_EQ(take_calls(), std::vector<std::string>{}) << partida;
  }
  for (const char* partida : {"12", " 7 ", "-2", "+2.5", ".5", "1e3", "2.E-1"}) {
    shape().set_text(D::Ct_Partida, partida);
    EXPECT_TRUE(insert()) << partida << ": " << q().get_Error();
    EXPECT_NE(publico().gSQL.find(std::string("'', ") + partida + ", 'Camisas'"), std::string::npos)
        << partida;
  }
}

// A number with no number text (an amount the calculation left infinite) is an overflow: the
// statement is not run with a word in the place of a value.
TEST_P(RowInsert, ANumberThatIsNotFiniteIsAnOverflowBeforeTheStatementRuns) {
  for (double amount :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    shape().set_number(D::Ct_Precio_Neto_Importe, amount);
    take_calls();
    EXPECT_FALSE(insert());
    EXPECT_EQ(q().get_Error(), source() + "\r\n\r\nDesbordamiento");
    EXPECT_TRUE(take_calls("Connection.Execute").empty());
  }
}

TEST_P(RowInsert, AFailingHostCallStopsTheStatementBeforeExecution) {
  boundary->fail("cSistema", "Operador_Actual", 2, "Sesión cerrada");
  EXPECT_FALSE(insert());
  EXPECT_EQ(q().get_Error(), source() + "\r\n\r\nSesión cerrada");
  EXPECT_TRUE(take_calls("Connection.Execute").empty());

  // The next insert starts with an empty Error.
  EXPECT_TRUE(insert());
  EXPECT_EQ(q().get_Error(), "");
}

INSTANTIATE_TEST_SUITE_P(Twins, RowInsert, ::testing::Bool(), twin_name);

}  // namespace
}  // namespace quorlane::test
