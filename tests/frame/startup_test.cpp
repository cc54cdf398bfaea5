// Start-up of the component on a thread and creation of its objects.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/publico.h"
#include "quorlane/interfaces.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

using Calls = std::vector<std::string>;

const char* const kServidor = "cSistema.Servidor_Actual() -> \"SRV1\"";
const char* const kTipoCalculo =
    "cSistema.Obtener_Parametro(\"COT_TIPO_CALCULO_IMPORTES\", 0, \"N\", \"1\") -> ";
const char* const kComentario =
    "cSistema.Obtener_Parametro(\"GEN_COMENTARIO_PROMOCION\", 0, \"T\", \"*PROMOCION*\") -> "
    "\"*PROMOCION*\"";

// The thread's start-up state: server, calculation type and promotion comment.
std::string state_text() {
  const auto& p = publico();
  return p.gServidor_Actual + "|" + std::to_string(p.gTipo_Calculo_Importes) + "|" +
         p.gComentario_Promocion;
}

std::string creation_failure(const std::function<void()>& create) {
  try {
    create();
  } catch (const Failure& e) {
    return e.what();
  }
  return "(created)";
}

class StartUp : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host->set("cSistema", "Servidor_Actual", "SRV1");
  }
  // Answers the calculation-type parameter with `value`, the others with their defaults.
  void answer_calculation_type(Variant value) {
    host->on("cSistema", "Obtener_Parametro", [value](std::vector<Variant>& args) {
      return args[0].raw_text() == "COT_TIPO_CALCULO_IMPORTES" ? value : args[3];
    });
  }
};

// The order of the service creations around these calls shows in the failing creations below.
TEST_F(StartUp, FirstObjectReadsServerAndParametersInOrderLaterObjectsAskNothing) {
  const long before = live_object_count();
  Ref<_Cotizacion> first = create_Cotizacion();
  EXPECT_EQ(take_calls(), (Calls{kServidor, kTipoCalculo + std::string("\"1\""), kComentario}));
  EXPECT_EQ(live_object_count(), before + 3);  // the quote, its header and its line object

  Ref<_Cotizacion> second = create_Cotizacion();
  Ref<_cCtEncabezado> header = create_cCtEncabezado();
  Ref<_cCtDetalle> line = create_cCtDetalle();
  EXPECT_TRUE(take_calls().empty());
  EXPECT_EQ(host->created("cSistema"), 1);
  EXPECT_EQ(host->created("cDatos"), 1);
  EXPECT_EQ(host->created("cInventario"), 1);
  EXPECT_EQ(host->created("cImpuestos"), 2);  // one per quote, none per property object
}

TEST_F(StartUp, RunsAgainOnEachThreadWithThatThreadsHost) {
  Ref<_Cotizacion> main_quote = create_Cotizacion();
  take_calls();

  std::string on_thread;
  // A host of its own, with other answers, on another thread.
  std::thread worker([&] {
    auto other_host = std::make_shared<FakeHost>();
    auto other_boundary = std::make_shared<Boundary>();
    other_host->set("cSistema", "Servidor_Actual", "SRV2");
    other_host->on("cSistema", "Obtener_Parametro", [](std::vector<Variant>& args) {
      return args[0].raw_text() == "COT_TIPO_CALCULO_IMPORTES" ? Variant(2.0) : Variant("*P2*");
    });
    install_thread_host_factory(wrap_host(other_host->factory(), other_boundary));
    try {
      Ref<_Cotizacion> q1 = create_Cotizacion();
      Ref<_Cotizacion> q2 = create_Cotizacion();
      on_thread = std::to_string(other_boundary->take_calls().size()) + " calls, " + state_text();
    } catch (const std::exception& e) {
      on_thread = e.what();
    }
    reset_thread_state();
    install_thread_host_factory(nullptr);
  });
  worker.join();

  // Start-up once on that thread, for both quotes; this thread's state and host untouched.
  EXPECT_EQ(on_thread, "3 calls, SRV2|2|*P2*");
  EXPECT_TRUE(take_calls().empty());
  EXPECT_EQ(state_text(), "SRV1|1|*PROMOCION*");
  Ref<_Cotizacion> again = create_Cotizacion();
  EXPECT_TRUE(take_calls().empty());
}

