// The component's shared state: one set per thread, filled once per thread by start-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "quorlane/host.h"

namespace quorlane {

struct Publico {
  std::shared_ptr<cSistema> gSistema;
  std::shared_ptr<cDatos> gDatos;
  std::shared_ptr<cInventario> gInventario;
  std::string gServidor_Actual;
  int16_t gTipo_Calculo_Importes = 0;
  std::string gComentario_Promocion;
  std::string gSQL;  // the statement being assembled; each builder replaces it whole
  bool started = false;
};

// This thread's state.
Publico& publico();

// Runs start-up on this thread unless it has completed already: creates the three services,
// reads the server id and the two parameters. A failure throws at the failing step, keeps what
// the earlier steps filled, and leaves start-up to run again on the next creation.
void ensure_started();

// Forgets this thread's state, so that the next object created runs start-up again (used when
// the host is replaced, by the tests and by the script runner).
void reset_thread_state();

}  // namespace quorlane
