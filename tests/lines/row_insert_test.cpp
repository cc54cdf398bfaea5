#include <limits>

#include "line_fixture.h"

namespace quorlane::test {
namespace {

const char* const kRecordValues =
    "'F-100', '0001', '', 'PED-7', '', 3, 'Camisas', 'Camisa azul', '2026-12-01', "
    "'Entrega a O''Brien', 'Ana', 'CONT', 'S01', 'A01', 'S01', 'A01', 'C001', 'V01', 'P001', "
    "'AZ', 'M', '4100', 0.1, 4, 10, 'CJA', 2.5, 'PZA', 0.75, 'KG', 2.5, 'PZA', 12.25, 30.625, '', "
    "100, 1000, 0.05, -50, 95, 950, 0.16, 0.333333333333333, 110.2, 1102, 0, 'MXN', 17.25, "
    "'OPER1', '2026-12-05 10:30:00', 'OPER2', '2026-12-05 10:30:00') ";

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
    // A value of its own in nearly every column, so that no two columns can be swapped unseen.
    shape().set_text(H::Ct_Folio, "F-100");
    shape().set_text(H::Ct_Condicion_Venta, "CONT");
    // clang-format off
    set_line(shape(), {{D::Ct_ID, "0001"}, {D::Ct_Partida, "3"}, {D::Cl_Cve_Color, "AZ"},
                       {D::Tl_Cve_Talla, "M"}, {D::Ct_Cantidad_1, 10.0}, {D::Ct_Unidad_1, "CJA"},
                       {D::Ct_Cantidad_Control_1, 2.5}, {D::Ct_Cantidad_Control_2, 0.75},
                       {D::Ct_Unidad_Control_2, "KG"}, {D::Ct_Cantidad_Costo, 2.5},
                       {D::Ct_Costo, 12.25}, {D::Ct_Costo_Importe, 30.625},
                       {D::Ct_Precio_Lista, 100.0}, {D::Ct_Precio_Lista_Importe, 1000.0},
                       {D::Ct_Descuento_Factor, 0.05}, {D::Ct_Descuento_Importe, -50.0},
                       {D::Ct_Precio_Descontado, 95.0}, {D::Ct_Precio_Descontado_Importe, 950.0},
                       {D::Ct_Impuesto_Importe, 1.0 / 3}, {D::Ct_Precio_Neto, 110.2},
                       {D::Ct_Precio_Neto_Importe, 1102.0}, {D::Ct_Sucursal_Inventario, "S02"},
                       {D::Ct_Almacen_Inventario, "A09"}, {D::Ct_Cuota, 12.5}});
    // clang-format on
    Access::m_Fecha_Texto(q()) = "2026-12-05 10:30:00";
  }
  bool insert() { return Access::insert_detail_row(q(), object()); }
  std::string source() const { return routine_source("Inserta_Cotizacion"); }
  int operators = 0;
};

// The column list of either twin is compared by the end-to-end scripts.
TEST_P(RowInsert, WritesEveryColumnsOwnValueInTheTwinsOrder) {
  ASSERT_TRUE(insert());
  EXPECT_EQ(q().get_Error(), "");
  const std::string& sql = publico().gSQL;
  EXPECT_TRUE(sql.starts_with("INSERT INTO Cotizacion (Ct_Folio, ")) << sql;
  EXPECT_EQ(sql.substr(sql.find(") VALUES (") + 10), object() ? kObjectValues : kRecordValues);
  EXPECT_EQ(take_calls(), (std::vector<std::string>{
                              "cDatos.Fecha_Documento_SQL(#2026-12-01#) -> \"2026-12-01\"",
                              "cSistema.Operador_Actual() -> \"OPER1\"",
                              "cSistema.Operador_Actual() -> \"OPER2\"", "cSistema.Conexion()",
                              "Connection.Execute(\"" + sql + "\")"}));
}

// Ct_Partida stands bare in the statement: empty, it leaves nothing between two separators (and
// the database's refusal takes the error exit); a text that is no number could end the value and
// write more into the statement, so it is refused before anything more is asked or executed.
TEST_P(RowInsert, ItemNumberStandsBareAndMustBeANumber) {
  shape().set_text(D::Ct_Partida, "");
  host->on_execute([](const std::string& sql) -> std::shared_ptr<Recordset> {
    if (sql.find(", , ") != std::string::npos) throw Failure("Sintaxis incorrecta cerca de ','.");
    return nullptr;
  });
  EXPECT_FALSE(insert());
  EXPECT_NE(publico().gSQL.find("'', , 'Camisas'"), std::string::npos);
  EXPECT_EQ(q().get_Error(), source() + "\r\n\r\nSintaxis incorrecta cerca de ','.");

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

// A number with no number text (an amount the calculation left infinite) is an overflow, and a
// failing host call ends the routine: neither statement runs; the next insert empties Error.
TEST_P(RowInsert, FailuresTakeTheErrorExitBeforeTheStatementRuns) {
  for (double amount :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    shape().set_number(D::Ct_Precio_Neto_Importe, amount);
    take_calls();
    EXPECT_FALSE(insert());
    EXPECT_EQ(q().get_Error(), source() + "\r\n\r\nDesbordamiento");
    EXPECT_TRUE(take_calls("Connection.Execute").empty());
  }
  shape().set_number(D::Ct_Precio_Neto_Importe, 1102);
  boundary->fail("cSistema", "Operador_Actual", 2, "Sesión cerrada");
  EXPECT_FALSE(insert());
  EXPECT_EQ(q().get_Error(), source() + "\r\n\r\nSesión cerrada");
  EXPECT_TRUE(take_calls("Connection.Execute").empty());
  EXPECT_TRUE(insert());
  EXPECT_EQ(q().get_Error(), "");
}

INSTANTIATE_TEST_SUITE_P(Twins, RowInsert, ::testing::Bool(), twin_name);

}  // namespace
}  // namespace quorlane::test
