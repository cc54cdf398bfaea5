// The published JSON Schemas against the program, checked with an independent validator
// (python3-jsonschema, Draft 2020-12): the quote document's schema and `quorlane quote --check`
// give the same verdict on every document of a mutated corpus, and the real --json outputs of
// the program fit the output schema.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using quorlane::test::quoted;

const std::string kSource = QUORLANE_SOURCE_DIR;

// Reads {"def": NAME or null, "instance": VALUE} lines and answers each with "valid" or
// "invalid: why", validating against the whole schema or against one of its $defs.
const char* const kValidator = R"(
import json, sys
from jsonschema import Draft202012Validator
schema = json.load(open(sys.argv[1]))
Draft202012Validator.check_schema(schema)
for line in sys.stdin:
    item = json.loads(line)
    target = schema if item["def"] is None else {"$ref": "#/$defs/" + item["def"], "$defs": schema["$defs"]}
    errors = list(Draft202012Validator(target).iter_errors(item["instance"]))
    print("valid" if not errors else "invalid: " + " ".join(errors[0].message.split())[:300])
)";

class SchemaTest : public quorlane::test::ProgramDirTest {
 protected:
  // The validator's verdict on each (definition, instance); "" as the definition for the whole.
  std::vector<std::string> validate(const std::string& schema,
                                    const std::vector<std::pair<std::string, Json>>& items) {
    std::ofstream(dir / "validator.py") << kValidator;
    std::string input;
    for (const auto& [def, instance] : items)
      input +=
          Json{{"def", def.empty() ? Json() : Json(def)}, {"instance", instance}}.dump() + "\n";
    quorlane::test::ProgramRun run = quorlane::test::run_shell(
        dir, "/usr/bin/python3 validator.py " + quoted(kSource + "/docs/" + schema), input);
    EXPECT_EQ(run.status, 0) << "python3-jsonschema is needed (scripts/setup): " << run.err;
    std::vector<std::string> out;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) out.push_back(line);
    EXPECT_EQ(out.size(), items.size()) << run.err;
    out.resize(items.size());
    return out;
  }
};

// The corpus: a few valid documents, and each mutated in its dates, its fields' values and its
// structure.
std::vector<Json> document_corpus() {
  const Json record = Json::parse(quorlane::test::file_text(kSource + "/examples/demo-quote.json"));
  const Json object =
      Json::parse(quorlane::test::file_text(kSource + "/examples/object-quote.json"));
  Json minimal = record;
  minimal["header"].erase("Ct_Fecha");
  minimal["lines"] = Json::array({Json{
      {"Producto", {{"Pr_Cve_Producto", "P1"}}}, {"Ct_Cantidad_1", 1}, {"Ct_Unidad_1", "PZA"}}});
  minimal.erase("shape");
  std::vector<Json> out = {record, object, minimal};

  const Json dates[] = {"2026-12-05",
                        "2024-02-29",
                        "2000-02-29",
                        "2026-12-05T23:59:59",
                        "2026-12-05 10:30",
                        "0001-01-01",
                        46361.5,
                        "2026-13-45",
                        "2026-02-30",
                        "2026-02-29",
                        "1900-02-29",
                        "2026-04-31",
                        "2026-12-05T25:00",
                        "2026-12-05T10:60",
                        " 2026-12-05",
                        "2026-12-05 ",
                        "2026-12-05\n",
                        "2026-12-05T10:30:00.5",
                        "2026-12-05T10:30:00Z",
                        "2026-1-5",
                        "",
                        "05/12/2026",
                        "2026-12-05T10",
                        true,
                        nullptr};
  const Json values[] = {"x",     "12",           1.5,           40000,       -32768, true,
                         nullptr, Json::object(), Json::array(), "2026-02-30"};
  size_t turn = 0;
  for (const Json& base : {record, object}) {
    for (const Json& date : dates) {
      Json d = base;
      d["header"]["Ct_Fecha"] = date;
      out.push_back(d);
    }
    // Every field of the header and of the first line, each given two values in turn.
    for (const char* part : {"header", "line"}) {
      const Json& fields = std::string(part) == "header" ? base["header"] : base["lines"][0];
      for (auto it = fields.begin(); it != fields.end(); ++it)
        for (int k = 0; k < 2; ++k, ++turn) {
          Json d = base;
          Json& target = std::string(part) == "header" ? d["header"] : d["lines"][0];
          target[it.key()] = values[turn % std::size(values)];
          out.push_back(d);
        }
    }
    for (const Json& partida :
         {Json("1"), Json("-2.5"), Json("1."), Json("1e3"), Json(" 1"), Json("1\n"), Json(3)}) {
      Json d = base;
      d["lines"][1]["Ct_Partida"] = partida;
      out.push_back(d);
    }
    auto mutated = [&](auto change) {
      Json d = base;
      change(d);
      out.push_back(d);
    };
    mutated([](Json& d) { d["header"].erase("Mn_Cve_Moneda"); });
    mutated([](Json& d) { d["lines"][2].erase("Ct_Unidad_1"); });
    mutated([](Json& d) { d["header"]["Ct_Unknown"] = 1; });
    mutated([](Json& d) { d["lines"][0]["ct_cantidad_1"] = 1; });
    mutated([](Json& d) { d["lines"] = Json::array(); });
    mutated([](Json& d) { d["lines"] = Json::object(); });
    mutated([](Json& d) { d["lines"].push_back("line"); });
    mutated([](Json& d) { d["header"] = Json::array(); });
    mutated([](Json& d) { d.erase("header"); });
    mutated([](Json& d) { d["shape"] = "records"; });
    mutated([](Json& d) { d["promociones"] = "yes"; });
    mutated([](Json& d) { d["finalizar"] = 1; });
    mutated([](Json& d) { d["finalise"] = true; });
    mutated([](Json& d) { d["shape"] = d["shape"] == "object" ? "record" : "object"; });
    mutated([](Json& d) { d.erase("shape"); });
  }
  out.push_back(Json::array());
  out.push_back("document");
  // Nested records of the record shape.
  Json r = record;
  r["header"]["Sucursal"]["Sc_Unknown"] = "x";
  out.push_back(r);
  r = record;
  r["header"]["Cliente"] = Json::object();
  out.push_back(r);
  r = record;
  r["lines"][0]["Producto"] = "P3";
  out.push_back(r);
  return out;
}