// (The conversion to 16 bits in full the Variant tests show.)
TEST_F(StartUp, CalculationTypeIsRoundedToSixteenBitsHalvesToEven) {
  const std::pair<Variant, int16_t> cases[] = {
      {Variant(2.5), 2}, {Variant(3.5), 4}, {Variant("3"), 3}};
  for (const auto& [answer, expected] : cases) {
    reset_thread_state();
    answer_calculation_type(answer);
    Ref<_Cotizacion> quote = create_Cotizacion();
    EXPECT_EQ(publico().gTipo_Calculo_Importes, expected) << debug_text(answer);
  }
  // A comment answered as a number is kept as its text.
  reset_thread_state();
  host->on("cSistema", "Obtener_Parametro", [](std::vector<Variant>& args) {
    return args[0].raw_text() == "GEN_COMENTARIO_PROMOCION" ? Variant(5.0) : args[3];
  });
  Ref<_Cotizacion> quote = create_Cotizacion();
  EXPECT_EQ(publico().gComentario_Promocion, "5");
}

TEST_F(StartUp, UnreadableCalculationTypeFailsCreationAndIsTriedAgainOnTheNextCreation) {
  const long before = live_object_count();
  const std::pair<Variant, const char*> bad[] = {{Variant("uno"), "No coinciden los tipos"},
                                                 {Variant(40000.0), "Desbordamiento"}};
  for (const auto& [answer, description] : bad) {
    answer_calculation_type(answer);
    EXPECT_EQ(creation_failure([] { create_Cotizacion(); }), description);
    // Start-up stopped at the parameter: the earlier steps stay, the later ones never ran.
    EXPECT_EQ(
        take_calls(),
        (Calls{kServidor, kTipoCalculo + std::string(answer.is_text() ? "\"uno\"" : "40000")}));
    EXPECT_EQ(state_text(), "SRV1|0|");
    EXPECT_FALSE(publico().started);
    EXPECT_EQ(host->created("cImpuestos"), 0);
    EXPECT_EQ(live_object_count(), before);
  }

  answer_calculation_type(Variant(2.0));
  Ref<_Cotizacion> quote = create_Cotizacion();
  EXPECT_EQ(take_calls(), (Calls{kServidor, kTipoCalculo + std::string("2"), kComentario}));
  EXPECT_EQ(publico().gTipo_Calculo_Importes, 2);
  EXPECT_TRUE(publico().started);
}

TEST_F(StartUp, FailingServiceCreationStopsStartUpBeforeAnyCall) {
  host->fail_creation("cDatos", "No se pudo crear cDatos");
  const long before = live_object_count();
  EXPECT_EQ(creation_failure([] { create_cCtDetalle(); }), "No se pudo crear cDatos");
  EXPECT_TRUE(take_calls().empty());
  EXPECT_TRUE(publico().gSistema);
  EXPECT_FALSE(publico().gDatos);
  EXPECT_FALSE(publico().gInventario);
  EXPECT_FALSE(publico().started);
  EXPECT_EQ(live_object_count(), before);
}

TEST_F(StartUp, FailingTaxServiceFailsTheQuoteButNotStartUp) {
  host->fail_creation("cImpuestos", "Impuestos no disponible");
  const long before = live_object_count();
  EXPECT_EQ(creation_failure([] { create_Cotizacion(); }), "Impuestos no disponible");
  EXPECT_TRUE(publico().started);
  EXPECT_EQ(take_calls(), (Calls{kServidor, kTipoCalculo + std::string("\"1\""), kComentario}));
  EXPECT_EQ(live_object_count(), before);
  // Property objects need no tax service.
  EXPECT_TRUE(create_cCtEncabezado());
  EXPECT_TRUE(take_calls().empty());
}

}  // namespace
}  // namespace quorlane::test
