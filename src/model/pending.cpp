// Members whose behaviour is being built; each fails clearly until it lands.
#include "model/cotizacion.h"

namespace quorlane {

namespace {
[[noreturn]] void pending(const char* member) {
  throw Failure(std::string("Miembro aún no disponible: ") + member);
}
}  // namespace





}  // namespace quorlane
