// The script runner against the scripted fake host: requests in, exact answers out.
#include "automation/script_runner.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/fake_host.h"

namespace quorlane::automation {
namespace {

using test::FakeHost;

// The fake host behind the runner: "host" requests become the fake's answers. ("sql" requests
// are run by the end-to-end scripts on real databases.)
class FakeScriptHost final : public ScriptHost {
 public:
  explicit FakeScriptHost(std::shared_ptr<FakeHost> h) : host(std::move(h)) {}
  std::shared_ptr<HostFactory> factory() override { return host->factory(); }
  void change(const HostChanges& c) override {
    ++changes;
    if (c.server_id) host->set("cSistema", "Servidor_Actual", *c.server_id);
    if (c.remote) host->set("cSistema", "Es_Servidor_Remoto", *c.remote);
    if (c.operator_name) host->set("cSistema", "Operador_Actual", *c.operator_name);
    if (c.clock) host->set("cDatos", "Fecha_Servidor", c.clock->value_or(kFakeClock));
  }
  SqlRows run_sql(const std::string& text) override { return read_rows(host->execute(text)); }

  static constexpr Date kFakeClock{46361.4375};  // the fake's own 2026-12-05 10:30:00
  std::shared_ptr<FakeHost> host;
  int changes = 0;
};

const char* const kStartUpCalls =
    R"({"service":"cSistema","operation":"Servidor_Actual","args":[],"result":""},)"
    R"({"service":"cSistema","operation":"Obtener_Parametro","args":["COT_TIPO_CALCULO_IMPORTES",0,"N","1"],"result":"1"},)"
    R"({"service":"cSistema","operation":"Obtener_Parametro","args":["GEN_COMENTARIO_PROMOCION",0,"T","*PROMOCION*"],"result":"*PROMOCION*"})";

class ScriptRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { runner = std::make_unique<ScriptRunner>(script_host); }
  void TearDown() override { runner.reset(); }

  std::string ask(const std::string& line) { return runner->handle(line).dump(); }
  Json ask_json(const std::string& line) { return runner->handle(line); }

  std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
  std::shared_ptr<FakeScriptHost> script_host = std::make_shared<FakeScriptHost>(host);
  std::unique_ptr<ScriptRunner> runner;
};

const std::string kOk = R"({"ok":true})";
std::string request_error(const std::string& text) {
  return Json{{"ok", false}, {"kind", "request"}, {"error", text}}.dump();
}
std::string failure(const std::string& text) {
  return Json{{"ok", false}, {"kind", "failure"}, {"error", text}}.dump();
}

TEST_F(ScriptRunnerTest, FailAndAnswerTakeEffectAtTheNthCall) {
  EXPECT_EQ(
      ask(R"({"op":"answer","service":"cSistema","operation":"Servidor_Actual","value":"S9"})"),
      kOk);
  EXPECT_EQ(ask(R"({"op":"fail","service":"cSistema","operation":"Obtener_Parametro","nth":2,)"
                R"("description":"Parámetro ilegible"})"),
            kOk);
  EXPECT_EQ(ask(R"({"op":"create","class":"Cotizacion","name":"q"})"),
            failure("Parámetro ilegible"));
  EXPECT_EQ(
      ask(R"({"op":"calls"})"),
      R"({"ok":true,"calls":[)"
      R"({"service":"cSistema","operation":"Servidor_Actual","args":[],"result":"S9"},)"
      R"({"service":"cSistema","operation":"Obtener_Parametro","args":["COT_TIPO_CALCULO_IMPORTES",0,"N","1"],"result":"1"},)"
      R"({"service":"cSistema","operation":"Obtener_Parametro","args":["GEN_COMENTARIO_PROMOCION",0,"T","*PROMOCION*"],"error":"Parámetro ilegible"}]})");
  // The failed creation named nothing; the next creation runs start-up again, with the answer
  // used up and the host asked again.
  EXPECT_EQ(ask(R"({"op":"get","target":"q","member":"Folio"})"),
            request_error("no object named \"q\""));
  EXPECT_EQ(
      ask(R"({"op":"answer","service":"cSistema","operation":"Obtener_Parametro","nth":1,"value":2})"),
      kOk);
  EXPECT_EQ(ask(R"({"op":"create","class":"Cotizacion","name":"q"})"), kOk);
  EXPECT_EQ(
      ask(R"({"op":"calls"})"),
      R"({"ok":true,"calls":[)"
      R"({"service":"cSistema","operation":"Servidor_Actual","args":[],"result":""},)"
      R"({"service":"cSistema","operation":"Obtener_Parametro","args":["COT_TIPO_CALCULO_IMPORTES",0,"N","1"],"result":2},)"
      R"({"service":"cSistema","operation":"Obtener_Parametro","args":["GEN_COMENTARIO_PROMOCION",0,"T","*PROMOCION*"],"result":"*PROMOCION*"}]})");

  // An answer of a later call leaves the earlier ones to the host.
  EXPECT_EQ(ask(R"({"op":"answer","service":"cDatos","operation":"Fecha_Servidor","nth":2,)"
                R"("value":"2027-01-02T08:00:00"})"),
            kOk);
  for (const char* date : {"2026-12-05T10:30:00", "2027-01-02T08:00:00"}) {
    EXPECT_EQ(ask(R"({"op":"call","target":"q","member":"Nuevo"})"), kOk);
    EXPECT_EQ(ask_json(R"({"op":"get","target":"q","member":"Encabezado"})")["value"]["Ct_Fecha"],
              date);
  }
  EXPECT_EQ(
      ask(R"({"op":"calls"})"),
      R"({"ok":true,"calls":[)"
      R"({"service":"cDatos","operation":"Fecha_Servidor","args":[],"result":"2026-12-05T10:30:00"},)"
      R"({"service":"cDatos","operation":"Fecha_Servidor","args":[],"result":"2027-01-02T08:00:00"}]})");
}

TEST_F(ScriptRunnerTest, WildcardFailureHitsTheNthCallOfAnyOperation) {
  EXPECT_EQ(ask(R"({"op":"fail","service":"*","operation":"*","nth":3,"description":"Caída"})"),
            kOk);
  EXPECT_EQ(ask(R"({"op":"answer","service":"*","operation":"Servidor_Actual","value":"S"})"),
            request_error("unknown service \"*\" (cSistema, cDatos, cInventario, cImpuestos, "
                          "cPromociones, Connection)"));
  EXPECT_EQ(ask(R"({"op":"create","class":"Cotizacion","name":"q"})"), failure("Caída"));
  Json calls = ask_json(R"({"op":"calls"})")["calls"];
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2]["operation"], "Obtener_Parametro");
  EXPECT_EQ(calls[2]["error"], "Caída");
}

