#include "line_fixture.h"

namespace quorlane::test {
namespace {

class Admission : public LineTest {
 protected:
  void SetUp() override {
    LineTest::SetUp();
    create_quote();
  }
  // Admits a line that must be refused, and returns Error.
  std::string refusal() {
    EXPECT_FALSE(add());
    return q().get_Error();
  }
};

// The calls of a first line before the header row is written, with the default header.
const std::vector<std::string> kOpeningChecks = {
    "cDatos.Fecha_Servidor() -> #2026-12-05 10:30:00#",
    "cDatos.Fecha_SQL(#2026-12-05 10:30:00#) -> \"2026-12-05 10:30:00\"",
    "cSistema.Es_Servidor_Remoto() -> False",
    "cDatos.Obtener_Campo(\"Moneda\", \"Mn_Cve_Moneda\", \"MXN\", \"Mn_Descripcion\", 0, \"\", "
    "\"\", \"BA\") -> \"Descripción\"",
    "cDatos.Obtener_Campo(\"Almacen\", \"Al_Cve_Almacen\", \"A01\", \"Al_Descripcion\", 0, "
    "\"Sc_Cve_Sucursal\", \"S01\", \"BA\") -> \"Descripción\"",
    "cDatos.Obtener_Campo(\"Vendedor\", \"Vn_Cve_Vendedor\", \"V01\", \"Vn_Descripcion\", 0, "
    "\"\", \"\", \"BA\") -> \"Descripción\"",
    "cDatos.Obtener_Campo(\"Cliente\", \"Cl_Cve_Cliente\", \"C001\", \"Cl_Descripcion\", 0, \"\", "
    "\"\", \"BA\") -> \"Descripción\"",
    "cSistema.Obtener_Parametro(\"COT_VALIDAR_CLIENTE_BLOQUEADO\", 0, \"B\", \"1\") -> \"1\"",
    "cDatos.Obtener_Campo(\"Cliente\", \"Cl_Cve_Cliente\", \"C001\", \"Cl_Bloqueado\", 0, \"\", "
    "\"\", \"\") -> \"NO\"",
    "cDatos.Obtener_Folio(\"S01\", \"COTIZACION\", 10, -1) -> \"F-100\"",
};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_P(Admission, FirstLineOpensTheQuoteThenChecksStoresAndRegistersTheLine) {
  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(q().get_Error(), "");
  EXPECT_EQ(folio(), "F-100");
  EXPECT_EQ(line_id(), "0001");
  std::vector<std::string> line_checks;
  if (object())
    line_checks.push_back(
        "cDatos.Obtener_Campo(\"Almacen\", \"Al_Cve_Almacen\", \"A01\", \"Al_Descripcion\", 0, "
        "\"Sc_Cve_Sucursal\", \"S01\", \"BA\") -> \"Descripción\"");
  line_checks.insert(
      line_checks.end(),
      {"cDatos.Obtener_Campo(\"Unidad\", \"Un_Cve_Unidad\", \"PZA\", \"Un_Descripcion\", 0, \"\", "
       "\"\", \"BA\") -> \"Descripción\"",
       "cDatos.Unidad_Permite_Fracciones(\"PZA\") -> True",
       "cDatos.Unidad_Permite_Fracciones(\"PZA\") -> True",
       "cDatos.Unidad_Permite_Fracciones(\"PZA\") -> True",
       "cDatos.Fecha_Documento_SQL(#2026-12-01#) -> \"2026-12-01\"",
       "cSistema.Operador_Actual() -> \"OPER\"", "cSistema.Operador_Actual() -> \"OPER\"",
       "cSistema.Conexion()", "Connection.Execute(INSERT INTO Cotizacion)",
       "cDatos.Registrar_Documento(\"DETALLE_COTIZACION\", \"F-100\", \"0001\") -> True"});
  std::vector<std::string> header_row = {
      "cDatos.Fecha_Documento_SQL(#2026-12-01#) -> \"2026-12-01\"",
      "cSistema.Operador_Actual() -> \"OPER\"", "cSistema.Operador_Actual() -> \"OPER\"",
      "cSistema.Conexion()", "Connection.Execute(INSERT INTO Cotizacion_Encabezado)"};
  EXPECT_EQ(brief_calls(), concat(concat(kOpeningChecks, header_row), line_checks));

  // The next line skips the opening steps: no server rule, no header look-up, no folio.
  ASSERT_TRUE(add());
  EXPECT_EQ(line_id(), "0002");
  std::vector<std::string> second = brief_calls();
  EXPECT_EQ(std::vector<std::string>(second.begin(), second.begin() + 2),
            std::vector<std::string>(kOpeningChecks.begin(), kOpeningChecks.begin() + 2));
  line_checks.back() =
      "cDatos.Registrar_Documento(\"DETALLE_COTIZACION\", \"F-100\", \"0002\") -> True";
  EXPECT_EQ(std::vector<std::string>(second.begin() + 2, second.end()), line_checks);
}

TEST_P(Admission, ServerRulesComeBeforeAnyLookUp) {
  host->set("cSistema", "Es_Servidor_Remoto", true);
  EXPECT_EQ(refusal(), "Esta operación solo puede realizarse en el servidor central");
  EXPECT_EQ(brief_calls(), (std::vector<std::string>{kOpeningChecks[0], kOpeningChecks[1],
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
  missing = {"Moneda:MXN", "Almacen:A01", "Vendedor:V01", "Cliente:C001"};
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

  shape().set_text(H::Ct_Condicion_Venta, "CRED");
  missing.insert("Condicion_Venta:CRED");
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

  for (const char* mark : {"si", "NO"}) {
    blocked = mark;
    folios.push_back("F-10" + std::string(mark));
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

TEST_P(Admission, EmptySaleConditionIsNotLookedUp) {
  ASSERT_TRUE(add());
  for (const std::string& call : take_calls("cDatos.Obtener_Campo"))
    EXPECT_EQ(call.find("Condicion_Venta"), std::string::npos) << call;
}

TEST_P(Admission, EmptyFolioIsStoredRefusedAndRequestedAgainNextTime) {
  folios = {"", "F-200"};
  EXPECT_EQ(refusal(), "Error al intentar obtener el folio de la cotización!");
  EXPECT_EQ(folio(), "");
  EXPECT_TRUE(take_calls("Connection.Execute").empty());

  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(folio(), "F-200");
  EXPECT_EQ(line_id(), "0001");
}

TEST_P(Admission, HeaderRowFailureKeepsTheFolioAndTheNextCallGoesToTheLineChecks) {
  boundary->fail("Connection", "Execute", 1, "Tabla bloqueada");
  EXPECT_FALSE(add());
  std::string header_source = object() ? "Quorlane.dll - Inserta_Cotizacion_Encabezado2()"
                                       : "Quorlane.dll - Inserta_Cotizacion_Encabezado()";
  EXPECT_EQ(q().get_Error(), header_source + "\r\nTabla bloqueada");
  EXPECT_EQ(folio(), "F-100");
  boundary->take_calls();

  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(line_id(), "0001");
  std::vector<std::string> calls = take_calls();
  for (const std::string& call : calls) {
    EXPECT_EQ(call.find("Es_Servidor_Remoto"), std::string::npos);
    EXPECT_EQ(call.find("Obtener_Folio"), std::string::npos);
    EXPECT_EQ(call.find("Cotizacion_Encabezado"), std::string::npos);
  }
}

TEST_P(Admission, FirstLineRefusedForItsUnitKeepsTheOpenedQuote) {
  missing = {"Unidad:PZA"};
  EXPECT_EQ(refusal(), "La unidad: PZA, no existe o está dada de baja");
  EXPECT_EQ(folio(), "F-100");
  EXPECT_EQ(line_id(), "");
  std::vector<std::string> statements = take_statements();
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(statements[0].rfind("INSERT INTO Cotizacion_Encabezado (", 0), 0u);

  missing.clear();
  ASSERT_TRUE(add());
  EXPECT_EQ(line_id(), "0001");
  EXPECT_EQ(line_rows(take_statements()).size(), 1u);
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
  host->set("cDatos", "Existe_Producto_Talla_Color", false);
  host->set("cDatos", "Existe_Producto_Talla", false);
  host->set("cDatos", "Existe_Producto_Color", false);
  ASSERT_TRUE(add());  // neither flag: nothing asked
  EXPECT_TRUE(take_calls("cDatos.Existe_Producto_Talla_Color").empty());

  Access::m_Maneja_Tallas(q()) = true;
  Access::m_Maneja_Colores(q()) = true;
  EXPECT_EQ(refusal(), "No se encuentra la relación producto/talla/color: P001/M/AZ");
  Access::m_Maneja_Colores(q()) = false;
  EXPECT_EQ(refusal(), "No se encuentra la relación producto/talla: P001/M");
  Access::m_Maneja_Tallas(q()) = false;
  Access::m_Maneja_Colores(q()) = true;
  EXPECT_EQ(refusal(), "No se encuentra la relación producto/color: P001/AZ");
  std::vector<std::string> asked;
  for (const CallRecord& c : boundary->take_calls())
    if (c.operation.rfind("Existe_", 0) == 0) asked.push_back(call_text(c));
  EXPECT_EQ(asked, (std::vector<std::string>{
                       "cDatos.Existe_Producto_Talla_Color(\"P001\", \"M\", \"AZ\") -> False",
                       "cDatos.Existe_Producto_Talla(\"P001\", \"M\") -> False",
                       "cDatos.Existe_Producto_Color(\"P001\", \"AZ\") -> False"}));
}

TEST_P(Admission, ZeroQuantityLooksAtTheControlQuantitiesOnly) {
  ASSERT_TRUE(add());  // open the quote
  shape().set_number(D::Ct_Cantidad_1, 5);
  shape().set_number(D::Ct_Cantidad_Control_1, 0);
  shape().set_number(D::Ct_Cantidad_Control_2, 0);
  shape().set_number(D::Ct_Cantidad_Costo, 0);
  EXPECT_EQ(refusal(),
            "La cantidad no puede ser cero: \r\nCantidad-1: 5\r\nCantidad-Control-1: 0\r\n"
            "Cantidad-Control-2: 0\r\nCANTIDAD-COSTO: 0");
  EXPECT_EQ(line_id(), "0001");  // the refused line keeps the id of the previous one

  shape().set_number(D::Ct_Cantidad_1, 0);
  shape().set_number(D::Ct_Cantidad_Control_1, 5);
  EXPECT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(line_id(), "0002");
}

TEST_P(Admission, WholeQuantitiesComeBeforeSigns) {
  ASSERT_TRUE(add());
  host->on("cDatos", "Unidad_Permite_Fracciones",
           [](std::vector<Variant>& a) -> Variant { return a[0].raw_text() != "PZA"; });
  auto with_quantity = [&](double q) {
    shape().set_number(D::Ct_Cantidad_1, q);
    shape().set_number(D::Ct_Cantidad_Control_1, 2);
    shape().set_number(D::Ct_Cantidad_Control_2, 2);
    shape().set_number(D::Ct_Cantidad_Costo, 2);
  };
  with_quantity(2);
  EXPECT_TRUE(add()) << q().get_Error();
  with_quantity(2.5);
  EXPECT_EQ(refusal(),
            "La unidad de control: PZA, no permite el uso de fracciones\r\nCantidad-1: 2.5");
  with_quantity(-2.5);
  EXPECT_EQ(refusal(),
            "La unidad de control: PZA, no permite el uso de fracciones\r\nCantidad-1: -2.5");
  with_quantity(-2);
  EXPECT_EQ(refusal(), "las cantidades deben ser positivas!");

  // Each pair is tested with its own unit and label; a unit with fractions is not tested.
  with_quantity(2.5);
  shape().set_text(D::Ct_Unidad_1, "KG");
  shape().set_number(D::Ct_Cantidad_Control_2, 0.75);
  boundary->take_calls();
  EXPECT_EQ(refusal(),
            "La unidad de control: PZA, no permite el uso de fracciones\r\n"
            "Cantidad-Control-2: 0.75");
  EXPECT_EQ(take_calls("cDatos.Unidad_Permite_Fracciones"),
            (std::vector<std::string>{"cDatos.Unidad_Permite_Fracciones(\"KG\") -> True",
                                      "cDatos.Unidad_Permite_Fracciones(\"PZA\") -> False",
                                      "cDatos.Unidad_Permite_Fracciones(\"PZA\") -> False"}));
}

TEST_P(Admission, CostMayBeZeroButNotNegative) {
  shape().set_number(D::Ct_Costo, 0);
  EXPECT_TRUE(add()) << q().get_Error();
  shape().set_number(D::Ct_Costo, -0.01);
  EXPECT_EQ(refusal(), "El costo no puede ser negativo: \r\nCosto: -0.01");
  EXPECT_EQ(line_id(), "0001");
}

TEST_P(Admission, NumberingRunsOnAndAFailedInsertLeavesAGap) {
  ASSERT_TRUE(add());
  EXPECT_EQ(line_id(), "0001");
  boundary->take_calls();
  boundary->fail("Connection", "Execute", 1, "Disco lleno");
  EXPECT_FALSE(add());
  std::string row_source =
      object() ? "Quorlane.dll - Inserta_Cotizacion2()" : "Quorlane.dll - Inserta_Cotizacion()";
  EXPECT_EQ(q().get_Error(), row_source + "\r\n\r\nDisco lleno");
  EXPECT_EQ(line_id(), "0002");
  EXPECT_TRUE(take_calls("cDatos.Registrar_Documento").empty());

  ASSERT_TRUE(add());
  EXPECT_EQ(line_id(), "0003");
  EXPECT_EQ(q().get_Error(), "");  // emptied on entry
  std::vector<std::string> rows = line_rows(take_statements());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NE(rows[0].find("VALUES ('F-100', '0003', "), std::string::npos);
}

TEST_P(Admission, FailedRegistrationNamesTheSourceWithOneLineBreak) {
  host->set("cDatos", "Registrar_Documento", false);
  host->set("cDatos", "Ultimo_Error", "El documento ya está registrado");
  EXPECT_EQ(refusal(), admission_source() + "\r\nEl documento ya está registrado");
  EXPECT_EQ(line_rows(take_statements()).size(), 1u);  // the row stays stored
}

TEST_P(Admission, HostFailureTakesTheErrorExitWithTwoLineBreaks) {
  boundary->fail("cDatos", "Fecha_Servidor", 1, "Servidor no disponible");
  EXPECT_EQ(refusal(), admission_source() + "\r\n\r\nServidor no disponible");
}

TEST_P(Admission, LineCounterOverflowsAtThe32768thLine) {
  shape().set_text(H::Ct_Folio, "F-7");  // an existing quote: no opening steps
  Access::m_Partida(q()) = 32766;
  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(line_id(), "32767");
  boundary->take_calls();

  EXPECT_EQ(refusal(), admission_source() + "\r\n\r\nDesbordamiento");
  EXPECT_EQ(Access::m_Partida(q()), 32767);
  EXPECT_EQ(line_id(), "32767");
  EXPECT_TRUE(take_calls("Connection.Execute").empty());
}

TEST_P(Admission, ExistingFolioSetByTheClientContinuesFromTheObjectsCounter) {
  if (object())
    q().put_Folio2("F-7");
  else
    q().put_Folio("F-7");
  ASSERT_TRUE(add());
  EXPECT_EQ(line_id(), "0001");
  EXPECT_TRUE(take_calls("cDatos.Obtener_Folio").empty());
  // The other twin's folio is untouched.
  EXPECT_EQ(object() ? q().get_Folio() : q().get_Folio2(), "");
}

TEST_P(Admission, NewFolioRestartsTheNumbering) {
  ASSERT_TRUE(add());
  ASSERT_TRUE(add());
  EXPECT_EQ(line_id(), "0002");
  folios.push_back("F-101");
  q().Nuevo();  // the counter is kept until a folio is allocated
  fill_header(shape());
  fill_line(shape());
  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_EQ(folio(), "F-101");
  EXPECT_EQ(line_id(), "0001");
}

INSTANTIATE_TEST_SUITE_P(Twins, Admission, ::testing::Bool(), twin_name);

}  // namespace
}  // namespace quorlane::test
