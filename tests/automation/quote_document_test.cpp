#include "automation/quote_document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "support/host_test.h"

namespace quorlane::automation {
namespace {

Json read_json_file(const std::string& relative) {
  std::ifstream in(std::string(QUORLANE_SOURCE_DIR) + "/" + relative);
  EXPECT_TRUE(in.good()) << relative;
  std::stringstream s;
  s << in.rdbuf();
  return Json::parse(s.str());
}

// The problems of a document, one "path: problem" text each.
std::vector<std::string> problems_of(const std::string& document) {
  std::vector<std::string> out;
  for (const DocumentProblem& p : check_quote_document(Json::parse(document)))
    out.push_back(p.text());
  return out;
}

const char* const kRecordHeader =
    R"("header": {"Mn_Cve_Moneda": "MXN", "Ct_Tipo_Cambio": 1, "Sucursal": {"Sc_Cve_Sucursal": "S1"},
       "Almacen": {"Al_Cve_Almacen": "A1"}, "Cliente": {"Cl_Cve_Cliente": "C1"},
       "Vendedor": {"Vn_Cve_Vendedor": "V1"}})";
const char* const kRecordLine =
    R"({"Producto": {"Pr_Cve_Producto": "P1"}, "Ct_Cantidad_1": 2, "Ct_Unidad_1": "PZA"})";

std::string record_document(const std::string& lines, const std::string& more = "") {
  return std::string("{") + kRecordHeader + R"(, "lines": [)" + lines + "]" + more + "}";
}

// (That the file is what 'quorlane quote --schema' prints, the program's tests show; the fields
// of each record come from its own declaration.)
TEST(QuoteDocumentSchema, RecordsAreClosedRequireTheKeysLookedUpAndEachShapeTakesItsOwn) {
  const Json file = read_json_file("docs/quote-document.schema.json");
  const Json& defs = file["$defs"];
  const std::map<std::string, Json> required = {
      {"tCtEncabezado", Json::array({"Mn_Cve_Moneda", "Ct_Tipo_Cambio", "Sucursal", "Almacen",
                                     "Cliente", "Vendedor"})},
      {"tCtSucursal", Json::array({"Sc_Cve_Sucursal"})},
      {"tCtAlmacen", Json::array({"Al_Cve_Almacen"})},
      {"tCtCliente", Json::array({"Cl_Cve_Cliente"})},
      {"tCtVendedor", Json::array({"Vn_Cve_Vendedor"})},
      {"tCtDetalle", Json::array({"Producto", "Ct_Cantidad_1", "Ct_Unidad_1"})},
      {"tCtProducto", Json::array({"Pr_Cve_Producto"})},
      {"cCtEncabezado", Json::array({"Mn_Cve_Moneda", "Ct_Tipo_Cambio", "Sc_Cve_Sucursal",
                                     "Al_Cve_Almacen", "Cl_Cve_Cliente", "Vn_Cve_Vendedor"})},
      {"cCtDetalle", Json::array({"Pr_Cve_Producto", "Ct_Cantidad_1", "Ct_Unidad_1"})}};
  EXPECT_EQ(defs.size(), document_records().size());
  for (const RecordFields* record : document_records()) {
    SCOPED_TRACE(record->name);
    const Json& def = defs.at(record->name);
    EXPECT_EQ(def["additionalProperties"], false);
    EXPECT_EQ(def["properties"].size(), record->fields.size());
    auto it = required.find(record->name);
    EXPECT_EQ(def.value("required", Json::array()),
              it == required.end() ? Json::array() : it->second);
  }
  EXPECT_EQ(file["required"], Json::array({"header", "lines"}));
  EXPECT_EQ(file["then"]["properties"]["lines"]["items"]["$ref"], "#/$defs/cCtDetalle");
  EXPECT_EQ(file["else"]["properties"]["header"]["$ref"], "#/$defs/tCtEncabezado");
}

TEST(QuoteDocumentCheck, ShippedExamplesAreValid) {
  for (const char* name : {"examples/demo-quote.json", "examples/object-quote.json"})
    EXPECT_EQ(check_quote_document(read_json_file(name)).size(), 0u) << name;
  std::ifstream in(std::string(QUORLANE_SOURCE_DIR) + "/examples/import.jsonl");
  int documents = 0;
  for (std::string line; std::getline(in, line); ++documents)
    EXPECT_EQ(problems_of(line), std::vector<std::string>{}) << line;
  EXPECT_GT(documents, 3);
}