TEST_F(ScriptRunnerTest, MalformedRequestsGetRequestErrorsAndTheScriptGoesOn) {
  const char* const kDateForm =
      " must be a date: \"YYYY-MM-DD\", \"YYYY-MM-DDTHH:MM:SS\" or a serial day number";
  const std::pair<std::string, std::string> exchanges[] = {
      {"not json", request_error("not JSON: parse error at line 1, column 2: syntax error while "
                                 "parsing value - invalid literal; last read: 'no'")},
      {"[1,2]", request_error("a request must be a JSON object")},
      {R"({"target":"q"})", request_error("a request needs \"op\"")},
      {R"({"op":"create","class":"Cotizacion"})", request_error("a create request needs \"name\"")},
      {R"({"op":"create","class":"Cotizacion","name":"q","nombre":"x"})",
       request_error("unknown key \"nombre\" in a create request")},
      {"{\"op\":\"create\",\"class\":\"Cotizacion\",\"name\":\"q\"}\r", kOk},
      {R"({"op":"fail","service":"cDatos","operation":"Obtener_Fecha","description":"d"})",
       request_error("unknown operation \"Obtener_Fecha\" of cDatos")},
      {R"({"op":"fail","service":"cDatos","operation":"Fecha_Servidor","nth":0,"description":"d"})",
       request_error("\"nth\" must be a whole number from 1 up")},
      {R"({"op":"answer","service":"cSistema","operation":"Conexion","value":null})",
       request_error("cSistema.Conexion gives an object and cannot be answered")},
      {R"({"op":"answer","service":"cDatos","operation":"Fecha_Servidor","value":"ayer"})",
       request_error(std::string("the answer of cDatos.Fecha_Servidor") + kDateForm)},
      {R"({"op":"answer","service":"cDatos","operation":"Factor_Conversion"})",
       request_error("an answer request needs \"value\"")},
      {R"({"op":"host","clock":"pronto"})", request_error(std::string("\"clock\"") + kDateForm)},
      {R"({"op":"host","servidor":"S1"})",
       request_error("unknown key \"servidor\" in a host request")},
      {R"({"op":"calls","since":0})", request_error("unknown key \"since\" in a calls request")},
      {R"({"op":"sql"})", request_error("a sql request needs \"text\"")},
      {R"({"op":"release","name":"q"})", kOk}};
  // Blank lines get no answer.
  std::string script = "\n   \r\n";
  std::vector<std::string> expected;
  for (const auto& [request, answer] : exchanges) {
    script += request + "\n";
    expected.push_back(answer);
  }
  std::istringstream in(script);
  std::ostringstream out;
  runner->run(in, out);
  std::vector<std::string> answers;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) answers.push_back(line);
  EXPECT_EQ(answers, expected);
  // Nothing but the one creation reached the host, and the bad host requests changed nothing.
  EXPECT_EQ(script_host->changes, 0);
  EXPECT_EQ(ask(R"({"op":"calls"})"),
            std::string(R"({"ok":true,"calls":[)") + kStartUpCalls + "]}");
}

