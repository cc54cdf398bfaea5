#include "frame/publico.h"

#include <mutex>

#include "frame/host_factory.h"

namespace quorlane {

namespace {
thread_local Publico t_publico;
}

Publico& publico() { return t_publico; }

void ensure_started() {
  Publico& p = t_publico;
  if (p.started) return;
  std::shared_ptr<HostFactory> factory = current_host_factory();
  p.gSistema = factory->create_sistema();
  p.gDatos = factory->create_datos();
  p.gInventario = factory->create_inventario();
  p.gServidor_Actual = p.gSistema->Servidor_Actual();
  p.gTipo_Calculo_Importes =
      p.gSistema->Obtener_Parametro("COT_TIPO_CALCULO_IMPORTES", 0, "N", "1").to_int16();
  p.gComentario_Promocion =
      p.gSistema->Obtener_Parametro("GEN_COMENTARIO_PROMOCION", 0, "T", "*PROMOCION*").to_text();
  p.started = true;
}

void reset_thread_state() { t_publico = Publico{}; }

}  // namespace quorlane
