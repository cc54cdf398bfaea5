// The JSON automation input: script requests and quote documents. Each line of the input is
//   - answered by a script runner (one per input, on the scripted fake host, so that every input
//     starts from the same state): the runner never throws, and its answer is one object that
//     begins with a Boolean "ok", with an "error" text when it is false, and that can be written
//     as a line of JSON;
//   - read as a quote document: either it is refused with InvalidDocument (at least one problem,
//     each with its path and text) or it is valid, and then
//       * a record-shape header and its lines read back the same: the JSON of a record, read
//         again as a record, gives the same JSON;
//       * the quote is built from it as `quorlane quote` builds it (header, each line assigned
//         and admitted, finalised when asked), on the same fake host; only the component's own
//         Failure may stop it;
//   - read inside as many arrays as the nesting bound allows, less one, so that whatever nesting
//     the line has goes past the bound: the value read is never deeper than the bound, and
//     copying, comparing and writing it out (all recursive) work.
// Any other exception, a crash or a sanitizer report stops the run with the input.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "automation/json_input.h"
#include "automation/json_values.h"
#include "automation/quote_document.h"
#include "automation/script_runner.h"
#include "cli/document_input.h"
#include "quorlane/interfaces.h"
#include "support/fake_host.h"

using namespace quorlane;
using automation::Json;

namespace {

// The fake host behind the runner: "host" requests become the fake's answers and "sql" requests
// get no rows. Every catalogue key exists (a description for any field), no customer is
// blocked, every branch is served by this server and the folio series gives a folio, so that a
// document's lines get as far as their rows.
class FuzzScriptHost final : public automation::ScriptHost {
 public:
  FuzzScriptHost() {
    host->set("cDatos", "Obtener_Folio", Variant("CT0000000001"));
    host->set("cSistema", "Servidor_Actual", Variant("SRV1"));
    host->on("cDatos", "Obtener_Campo", [](std::vector<Variant>& args) -> Variant {
      const std::string field = args.size() > 3 ? args[3].to_text() : "";
      if (field == "Cl_Bloqueado") return Variant("NO");
      if (field == "Sc_Servidor_Id") return Variant("SRV1");
      return Variant("Descripción");
    });
  }
  std::shared_ptr<HostFactory> factory() override { return host->factory(); }
  void change(const automation::HostChanges& c) override {
    if (c.server_id) host->set("cSistema", "Servidor_Actual", *c.server_id);
    if (c.remote) host->set("cSistema", "Es_Servidor_Remoto", *c.remote);
    if (c.operator_name) host->set("cSistema", "Operador_Actual", *c.operator_name);
    if (c.clock) host->set("cDatos", "Fecha_Servidor", c.clock->value_or(Date{46361.4375}));
  }
  automation::SqlRows run_sql(const std::string& text) override {
    return automation::read_rows(host->execute(text));
  }

  std::shared_ptr<test::FakeHost> host = std::make_shared<test::FakeHost>();
};

void check_answer(const Json& answer) {
  if (!answer.is_object() || answer.empty() || answer.begin().key() != "ok" ||
      !answer.begin().value().is_boolean())
    std::abort();
  if (!answer["ok"].get<bool>() && !answer.contains("error")) std::abort();
  // The program writes each answer as a line; a text that is no UTF-8 is replaced, never thrown.
  std::string line = answer.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (line.find('\n') != std::string::npos) std::abort();
}

// The JSON of a record, read again, gives the same JSON.
template <class R>
void reads_back(const R& record) {
  const Json first = automation::record_to_json(record);
  const Json again = automation::record_to_json(automation::record_from_json<R>(first));
  if (first != again) std::abort();
}

// Builds the quote on the installed host, as `quorlane quote` does.
void build(const automation::QuoteDocument& document) {
  Ref<_Cotizacion> quote = create_Cotizacion();
  quote->Nuevo();
  quote->put_Agregar_Promociones(document.promociones);
  const bool object = document.shape == automation::DocumentShape::Object;
  if (object) {
    Ref<_cCtEncabezado> header = create_cCtEncabezado();
    automation::set_properties(*header, document.header);
    quote->putref_Encabezado2(header.get());
  } else {
    quote->put_Encabezado(automation::header_record(document.header));
  }
  for (const Json& values : document.lines) {
    if (object) {
      Ref<_cCtDetalle> line = create_cCtDetalle();
      automation::set_properties(*line, values);
      quote->putref_Detalle2(line.get());
      quote->Add_Cotizacion_Detalle2();
    } else {
      quote->put_Detalle(automation::line_record(values));
      quote->Add_Cotizacion_Detalle();
    }
  }
  if (document.finalizar) {
    std::string folio = object ? quote->get_Folio2() : quote->get_Folio();
    quote->Finalizar_Cotizacion(folio);
  }
  (void)quote->get_Error();
}

void as_document(const std::string& text) {
  automation::QuoteDocument document;
  try {
    document = cli::parse_quote_document(text);
  } catch (const automation::InvalidDocument& e) {
    if (e.problems().empty()) std::abort();
    for (const automation::DocumentProblem& p : e.problems())
      if (p.path.empty() || p.problem.empty()) std::abort();
    return;
  }
  if (document.lines.empty()) std::abort();
  if (document.shape == automation::DocumentShape::Record) {
    reads_back(automation::header_record(document.header));
    for (const Json& line : document.lines) reads_back(automation::line_record(line));
  }
  try {
    build(document);
  } catch (const Failure&) {
    // A failure of the component or of its host: reported, as the programs report it.
  }
}

size_t depth(const Json& value) {
  size_t deepest = 0;
  if (value.is_structured())
    for (const Json& item : value) deepest = std::max(deepest, depth(item));
  return value.is_structured() ? deepest + 1 : 0;
}

void nested(const std::string& line) {
  const size_t levels = automation::kMaxJsonDepth - 1;
  const std::string wrapped = std::string(levels, '[') + line + std::string(levels, ']');
  Json value;
  try {
    value = automation::parse_json_input(wrapped);
  } catch (const automation::JsonInputError& e) {
    if (e.problem().empty()) std::abort();
    return;
  }
  if (depth(value) > automation::kMaxJsonDepth) std::abort();
  const Json copy = value;
  if (copy != value) std::abort();
  (void)copy.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  auto script_host = std::make_shared<FuzzScriptHost>();
  automation::ScriptRunner runner(script_host);
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string line(input.substr(start, end - start));
    start = end + 1;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    Json answer;
    try {
      answer = runner.handle(line);
    } catch (...) {
      std::abort();  // the runner answers every request, whatever it is
    }
    check_answer(answer);
    as_document(line);
    nested(line);
  }
  return 0;
}