TEST_F(ScriptRunnerTest, HostRequestChangesOnlyWhatItNamesAndRefusesWrongValues) {
  EXPECT_EQ(ask(R"({"op":"host","server_id":"S2","remote":true,"operator":"ANA",)"
                R"("clock":"2027-03-01T09:00:00"})"),
            kOk);
  EXPECT_EQ(ask(R"({"op":"host","clock":null})"), kOk);
  EXPECT_EQ(ask(R"({"op":"host","remote":"sí"})"),
            request_error("\"remote\" must be true or false"));
  EXPECT_EQ(script_host->changes, 2);
  EXPECT_EQ(ask(R"({"op":"create","class":"Cotizacion","name":"q"})"), kOk);
  Json calls = ask_json(R"({"op":"calls"})")["calls"];
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].dump(),
            R"({"service":"cSistema","operation":"Servidor_Actual","args":[],"result":"S2"})");
  // A clock set to null is the host's own again.
  EXPECT_EQ(ask(R"({"op":"call","target":"q","member":"Nuevo"})"), kOk);
  EXPECT_EQ(ask_json(R"({"op":"get","target":"q","member":"Encabezado"})")["value"]["Ct_Fecha"],
            "2026-12-05T10:30:00");
}

TEST_F(ScriptRunnerTest, MembersByAnyCaseAndObjectsNamedOnceAndKeptByTheQuote) {
  EXPECT_EQ(ask(R"({"op":"create","class":"Cotizacion","name":"q"})"), kOk);
  ask(R"({"op":"calls"})");
  EXPECT_EQ(ask(R"({"op":"let","target":"q","member":"folio2","value":"F2"})"), kOk);
  EXPECT_EQ(ask(R"({"op":"get","target":"q","member":"FOLIO2"})"), R"({"ok":true,"value":"F2"})");

  // The quote's own header object, named by the script, keeps its name; a change through it
  // changes the quote.
  EXPECT_EQ(ask(R"({"op":"get","target":"q","member":"Encabezado2","name":"h"})"),
            R"({"ok":true,"value":{"object":"h"}})");
  EXPECT_EQ(ask(R"({"op":"get","target":"q","member":"Encabezado2"})"),
            R"({"ok":true,"value":{"object":"h"}})");
  EXPECT_EQ(ask(R"({"op":"let","target":"h","member":"Ct_Folio","value":"F3"})"), kOk);
  EXPECT_EQ(ask(R"({"op":"get","target":"q","member":"Folio2"})"), R"({"ok":true,"value":"F3"})");

  // Released, the name is gone; the quote still holds its object, which gets a new name.
  EXPECT_EQ(ask(R"({"op":"release","name":"h"})"), kOk);
  EXPECT_EQ(ask(R"({"op":"get","target":"h","member":"Ct_Folio"})"),
            request_error("no object named \"h\""));
  EXPECT_EQ(ask(R"({"op":"get","target":"q","member":"Encabezado2"})"),
            R"({"ok":true,"value":{"object":"object1"}})");
  EXPECT_EQ(ask(R"({"op":"get","target":"object1","member":"Ct_Folio"})"),
            R"({"ok":true,"value":"F3"})");
  EXPECT_EQ(ask(R"({"op":"calls"})"), R"({"ok":true,"calls":[]})");
}

TEST_F(ScriptRunnerTest, WrongMembersKindsAndCountsAreRequestErrorsAndCallNothing) {
  EXPECT_EQ(ask(R"({"op":"create","class":"Cotizacion","name":"q"})"), kOk);
  EXPECT_EQ(ask(R"({"op":"create","class":"cCtEncabezado","name":"h"})"), kOk);
  ask(R"({"op":"calls"})");
  const std::pair<const char*, const char*> refused[] = {
      {R"({"op":"let","target":"h","member":"Sc_Cve_Almacen","value":"A1"})",
       "unknown member \"Sc_Cve_Almacen\" of cCtEncabezado"},
      {R"({"op":"let","target":"q","member":"Agregar_Promociones","value":-1})",
       "the value of Agregar_Promociones must be true or false"},
      {R"({"op":"let","target":"h","member":"Ct_Fecha","value":"5/12/2026"})",
       "the value of Ct_Fecha must be a date: \"YYYY-MM-DD\", \"YYYY-MM-DDTHH:MM:SS\" or a "
       "serial day number"},
      {R"({"op":"let","target":"q","member":"Encabezado2","value":{}})",
       "Encabezado2 takes an object: use a set request"},
      {R"({"op":"set","target":"q","member":"Folio","object":"h"})",
       "Folio takes a value: use a let request"},
      {R"({"op":"set","target":"q","member":"Encabezado2","object":"nadie"})",
       "no object named \"nadie\""},
      {R"({"op":"let","target":"q","member":"Error","value":"x"})",
       "Error of Cotizacion cannot be assigned"},
      {R"({"op":"call","target":"q","member":"Eliminar_Cotizacion","args":[]})",
       "Eliminar_Cotizacion takes 1 argument(s), not 0"},
      {R"({"op":"call","target":"q","member":"Eliminar_Cotizacion","args":[12]})",
       "argument 1 of Eliminar_Cotizacion must be a string"},
      {R"({"op":"call","target":"q","member":"Nuevo","args":"x"})", "\"args\" must be an array"}};
  for (const auto& [request, error] : refused) EXPECT_EQ(ask(request), request_error(error));
  EXPECT_EQ(ask(R"({"op":"calls"})"), R"({"ok":true,"calls":[]})");
}

}  // namespace
}  // namespace quorlane::automation