TEST_F(SchemaTest, DocumentSchemaAndProgramGiveTheSameVerdictOnEveryDocument) {
  const std::vector<Json> corpus = document_corpus();
  std::vector<std::pair<std::string, Json>> items;
  std::string loop;
  for (size_t i = 0; i < corpus.size(); ++i) {
    std::ofstream(dir / ("d" + std::to_string(i) + ".json")) << corpus[i].dump();
    items.push_back({"", corpus[i]});
  }
  // The program's verdict: the exit status of `quote --check` on each document.
  quorlane::test::ProgramRun run =
      quorlane::test::run_shell(dir, "for i in $(seq 0 " + std::to_string(corpus.size() - 1) +
                                         "); do " + quoted(QUORLANE_PROGRAM_PATH) +
                                         " quote --check d$i.json >/dev/null 2>&1; echo $?; done");
  std::istringstream statuses(run.out);
  const std::vector<std::string> verdicts = validate("quote-document.schema.json", items);
  size_t valid = 0;
  for (size_t i = 0; i < corpus.size(); ++i) {
    std::string status;
    std::getline(statuses, status);
    const bool program_valid = status == "0";
    EXPECT_TRUE(status == "0" || status == "2") << i << ": status " << status;
    EXPECT_EQ(program_valid, verdicts[i] == "valid")
        << "schema: " << verdicts[i] << "; program: status " << status << "\n"
        << corpus[i].dump();
    valid += program_valid;
  }
  // Both verdicts are well represented, so that agreement means something.
  EXPECT_GT(valid, corpus.size() / 4) << corpus.size();
  EXPECT_LT(valid, corpus.size() * 3 / 4) << corpus.size();
}

TEST_F(SchemaTest, JsonOutputsOfEveryCommandFitTheOutputSchema) {
  const std::string db = quoted((dir / "q.db").string());
  ASSERT_EQ(program("init --demo --db " + db).status, 0);
  Json refused = Json::parse(quorlane::test::file_text(kSource + "/examples/demo-quote.json"));
  refused["lines"][1]["Ct_Cantidad_Control_1"] = 3;  // refused by the setter, with a message
  refused["lines"][2]["Ct_Unidad_1"] = "CAJ";        // refused by admission
  std::ofstream(dir / "refused.json") << refused.dump();
  Json invalid = refused;
  invalid["lines"][0]["Ct_Cantidad_1"] = "doce";
  std::ofstream(dir / "quotes.jsonl") << refused.dump() << "\n" << invalid.dump() << "\n{\n";

  std::vector<std::pair<std::string, Json>> items;
  auto output = [&](const std::string& def, const std::string& args) {
    quorlane::test::ProgramRun run = program(args);
    std::istringstream lines(run.out);
    if (def == "import_line") {
      for (std::string line; std::getline(lines, line);)
        items.push_back({line.find("\"summary\"") == std::string::npos ? def : "import_summary",
                         Json::parse(line)});
    } else {
      items.push_back({def, Json::parse(run.out)});
    }
  };
  output("quote", "quote --json --db " + db + " " + quoted(kSource + "/examples/demo-quote.json"));
  output("quote", "quote --json --db " + db + " refused.json");
  output("invalid", "quote --json --db " + db + " quotes.jsonl");
  output("import_line", "import --json --db " + db + " quotes.jsonl");
  output("show", "show --json --db " + db + " A0000000001");
  output("status", "authorize --json --db " + db + " A0000000002");
  output("status", "delete --json --db " + db + " A0000000001");
  output("error",
         "show --json --db 'odbc:Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;' A1");
  ASSERT_EQ(items.size(), 11u);
  // Every kind of answer is one of the schema's answers as a whole, too.
  const size_t outputs = items.size();
  for (size_t i = 0; i < outputs; ++i) items.push_back({"", items[i].second});
  // The schema has teeth: broken answers do not fit.
  Json no_ok = items[0].second;
  no_ok.erase("ok");
  Json bad_line = items[1].second;
  bad_line["lines"][0]["stored"] = "yes";
  Json bad_header = items[7].second;
  bad_header["header"] = "A0000000001";
  Json bad_message = items[9].second;
  bad_message["messages"] = Json::array({Json{{"text", 1}}});
  const std::vector<std::pair<std::string, Json>> broken = {
      {"quote", no_ok}, {"quote", bad_line}, {"show", bad_header}, {"status", bad_message}};
  items.insert(items.end(), broken.begin(), broken.end());

  const std::vector<std::string> verdicts = validate("quorlane-output.schema.json", items);
  for (size_t i = 0; i < items.size(); ++i)
    EXPECT_EQ(verdicts[i].rfind(i < 2 * outputs ? "valid" : "invalid", 0), 0u)
        << i << " (" << items[i].first << "): " << verdicts[i] << "\n"
        << items[i].second.dump();
}

}  // namespace
