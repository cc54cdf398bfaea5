// Admission of a line. The full call sequence of a first and a later line, in both twins, is
// compared by the end-to-end scripts; these tests drive the refusals and failures.
#include "line_fixture.h"

namespace quorlane::test {
namespace {

class Admission : public LineTest {
 protected:
  void SetUp() override {
    LineTest::SetUp();
    create_quote();
  }
};

// The header row: the header's own fields, the amounts at 0 (although the header's global
// discount amount is 4), and the operator asked once for each of its two columns.
TEST_P(Admission, FirstLineWritesTheHeaderRowWithZeroAmounts) {
  auto operators = std::make_shared<int>(0);
  host->on("cSistema", "Operador_Actual", [operators](std::vector<Variant>&) -> Variant {
    return "OPER" + std::to_string(++*operators);
  });
  shape().set_text(H::Ct_Condicion_Venta, "CONT");
  ASSERT_TRUE(add()) << q().get_Error();
  const std::string row = take_statements()[0];  // its column list is in the end-to-end scripts
  EXPECT_EQ(
      row.substr(row.find(") VALUES (")),
      ") VALUES ('F-100', '', 'PED-7', '', '2026-12-01', 'Entrega a O''Brien', 'Ana', 'CONT', "
      "'S01', 'A01', 'C001', 'V01', 0.1, 0,0,0,0,0,0,'MXN', 17.25, 'OPER1', "
      "'2026-12-05 10:30:00', 'OPER2', '2026-12-05 10:30:00') ");
}

TEST_P(Admission, ServerRulesComeBeforeAnyLookUp) {
  host->set("cSistema", "Es_Servidor_Remoto", true);
  EXPECT_EQ(refusal(), "Esta operación solo puede realizarse en el servidor central");
  EXPECT_EQ(take_calls(), (std::vector<std::string>{
                              "cDatos.Fecha_Servidor() -> #2026-12-05 10:30:00#",
                              "cDatos.Fecha_SQL(#2026-12-05 10:30:00#) -> \"2026-12-05 10:30:00\"",
                              "cSistema.Es_Servidor_Remoto() -> True"}));
  EXPECT_EQ(folio(), "");

  // A branch of another server: both ids named, whatever the remote answer.
  Access::m_Servidor_Sucursal(q()) = "S2";
  EXPECT_EQ(refusal(),
            "Esta operación solo puede realizarse en el servidor con id: S2\r\n"
            "el id del servidor actual es: S1");
  EXPECT_TRUE(take_calls("cDatos.Obtener_Campo").empty());

  // The branch of this server may open quotes on a remote process.
  Access::m_Servidor_Sucursal(q()) = "S1";
  EXPECT_TRUE(add()) << q().get_Error();
}

TEST_P(Admission, HeaderChecksRefuseInOrder) {
  shape().set_text(H::Ct_Condicion_Venta, "CRED");
  missing = {"Moneda:MXN", "Almacen:A01", "Vendedor:V01", "Cliente:C001", "Condicion_Venta:CRED"};
  EXPECT_EQ(refusal(), "La moneda: MXN, no existe o está dada de baja");
  missing.erase("Moneda:MXN");
  shape().set_number(H::Ct_Tipo_Cambio, 0);
  EXPECT_EQ(refusal(), "El tipo de cambio: 0, no es válido");
  shape().set_number(H::Ct_Tipo_Cambio, -1.5);
  EXPECT_EQ(refusal(), "El tipo de cambio: -1.5, no es válido");
  shape().set_number(H::Ct_Tipo_Cambio, 0.5);
  EXPECT_EQ(refusal(), "El almacén: A01, de la sucursal: S01, no existe o esta dado de baja");
  missing.erase("Almacen:A01");
  EXPECT_EQ(refusal(), "El vendedor: V01, no existe o está dada de baja");
  missing.erase("Vendedor:V01");
  EXPECT_EQ(refusal(), "El cliente: C001, no existe o está dada de baja");
  missing.erase("Cliente:C001");
  boundary->take_calls();
  EXPECT_EQ(refusal(), "La condición de venta: CRED, no existe o tiene estado baja");
  EXPECT_EQ(take_calls("cDatos.Obtener_Campo").back(),
            "cDatos.Obtener_Campo(\"Condicion_Venta\", \"Cv_Cve_Condicion_Venta\", \"CRED\", "
            "\"Cv_Descripcion\", 0, \"\", \"\", \"BA\") -> \"\"");
  EXPECT_EQ(folio(), "");
  missing.clear();
  EXPECT_TRUE(add()) << q().get_Error();  // a rate of 0.5 and a held sale condition pass
  EXPECT_EQ(folio(), "F-100");
}

TEST_P(Admission, BlockedCustomerIsReadOnlyWhenTheParameterSaysSo) {
  blocked = "SI";
  EXPECT_EQ(refusal(), "El cliente: C001, está bloqueado, no es posible realizar esta operación");

  // Each admitted line opens a new quote, so that the customer is checked again.
  for (const char* mark : {"si", "NO"}) {
    blocked = mark;
    shape().set_text(H::Ct_Folio, "");
    EXPECT_TRUE(add()) << mark << ": " << q().get_Error();
  }
  blocked = "SI";
  for (Variant parameter : {Variant("0"), Variant::null()}) {
    host->set("cSistema", "Obtener_Parametro", parameter);
    shape().set_text(H::Ct_Folio, "");
    boundary->take_calls();
    EXPECT_TRUE(add()) << q().get_Error();
    for (const std::string& call : take_calls("cDatos.Obtener_Campo"))
      EXPECT_EQ(call.find("Cl_Bloqueado"), std::string::npos) << call;
  }
}

TEST_P(Admission, OpenedQuoteIsKeptWhenItsFirstLineFails) {
  // An empty folio is refused before anything is written, and requested again next time.
  folios = {"", "F-200"};
  EXPECT_EQ(refusal(), "Error al intentar obtener el folio de la cotización!");
  EXPECT_EQ(folio(), "");
  EXPECT_TRUE(take_calls("Connection.Execute").empty());

  // The header row fails: the folio stays.
  boundary->fail("Connection", "Execute", 1, "Tabla bloqueada");
  EXPECT_EQ(refusal(), routine_source("Inserta_Cotizacion_Encabezado") + "\r\nTabla bloqueada");
  EXPECT_EQ(folio(), "F-200");
  boundary->take_calls();

  // The next calls go straight to the line checks: a line refused for its unit has no id.
  missing = {"Unidad:PZA"};
  EXPECT_EQ(refusal(), "La unidad: PZA, no existe o está dada de baja");
  EXPECT_EQ(folio(), "F-200");
  EXPECT_EQ(line_id(), "");
  missing.clear();
  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(line_id(), "0001");
  int rows = 0;
  for (const std::string& call : take_calls()) {
    EXPECT_EQ(call.find("Es_Servidor_Remoto"), std::string::npos);
    EXPECT_EQ(call.find("Obtener_Folio"), std::string::npos);
    EXPECT_EQ(call.find("Cotizacion_Encabezado"), std::string::npos);
    rows += call.rfind("Connection.Execute(\"INSERT INTO Cotizacion (", 0) == 0;
  }
  EXPECT_EQ(rows, 1);
}

TEST_P(Admission, InventoryWarehouseIsCheckedOnObjectLinesOnly) {
  shape().set_text(D::Ct_Sucursal_Inventario, "S02");
  shape().set_text(D::Ct_Almacen_Inventario, "A09");
  missing = {"Almacen:A09"};
  if (object()) {
    EXPECT_EQ(refusal(),
              "El almacén: A09, de la sucursal: S02 de inventario, no existe o está dado de baja");
  } else {
    EXPECT_TRUE(add()) << q().get_Error();
  }
  EXPECT_EQ(folio(), "F-100");  // checked after the quote is opened
}

TEST_P(Admission, SizeAndColourByTheWarehouseFlags) {
  shape().set_text(D::Tl_Cve_Talla, "M");
  shape().set_text(D::Cl_Cve_Color, "AZ");
  for (const char* operation :
       {"Existe_Producto_Talla_Color", "Existe_Producto_Talla", "Existe_Producto_Color"})
    host->set("cDatos", operation, false);
  ASSERT_TRUE(add());  // neither flag: nothing asked
  EXPECT_TRUE(take_calls("cDatos.Existe_Producto_Talla_Color").empty());

  const std::tuple<bool, bool, const char*> cases[] = {
      {true, true, "No se encuentra la relación producto/talla/color: P001/M/AZ"},
      {true, false, "No se encuentra la relación producto/talla: P001/M"},
      {false, true, "No se encuentra la relación producto/color: P001/AZ"}};
  for (const auto& [sizes, colours, error] : cases) {
    Access::m_Maneja_Tallas(q()) = sizes;
    Access::m_Maneja_Colores(q()) = colours;
    EXPECT_EQ(refusal(), error);
  }
  std::vector<std::string> asked;
  for (const CallRecord& c : boundary->take_calls())
    if (c.operation.rfind("Existe_", 0) == 0) asked.push_back(call_text(c));
  EXPECT_EQ(asked, (std::vector<std::string>{
                       "cDatos.Existe_Producto_Talla_Color(\"P001\", \"M\", \"AZ\") -> False",
                       "cDatos.Existe_Producto_Talla(\"P001\", \"M\") -> False",
                       "cDatos.Existe_Producto_Color(\"P001\", \"AZ\") -> False"}));
}

TEST_P(Admission, QuantitiesAndCostAreCheckedInOrder) {
  ASSERT_TRUE(add());  // open the quote with line 0001
  host->on("cDatos", "Unidad_Permite_Fracciones",
           [](std::vector<Variant>& a) -> Variant { return a[0].raw_text() != "PZA"; });
  struct Case {
    double quantity, control_1, control_2, cost_quantity, cost;
    std::string error;  // empty when the line is admitted
  };
  const Case cases[] = {
      // A zero quantity is looked for among the control quantities only.
      {5, 0, 0, 0, 10,
       "La cantidad no puede ser cero: \r\nCantidad-1: 5\r\nCantidad-Control-1: 0\r\n"
       "Cantidad-Control-2: 0\r\nCANTIDAD-COSTO: 0"},
      {0, 5, 0, 0, 10, ""},
      // Whole quantities come before signs.
      {2, 2, 2, 2, 10, ""},
      {2.5, 2, 2, 2, 10,
       "La unidad de control: PZA, no permite el uso de fracciones\r\nCantidad-1: 2.5"},
      {-2.5, 2, 2, 2, 10,
       "La unidad de control: PZA, no permite el uso de fracciones\r\nCantidad-1: -2.5"},
      {-2, 2, 2, 2, 10, "las cantidades deben ser positivas!"},
      // The cost may be zero but not negative.
      {2, 2, 2, 2, 0, ""},
      {2, 2, 2, 2, -0.01, "El costo no puede ser negativo: \r\nCosto: -0.01"}};
  int lines = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    shape().set_number(D::Ct_Cantidad_1, c.quantity);
    shape().set_number(D::Ct_Cantidad_Control_1, c.control_1);
    shape().set_number(D::Ct_Cantidad_Control_2, c.control_2);
    shape().set_number(D::Ct_Cantidad_Costo, c.cost_quantity);
    shape().set_number(D::Ct_Costo, c.cost);
    if (c.error.empty()) {
      EXPECT_TRUE(add()) << q().get_Error();
      ++lines;
    } else {
      EXPECT_EQ(refusal(), c.error);
    }
    EXPECT_EQ(line_id(), "000" + std::to_string(lines));  // a refused line keeps the last id
  }

