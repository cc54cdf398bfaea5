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
  EXPECT_EQ(ask(R"({"op":"create","class":"Cotizacion","name":"q"})"), failure("Caída"));
  Json calls = ask_json(R"({"op":"calls"})")["calls"];
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2]["operation"], "Obtener_Parametro");
  EXPECT_EQ(calls[2]["error"], "Caída");
}

// (The request errors a client sees are in the scripts of tests/scripts; what a script file
// cannot hold is here: blank lines, carriage returns and text that is no JSON.)
TEST_F(ScriptRunnerTest, BlankLinesGetNoAnswerAndBrokenLinesAnErrorAndTheScriptGoesOn) {
  std::istringstream in(
      "\n   \r\nnot json\n{\"op\":\"create\",\"class\":\"Cotizacion\",\"name\":\"q\"}\r\n");
  std::ostringstream out;
  runner->run(in, out);
  EXPECT_EQ(out.str(), request_error("not JSON: parse error at line 1, column 2: syntax error "
                                     "while parsing value - invalid literal; last read: 'no'") +
                           "\n" + kOk + "\n");
  EXPECT_EQ(script_host->changes, 0);
}

TEST_F(ScriptRunnerTest, HostRequestChangesOnlyWhatItNamesAndRefusesWrongValues) {
  EXPECT_EQ(ask(R"({"op":"host","server_id":"S2","remote":true,"operator":"ANA",)"
                R"("clock":"2027-03-01T09:00:00"})"),
            kOk);
  EXPECT_EQ(ask(R"({"op":"host","clock":null})"), kOk);
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

}  // namespace
}  // namespace quorlane::automation