TEST(QuoteDocumentCheck, NamesEveryProblemWithItsPath) {
  std::string lines = std::string(kRecordLine) + ", " + kRecordLine + R"(,
      {"Producto": {"Pr_Cve_Producto": "P1", "Pr_Color": "x"}, "Ct_Cantidad_1": "2",
       "Ct_Unidad_1": 5, "Ct_Partida": "1a"})";
  EXPECT_EQ(
      problems_of(record_document(lines, R"(, "finalizar": "SI")")),
      (std::vector<std::string>{
          "lines[2].Producto.Pr_Color: unknown field of tCtProducto",
          "lines[2].Ct_Cantidad_1: expected a number", "lines[2].Ct_Unidad_1: expected a string",
          "lines[2].Ct_Partida: expected a number written as a string, such as \"1\"",
          "finalizar: expected true or false"}));

  // Missing required fields, nested ones included; a misspelt or misplaced name gets a hint.
  EXPECT_EQ(problems_of(R"({"header": {"Mn_Cve_Moneda": "MXN", "Sucursal": {},
      "almacen": {"Al_Cve_Almacen": "A1"}, "Cliente": {"Cl_Cve_Cliente": "C1",
      "Cl_Dias_Credito": 40000}, "Vendedor": {"Vn_Cve_Vendedor": "V1"}, "Ct_Fecha": "5/12/2026"},
      "lines": [{"Pr_Cve_Producto": "P1", "Ct_Cantidad_1": 1, "Ct_Unidad_1": "PZA"}],
      "promociones": true, "notas": ""})"),
            (std::vector<std::string>{
                "header.Sucursal.Sc_Cve_Sucursal: missing: a required field",
                "header.almacen: unknown field (did you mean Almacen?)",
                "header.Cliente.Cl_Dias_Credito: expected a whole number from -32768 to 32767",
                "header.Ct_Fecha: expected a date: \"YYYY-MM-DD\" or \"YYYY-MM-DDTHH:MM:SS\"",
                "header.Ct_Tipo_Cambio: missing: a required field",
                "header.Almacen: missing: a required field",
                "lines[0].Pr_Cve_Producto: unknown field of tCtDetalle (did you mean "
                "Producto.Pr_Cve_Producto?)",
                "lines[0].Producto: missing: a required field",
                "notas: unknown field of the quote document (shape, header, lines, promociones, "
                "finalizar)"}));

  // The object shape takes the property classes' flat fields and refuses the records' ones.
  EXPECT_EQ(problems_of(R"({"shape": "object", "header": {"Mn_Cve_Moneda": "MXN",
      "Ct_Tipo_Cambio": 1, "Sc_Cve_Sucursal": "S1", "Al_Cve_Almacen": "A1",
      "Cl_Cve_Cliente": "C1", "Vn_Cve_Vendedor": "V1"}, "lines": [{"Pr_Cve_Producto": "P1",
      "Ct_Cantidad_1": 1, "Ct_Unidad_1": "PZA", "Ct_Cuota": 2.5},
      {"Producto": {"Pr_Cve_Producto": "P1"}, "Ct_Cantidad_1": 1, "Ct_Unidad_1": "PZA",
       "Ct_UserDef": "x"}]})"),
            (std::vector<std::string>{"lines[1].Producto: unknown field of cCtDetalle",
                                      "lines[1].Ct_UserDef: unknown field of cCtDetalle",
                                      "lines[1].Pr_Cve_Producto: missing: a required field"}));

  EXPECT_EQ(problems_of("[1]"),
            std::vector<std::string>{"document: expected a JSON object (a quote document)"});
  EXPECT_EQ(problems_of(R"({"shape": "objeto", "header": {}, "lines": []})"),
            (std::vector<std::string>{"shape: expected \"record\" or \"object\"",
                                      "lines: expected at least one line"}));
  EXPECT_EQ(problems_of(R"({"lines": [1]})"),
            (std::vector<std::string>{"lines[0]: expected an object (a tCtDetalle)",
                                      "header: missing: a required field"}));
  EXPECT_EQ(problems_of(record_document(kRecordLine)), std::vector<std::string>{});
  // A key that is no plain name is written as a JSON string, so that the path still names it.
  EXPECT_EQ(
      problems_of(R"({"": 1, "lines": [{"a.b": 1, "Producto": {" ": 2}}]})"),
      (std::vector<std::string>{
          "\"\": unknown field of the quote document (shape, header, lines, promociones, "
          "finalizar)",
          "lines[0].\"a.b\": unknown field of tCtDetalle",
          "lines[0].Producto.\" \": unknown field of tCtProducto",
          "lines[0].Producto.Pr_Cve_Producto: missing: a required field",
          "lines[0].Ct_Cantidad_1: missing: a required field",
          "lines[0].Ct_Unidad_1: missing: a required field", "header: missing: a required field"}));
}

// (That an invalid document is refused whole, the program's tests show.)
TEST(QuoteDocumentCheck, ReadingADocumentTakesItsShapeAndFlagsFalseUnlessGiven) {
  QuoteDocument d =
      read_quote_document(Json::parse(record_document(kRecordLine, R"(, "promociones": true)")));
  EXPECT_EQ(d.shape, DocumentShape::Record);
  EXPECT_TRUE(d.promociones);
  EXPECT_FALSE(d.finalizar);
  ASSERT_EQ(d.lines.size(), 1u);
  EXPECT_EQ(line_record(d.lines[0]).Ct_Cantidad_1, 2);
  EXPECT_EQ(header_record(d.header).Almacen.Al_Cve_Almacen, "A1");
}

class QuoteDocumentObjects : public test::HostTest {};

TEST_F(QuoteDocumentObjects, SetsOnlyTheGivenPropertiesThroughTheSetters) {
  Ref<_cCtDetalle> line = create_cCtDetalle();
  line->put_Ct_Concepto("kept");
  set_properties(*line, Json::parse(R"({"Pr_Cve_Producto": "P5", "Ct_Cantidad_1": 2.5,
                                        "Ct_Cuota": 4})"));
  EXPECT_EQ(line->get_Pr_Cve_Producto(), "P5");
  EXPECT_EQ(line->get_Ct_Cantidad_1(), 2.5);
  EXPECT_EQ(line->get_Ct_Cuota(), 4);
  EXPECT_EQ(line->get_Ct_Concepto(), "kept");

  Ref<_cCtEncabezado> header = create_cCtEncabezado();
  set_properties(*header, Json::parse(R"({"Ct_Fecha": "2026-12-05T10:30:00",
                                          "Sc_Cve_Sucursal": "S1"})"));
  EXPECT_EQ(header->get_Ct_Fecha(), make_date(2026, 12, 5, 10, 30, 0));
  EXPECT_EQ(header->get_Sc_Cve_Sucursal(), "S1");
  EXPECT_EQ(header->get_Cl_Cve_Cliente(), "");
}

}  // namespace
}  // namespace quorlane::automation