  // Each pair is tested with its own unit and label; a unit with fractions is not tested.
  shape().set_number(D::Ct_Cantidad_1, 2.5);
  shape().set_text(D::Ct_Unidad_1, "KG");
  shape().set_number(D::Ct_Cantidad_Control_2, 0.75);
  shape().set_number(D::Ct_Costo, 10);
  boundary->take_calls();
  EXPECT_EQ(refusal(),
            "La unidad de control: PZA, no permite el uso de fracciones\r\n"
            "Cantidad-Control-2: 0.75");
  EXPECT_EQ(take_calls("cDatos.Unidad_Permite_Fracciones"),
            (std::vector<std::string>{"cDatos.Unidad_Permite_Fracciones(\"KG\") -> True",
                                      "cDatos.Unidad_Permite_Fracciones(\"PZA\") -> False",
                                      "cDatos.Unidad_Permite_Fracciones(\"PZA\") -> False"}));
}

TEST_P(Admission, ErrorExitsNameTheRoutineAndEmptyErrorOnEntry) {
  const std::string source = routine_source("Add_Cotizacion_Detalle");
  // A failing host call: two line breaks.
  boundary->fail("cDatos", "Fecha_Servidor", 1, "Servidor no disponible");
  EXPECT_EQ(refusal(), source + "\r\n\r\nServidor no disponible");

  // A refused registration: one line break, and the row stays stored.
  host->set("cDatos", "Registrar_Documento", false);
  host->set("cDatos", "Ultimo_Error", "El documento ya está registrado");
  EXPECT_EQ(refusal(), source + "\r\nEl documento ya está registrado");
  EXPECT_EQ(line_rows(take_statements()).size(), 1u);
  EXPECT_EQ(line_id(), "0001");
  host->set("cDatos", "Registrar_Documento", true);

  // A failing row: its number is spent and nothing is registered.
  boundary->fail("Connection", "Execute", 1, "Disco lleno");
  EXPECT_EQ(refusal(), routine_source("Inserta_Cotizacion") + "\r\n\r\nDisco lleno");
  EXPECT_EQ(line_id(), "0002");
  EXPECT_TRUE(take_calls("cDatos.Registrar_Documento").empty());
  ASSERT_TRUE(add());
  EXPECT_EQ(q().get_Error(), "");
  EXPECT_EQ(line_id(), "0003");

  // The line counter overflows at the 32768th line, before any statement.
  Access::m_Partida(q()) = 32766;
  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(line_id(), "32767");
  boundary->take_calls();
  EXPECT_EQ(refusal(), source + "\r\n\r\nDesbordamiento");
  EXPECT_EQ(Access::m_Partida(q()), 32767);
  EXPECT_EQ(line_id(), "32767");
  EXPECT_TRUE(take_calls("Connection.Execute").empty());
}

TEST_P(Admission, NumberingStartsAtEachFolioTheClientSetsOrTheSeriesGives) {
  // A folio set by the client is used as it stands, in this twin only.
  if (object())
    q().put_Folio2("F-7");
  else
    q().put_Folio("F-7");
  ASSERT_TRUE(add());
  ASSERT_TRUE(add());
  EXPECT_EQ(line_id(), "0002");
  EXPECT_TRUE(take_calls("cDatos.Obtener_Folio").empty());
  EXPECT_EQ(object() ? q().get_Folio() : q().get_Folio2(), "");

  q().Nuevo();  // the counter is kept until a folio is allocated
  fill_header(shape());
  fill_line(shape());
  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(folio(), "F-100");
  EXPECT_EQ(line_id(), "0001");
}

INSTANTIATE_TEST_SUITE_P(Twins, Admission, ::testing::Bool(), twin_name);

}  // namespace
}  // namespace quorlane::test
