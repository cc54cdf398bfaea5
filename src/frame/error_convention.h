// How the component's routines report failures: the error exit of the public functions and
// their private routines, and the messages of the detail setters.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "host/failure.h"
#include "host/routine_call.h"
#include "quorlane/variant.h"

namespace quorlane {

inline constexpr const char* kCrLf = "\r\n";

// Every routine that has an error exit.
enum class Routine {
  Add_Cotizacion_Detalle,
  Add_Cotizacion_Detalle2,
  Inserta_Cotizacion,
  Inserta_Cotizacion2,
  Eliminar_Cotizacion,
  Cancelar_Cotizacion,
  Autorizar_Cotizacion,
  Rechazar_Cotizacion,
  Inserta_Promocion,
  Inserta_Promocion2,
  Inserta_Cotizacion_Encabezado,
  Inserta_Cotizacion_Encabezado2,
  Finalizar_Cotizacion,
  Crm_Historial_Seguimiento,
};

struct RoutineInfo {
  const char* source;  // the error-source text
  int line_breaks;     // CR LF pairs between the source and the description
  bool empties_error;  // whether m_Error is emptied on entry
};

const RoutineInfo& routine_info(Routine r);

// The source text, the routine's line breaks, then the description.
std::string error_exit_text(Routine r, std::string_view description);

// Runs `body` (returning bool) under the routine's error exit: m_Error is emptied on entry when
// the routine does so; any failure becomes m_Error = error_exit_text(...) and the result False.
// Nothing escapes.
template <class Body>
bool with_error_exit(Routine r, std::string& m_Error, Body&& body) {
  RoutineCallScope call;
  if (routine_info(r).empties_error) m_Error.clear();
  try {
    return body();
  } catch (...) {
    m_Error = error_exit_text(r, current_failure_description());
    return false;
  }
}

// The detail setters' messages.
struct SetterInfo {
  const char* source;
  const char* id_read_only_quantity;
  const char* id_read_only_cost_unit;
  const char* id_failure;
};
extern const SetterInfo kDetalleSetter;
extern const SetterInfo kDetalle2Setter;
inline constexpr const char* kReadOnlyQuantityMessage =
    "El parámetro Ct_Cantidad_Control_1, es de solo lectura!";
inline constexpr const char* kReadOnlyCostUnitMessage =
    "El parámetro Ct_Unidad_Costo, es de solo lectura!";
inline constexpr const char* kApplicationName = "Quorlane";
inline constexpr int kMessageStyle = 16;

// Sends a message of a detail setter through the thread's cSistema.Mostrar_Mensaje.
void send_setter_message(const SetterInfo& setter, const char* error_id, const std::string& text);

// Runs `body` under a detail setter's error exit: a failure is sent with the setter's failure
// id and its description, and the setter returns normally.
template <class Body>
void with_setter_exit(const SetterInfo& setter, Body&& body) {
  RoutineCallScope call;
  try {
    body();
  } catch (...) {
    send_setter_message(setter, setter.id_failure, current_failure_description());
  }
}

}  // namespace quorlane
