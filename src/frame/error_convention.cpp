#include "frame/error_convention.h"

#include "frame/publico.h"

namespace quorlane {

namespace {
// In the order of the Routine enumeration.
const RoutineInfo kRoutines[] = {
    {"Quorlane.dll - Add_Cotizacion_Detalle()", 2, true},
    {"Quorlane.dll - Add_Cotizacion_Detalle2()", 2, true},
    {"Quorlane.dll - Inserta_Cotizacion()", 2, true},
    {"Quorlane.dll - Inserta_Cotizacion2()", 2, true},
    {"Quorlane.dll - Eliminar_Cotizacion()", 2, false},
    {"Quorlane.dll - Cancelar_Cotizacion()", 2, false},
    {"Quorlane.dll - Autorizar_Cotizacion()", 2, false},
    {"Quorlane.dll - Rechazar_Cotizacion()", 2, false},
    {"Quorlane.dll - Inserta_Promocion()", 1, false},
    {"Quorlane.dll - Inserta_Promocion2()", 1, false},
    {"Quorlane.dll - Inserta_Cotizacion_Encabezado()", 1, true},
    {"Quorlane.dll - Inserta_Cotizacion_Encabezado2()", 1, true},
    {"Quorlane.dll - Finalizar_Cotizacion()", 1, false},
    {"Crm_Historial_Seguimiento()", 1, true},
};
}  // namespace

const SetterInfo kDetalleSetter = {"Quorlane.dll - Property Let Detalle()", "ERR-ID:7500001",
                                   "ERR-ID:7500002", "ERR-ID:7500003"};
const SetterInfo kDetalle2Setter = {"Quorlane.dll - Property Let Detalle2()", "ERR-ID:7500004",
                                    "ERR-ID:7500005", "ERR-ID:7500006"};

const RoutineInfo& routine_info(Routine r) { return kRoutines[static_cast<int>(r)]; }

std::string error_exit_text(Routine r, std::string_view description) {
  const RoutineInfo& info = routine_info(r);
  std::string text = info.source;
  for (int i = 0; i < info.line_breaks; ++i) text += kCrLf;
  text += description;
  return text;
}

void send_setter_message(const SetterInfo& setter, const char* error_id, const std::string& text) {
  int32_t style = kMessageStyle;
  publico().gSistema->Mostrar_Mensaje(Variant(text), style, Variant(setter.source), Variant(),
                                      Variant(kApplicationName), Variant(error_id));
}

}  // namespace quorlane
