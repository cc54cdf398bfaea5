// The error exit of the public functions and their routines, and the detail setters' messages.
#include "frame/error_convention.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "quorlane/interfaces.h"
#include "support/host_test.h"

namespace quorlane::test {
namespace {

TEST(ErrorExit, EachRoutineWritesItsSourceAndLineBreaksAndEmptiesTheErrorOrKeepsIt) {
  const char* const kTwo = "\r\n\r\n";
  const char* const kOne = "\r\n";
  const struct {
    Routine routine;
    const char* source;
    const char* breaks;
    bool empties;
  } table[] = {
      {Routine::Add_Cotizacion_Detalle, "Quorlane.dll - Add_Cotizacion_Detalle()", kTwo, true},
      {Routine::Add_Cotizacion_Detalle2, "Quorlane.dll - Add_Cotizacion_Detalle2()", kTwo, true},
      {Routine::Inserta_Cotizacion, "Quorlane.dll - Inserta_Cotizacion()", kTwo, true},
      {Routine::Inserta_Cotizacion2, "Quorlane.dll - Inserta_Cotizacion2()", kTwo, true},
      {Routine::Eliminar_Cotizacion, "Quorlane.dll - Eliminar_Cotizacion()", kTwo, false},
      {Routine::Cancelar_Cotizacion, "Quorlane.dll - Cancelar_Cotizacion()", kTwo, false},
      {Routine::Autorizar_Cotizacion, "Quorlane.dll - Autorizar_Cotizacion()", kTwo, false},
      {Routine::Rechazar_Cotizacion, "Quorlane.dll - Rechazar_Cotizacion()", kTwo, false},
      {Routine::Inserta_Promocion, "Quorlane.dll - Inserta_Promocion()", kOne, false},
      {Routine::Inserta_Promocion2, "Quorlane.dll - Inserta_Promocion2()", kOne, false},
      {Routine::Inserta_Cotizacion_Encabezado, "Quorlane.dll - Inserta_Cotizacion_Encabezado()",
       kOne, true},
      {Routine::Inserta_Cotizacion_Encabezado2, "Quorlane.dll - Inserta_Cotizacion_Encabezado2()",
       kOne, true},
      {Routine::Finalizar_Cotizacion, "Quorlane.dll - Finalizar_Cotizacion()", kOne, false},
      {Routine::Crm_Historial_Seguimiento, "Crm_Historial_Seguimiento()", kOne, true},
  };
  for (const auto& e : table) {
    SCOPED_TRACE(e.source);
    const std::string prefix = std::string(e.source) + e.breaks;
    std::string m_Error = "texto anterior";
    EXPECT_FALSE(with_error_exit(e.routine, m_Error, []() -> bool { throw Failure("Sin tabla"); }));
    EXPECT_EQ(m_Error, prefix + "Sin tabla");
    EXPECT_EQ(error_exit_text(e.routine, "x"), prefix + "x");
    // Any exception, not only a host failure, ends at the exit with its own description.
    with_error_exit(e.routine, m_Error,
                    []() -> bool { throw std::overflow_error("Desbordamiento"); });
    EXPECT_EQ(m_Error, prefix + "Desbordamiento");

    m_Error = "texto anterior";
    std::string seen_inside;
    EXPECT_TRUE(with_error_exit(e.routine, m_Error, [&] { return seen_inside = m_Error, true; }));
    EXPECT_EQ(seen_inside, e.empties ? "" : "texto anterior");
    EXPECT_EQ(m_Error, seen_inside);
    // A business refusal keeps its own bare message.
    EXPECT_FALSE(with_error_exit(e.routine, m_Error, [&] { return m_Error = "No existe", false; }));
    EXPECT_EQ(m_Error, "No existe");
  }
}

// The texts and ids of the real setters are covered by the assignment tests; here, the form of
// the message call itself.
class SetterMessages : public HostTest {};

TEST_F(SetterMessages, SendStyleSixteenAsALongAndLeaveTheFourthArgumentOut) {
  Ref<_Cotizacion> quote = create_Cotizacion();  // start-up gives the thread its cSistema
  take_calls();
  send_setter_message(kDetalleSetter, kDetalleSetter.id_read_only_quantity,
                      kReadOnlyQuantityMessage);
  bool completed = false;
  with_setter_exit(kDetalle2Setter, [&] { completed = true; });
  with_setter_exit(kDetalle2Setter, [] { throw Failure("Sin costo"); });

  EXPECT_TRUE(completed);
  std::vector<CallRecord> calls = boundary->take_calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(call_text(calls[0]),
            "cSistema.Mostrar_Mensaje(\"El parámetro Ct_Cantidad_Control_1, es de solo lectura!\", "
            "16, \"Quorlane.dll - Property Let Detalle()\", <omitted>, \"Quorlane\", "
            "\"ERR-ID:7500001\") -> 0");
  EXPECT_EQ(call_text(calls[1]),
            "cSistema.Mostrar_Mensaje(\"Sin costo\", 16, \"Quorlane.dll - Property Let "
            "Detalle2()\", <omitted>, \"Quorlane\", \"ERR-ID:7500006\") -> 0");
  EXPECT_EQ(calls[0].args[1].kind(), Variant::Kind::Int32);
  EXPECT_TRUE(calls[0].args[3].is_empty());
}

}  // namespace
}  // namespace quorlane::test
