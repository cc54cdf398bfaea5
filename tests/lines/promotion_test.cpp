#include "line_fixture.h"

namespace quorlane::test {
namespace {

const char* const kProductQuery = "SELECT * FROM Producto WHERE Pr_Cve_Producto = 'REG1' ";

// The promotion of `quantity` pieces of REG1.
tPromocion promotion(double quantity) {
  tPromocion p;
  p.Pr_Cve_Producto = "REG1";
  p.Cantidad = quantity;
  p.Un_Cve_Unidad = "PZA";
  return p;
}

class Promotion : public LineTest {
 protected:
  void SetUp() override {
    LineTest::SetUp();
    host->on("cSistema", "Obtener_Parametro", [this](std::vector<Variant>& a) -> Variant {
      if (a[0].raw_text() == "GEN_COMENTARIO_PROMOCION" && comment_set) return comment;
      return a[3];
    });
    // P001 earns one piece of REG1; REG1 earns nothing unless a test says so.
    host->on("cPromociones", "Obtener_Promocion", [this](std::vector<Variant>& a) -> Variant {
      ++requests;
      if (a[3].raw_text() == "P001" || earns_itself)
        return Variant::record(promotion(earns_itself && growing ? requests : 1.0));
      return Variant::record(tPromocion{});
    });
    host->on_execute([this](const std::string& sql) -> std::shared_ptr<Recordset> {
      if (sql != kProductQuery) return nullptr;
      if (!product_exists) return rows({"Pr_Cve_Producto"}, {});
      return rows({"Pr_Cve_Producto", "Pr_Descripcion", "Pr_Unidad_Costo", "Pr_Unidad_Control_1",
                   "Pr_Unidad_Control_2"},
                  {{"REG1", description, unit_cost, "PZA", "CJA"}});
    });
    host->on("cDatos", "Factor_Conversion", [](std::vector<Variant>& a) -> Variant {
      return a[2].raw_text() == "CJA" ? 0.5 : 1.0;
    });
    host->set("cInventario", "Obtener_Costo", 7.5);
  }
  void create_with_promotions() {
    create_quote();
    shape().set_text(D::Ct_Sucursal_Inventario, "S02");
    shape().set_text(D::Ct_Almacen_Inventario, "A09");
    q().put_Agregar_Promociones(true);
    boundary->take_calls();
  }

