#include "frame/publico.h"
#include "support/host_test.h"
#include "support/quote_state.h"

namespace quorlane::test {
namespace {

using Access = CotizacionTestAccess;

const char* const kHeaderStatement =
    "INSERT INTO Cotizacion_Encabezado (Ct_Folio, Ct_Tabla, Ct_Documento, Ct_Referencia, "
    "Ct_Fecha, Ct_Comentario, Ct_Atencion, Ct_Condicion_Venta, Sc_Cve_Sucursal, "
    "Al_Cve_Almacen, Cl_Cve_Cliente, Vn_Cve_Vendedor, Ct_Descuento_Global_Factor, "
    "Ct_Descuento_Global_Importe, Ct_Precio_Lista_Importe, Ct_Descuento_Importe, "
    "Ct_Precio_Descontado_Importe, Ct_Impuesto_Importe, Ct_Precio_Neto_Importe, "
    "Mn_Cve_Moneda, Ct_Tipo_Cambio, Oper_Alta, Fecha_Alta, Oper_Ult_Modif, Fecha_Ult_Modif ) "
    "VALUES ('F-100', '', 'PED-7', '', '2026-12-01', 'Entrega a O''Brien', 'Ana', 'CONT', "
    "'S01', 'A01', 'C001', 'V01', 0.1, 0,0,0,0,0,0,'MXN', 17.25, 'OPER1', "
    "'2026-12-05 10:30:00', 'OPER2', '2026-12-05 10:30:00') ";

class HeaderRow : public HostTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->on("cSistema", "Operador_Actual", [this](std::vector<Variant>&) -> Variant {
      return "OPER" + std::to_string(++operators);
    });
    quote = Cotizacion::create();
    std::unique_ptr<QuoteShape> s = Access::shape(*quote, GetParam());
    fill_header(*s);
    s->set_text(H::Ct_Folio, "F-100");
    s->set_text(H::Ct_Condicion_Venta, "CONT");
    Access::m_Fecha_Texto(*quote) = "2026-12-05 10:30:00";
    boundary->take_calls();
  }
  bool insert() { return Access::insert_header_row(*quote, GetParam()); }
  Ref<Cotizacion> quote;
  int operators = 0;
};

TEST_P(HeaderRow, WritesTheHeaderWithZeroAmountsAndTheOperatorAskedTwice) {
  // The header's global discount amount is 4, yet the row starts with 0.
  ASSERT_TRUE(insert());
  EXPECT_EQ(quote->get_Error(), "");
  std::vector<std::string> calls = take_calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0], "cDatos.Fecha_Documento_SQL(#2026-12-01#) -> \"2026-12-01\"");
  EXPECT_EQ(calls[1], "cSistema.Operador_Actual() -> \"OPER1\"");
  EXPECT_EQ(calls[2], "cSistema.Operador_Actual() -> \"OPER2\"");
  EXPECT_EQ(calls[3], "cSistema.Conexion()");
  EXPECT_EQ(calls[4], std::string("Connection.Execute(\"") + kHeaderStatement + "\")");
}

TEST_P(HeaderRow, FailureHasOneLineBreakAndWritesNothing) {
  boundary->fail("cDatos", "Fecha_Documento_SQL", 1, "Fecha fuera de rango");
  EXPECT_FALSE(insert());
  std::string source = GetParam() ? "Quorlane.dll - Inserta_Cotizacion_Encabezado2()"
                                  : "Quorlane.dll - Inserta_Cotizacion_Encabezado()";
  EXPECT_EQ(quote->get_Error(), source + "\r\nFecha fuera de rango");
  EXPECT_TRUE(take_calls("Connection.Execute").empty());

  boundary->fail("Connection", "Execute", 1, "Llave duplicada");
  EXPECT_FALSE(insert());
  EXPECT_EQ(quote->get_Error(), source + "\r\nLlave duplicada");
}

INSTANTIATE_TEST_SUITE_P(Twins, HeaderRow, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Object" : "Record");
                         });

}  // namespace
}  // namespace quorlane::test
