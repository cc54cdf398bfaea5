// Members whose behaviour is being built; each fails clearly until it lands.
#include "model/cotizacion.h"

namespace quorlane {

namespace {
[[noreturn]] void pending(const char* member) {
  throw Failure(std::string("Miembro aún no disponible: ") + member);
}
}  // namespace



// -- lines
bool Cotizacion::Add_Cotizacion_Detalle() { pending("Add_Cotizacion_Detalle"); }
bool Cotizacion::Add_Cotizacion_Detalle2() { pending("Add_Cotizacion_Detalle2"); }
bool Cotizacion::Inserta_Cotizacion() { pending("Inserta_Cotizacion"); }
bool Cotizacion::Inserta_Cotizacion2() { pending("Inserta_Cotizacion2"); }
bool Cotizacion::Inserta_Cotizacion_Encabezado() { pending("Inserta_Cotizacion_Encabezado"); }
bool Cotizacion::Inserta_Cotizacion_Encabezado2() { pending("Inserta_Cotizacion_Encabezado2"); }
bool Cotizacion::Inserta_Promocion() { pending("Inserta_Promocion"); }
bool Cotizacion::Inserta_Promocion2() { pending("Inserta_Promocion2"); }


}  // namespace quorlane