  bool comment_set = false;
  Variant comment;
  Variant description = "CAMISA";
  Variant unit_cost = "PZA";
  bool product_exists = true;
  bool earns_itself = false;
  bool growing = false;
  int requests = 0;
};

// The value list of a row statement.
std::string values_of(const std::string& row) { return row.substr(row.find("VALUES (") + 8); }

// The exchange with the promotion service, the unit factors and the inventory cost, the stored
// promotion row and the header's global discount amount. The whole call sequence of a line with
// a promotion, in both twins, is compared by the end-to-end scripts.
TEST_P(Promotion, PromotionLineIsBuiltFromTheProductAndCostedWhereTheTwinKeepsItsStock) {
  create_with_promotions();
  ASSERT_TRUE(add()) << q().get_Error();
  std::vector<std::string> promotion_calls, statements;
  for (const CallRecord& c : boundary->take_calls()) {
    if (c.service == "Connection") statements.push_back(c.args[0].raw_text());
    if (c.service == "cPromociones" || c.operation == "Factor_Conversion" ||
        c.operation == "Obtener_Costo")
      promotion_calls.push_back(call_text(c));
  }
  std::string inventory = object() ? "\"S02\", \"A09\"" : "\"S01\", \"A01\"";
  EXPECT_EQ(
      promotion_calls,
      (std::vector<std::string>{
          "cPromociones.Obtener_Promocion(#2026-12-01#, \"S01\", \"C001\", \"P001\", \"\", "
          "\"\", 2, \"PZA\") -> tPromocion(\"REG1\", \"\", \"\", 1, \"PZA\")",
          "cDatos.Factor_Conversion(\"REG1\", \"PZA\", \"PZA\") -> 1",
          "cDatos.Factor_Conversion(\"REG1\", \"PZA\", \"CJA\") -> 0.5",
          "cInventario.Obtener_Costo(" + inventory + ", \"REG1\", \"\", \"\", 0, \"\") -> 7.5",
          "cPromociones.Obtener_Promocion(#2026-12-01#, \"S01\", \"C001\", \"REG1\", \"\", "
          "\"\", 1, \"PZA\") -> tPromocion(\"\", \"\", \"\", 0, \"\")"}));
  EXPECT_EQ(host->created("cPromociones"), 2);  // one instance per request

  std::vector<std::string> rows = line_rows(statements);
  ASSERT_EQ(rows.size(), 2u);
  // Same item as the line that earned it, the next id, no prices, the inventory cost and the
  // header's global discount amount at 0.
  std::string promotion_values =
      object() ? "'F-100', '0002', '', 'PED-7', '', 1, 'Camisas', '*PROMOCION* CAMISA', "
                 "'2026-12-01', 'Entrega a O''Brien', 'Ana', '', 'S01', 'A01', 'S02', 'A09', "
                 "'C001', 'V01', 'REG1', '', '', 0, '4100', 0.1, 0, 1, 'PZA', 1, 'PZA', 0.5, "
                 "'CJA', 1, 'PZA', 7.5, 7.5, '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'MXN', 17.25, "
                 "'OPER', '2026-12-05 10:30:00', 'OPER', '2026-12-05 10:30:00') "
               : "'F-100', '0002', '', 'PED-7', '', 1, 'Camisas', '*PROMOCION* CAMISA', "
                 "'2026-12-01', 'Entrega a O''Brien', 'Ana', '', 'S01', 'A01', 'S01', 'A01', "
                 "'C001', 'V01', 'REG1', '', '', '4100', 0.1, 0, 1, 'PZA', 1, 'PZA', 0.5, 'CJA', "
                 "1, 'PZA', 7.5, 7.5, '', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'MXN', 17.25, 'OPER', "
                 "'2026-12-05 10:30:00', 'OPER', '2026-12-05 10:30:00') ";
  EXPECT_EQ(values_of(rows[1]), promotion_values);
  EXPECT_EQ(shape().number(H::Ct_Descuento_Global_Importe), 0);
}

TEST_P(Promotion, ConceptIsTheCommentAndTheDescriptionCutByCharactersThenTrimmed) {
  // A null description gives the comment alone.
  description = Variant::null();
  create_with_promotions();
  ASSERT_TRUE(add()) << q().get_Error();
  EXPECT_NE(line_rows(take_statements())[1].find(", '*PROMOCION*', "), std::string::npos);

  // "*PROMOCION* " is 12 characters; the cut falls on the blank after the Ñs, which is stripped,
  // and a cut inside a run of two-byte characters keeps whole characters.
  std::string enies;
  for (size_t i = 0; i < (object() ? 50u : 100u) - 13; ++i) enies += "Ñ";
  for (const auto& [text, expected] :
       {std::pair{enies + " MAS", enies}, std::pair{enies + "ÉÉÉÉ", enies + "É"}}) {
    description = text;
    fill_line(shape());
    ASSERT_TRUE(add()) << q().get_Error();
    EXPECT_NE(line_rows(take_statements())[1].find("'*PROMOCION* " + expected + "', "),
              std::string::npos);
  }

  // An empty comment (read at start-up) leaves a leading blank, which is stripped.
  reset_thread_state();
  comment_set = true;
  comment = "";
  description = "CAMISA";
  create_with_promotions();
  ASSERT_TRUE(add()) << q().get_Error();
  if (object()) {
    EXPECT_EQ(shape().text(D::Ct_Concepto), "CAMISA");
  }
  EXPECT_NE(line_rows(take_statements())[1].find(", 'CAMISA', "), std::string::npos);
}

TEST_P(Promotion, FailuresWhileBuildingThePromotionLine) {
  // A missing product: the triggering row is stored, nothing is registered or rewritten.
  product_exists = false;
  create_with_promotions();
  EXPECT_EQ(refusal(), "El producto: REG1, no existe.");
  std::vector<std::string> statements;
  for (const CallRecord& c : boundary->take_calls()) {
    EXPECT_NE(c.operation, "Registrar_Documento");
    if (c.service == "Connection") statements.push_back(c.args[0].raw_text());
  }
  ASSERT_EQ(statements.size(), 3u);  // header row, the line's row, the product query
  EXPECT_EQ(values_of(line_rows(statements)[0]).substr(0, 17), "'F-100', '0001', ");
  EXPECT_EQ(statements[2], kProductQuery);
  EXPECT_EQ(shape().text(D::Pr_Cve_Producto), "P001");

  // A null unit: the error exit with one line break; the fields before it stay rewritten.
  product_exists = true;
  unit_cost = Variant::null();
  fill_line(shape());
  EXPECT_EQ(refusal(), routine_source("Inserta_Promocion") + "\r\nUso no válido de Null");
  EXPECT_EQ(shape().text(D::Pr_Cve_Producto), "REG1");
  EXPECT_EQ(shape().text(D::Ct_Unidad_Costo), "PZA");

  // A promotion line refused by admission keeps its message, and stays.
  unit_cost = "PZA";
  host->set("cDatos", "Factor_Conversion", 0.0);  // both control quantities come out 0
  fill_line(shape());
  EXPECT_EQ(refusal().rfind("La cantidad no puede ser cero: \r\n", 0), 0u);
  EXPECT_EQ(shape().text(D::Pr_Cve_Producto), "REG1");
}

TEST_P(Promotion, SelfEarningPromotionIsStoppedByTheChainBound) {
  earns_itself = true;
  create_with_promotions();
  EXPECT_EQ(refusal(),
            "La cadena de promociones repite el producto: REG1, no es posible continuar");
  EXPECT_EQ(line_rows(take_statements()).size(), 2u);  // the line and one promotion line
  EXPECT_EQ(Access::m_Promocion_Profundidad(q()), 0);

  // A promotion that grows each time never repeats: the depth limit ends it.
  growing = true;
  fill_line(shape());
  EXPECT_EQ(refusal(), "La cadena de promociones excede el límite de 20 niveles");
  EXPECT_EQ(line_rows(take_statements()).size(), 21u);
  EXPECT_EQ(Access::m_Promocion_Profundidad(q()), 0);

  // The quote goes on working afterwards.
  earns_itself = false;
  fill_line(shape());
  shape().set_text(D::Pr_Cve_Producto, "P002");
  EXPECT_TRUE(add()) << q().get_Error();
}

TEST_P(Promotion, FlagOffNeverAsksAndNoPromotionLeavesTheLine) {
  create_quote();
  ASSERT_TRUE(add());
  EXPECT_EQ(host->created("cPromociones"), 0);

  q().put_Agregar_Promociones(true);
  shape().set_text(D::Pr_Cve_Producto, "P002");
  boundary->take_calls();
  ASSERT_TRUE(add());
  EXPECT_EQ(take_calls("cPromociones.Obtener_Promocion").size(), 1u);
  EXPECT_EQ(shape().text(D::Pr_Cve_Producto), "P002");
  EXPECT_EQ(shape().text(D::Ct_ID), "0002");
}

INSTANTIATE_TEST_SUITE_P(Twins, Promotion, ::testing::Bool(), twin_name);

}  // namespace
}  // namespace quorlane::test
