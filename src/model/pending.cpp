// Members whose behaviour is being built; each fails clearly until it lands.
#include "model/cotizacion.h"

namespace quorlane {

namespace {
[[noreturn]] void pending(const char* member) {
  throw Failure(std::string("Miembro aún no disponible: ") + member);
}
}  // namespace

// -- late binding
const DispatchTable& Cotizacion::dispatch_table() { pending("Cotizacion"); }
const DispatchTable& cCtEncabezado::dispatch_table() { pending("cCtEncabezado"); }
const DispatchTable& cCtDetalle::dispatch_table() { pending("cCtDetalle"); }

// -- header and detail assignment
void Cotizacion::put_Encabezado(const tCtEncabezado&) { pending("Encabezado"); }
void Cotizacion::putref_Encabezado2(_cCtEncabezado*) { pending("Encabezado2"); }
void Cotizacion::put_Detalle(const tCtDetalle&) { pending("Detalle"); }
void Cotizacion::putref_Detalle2(_cCtDetalle*) { pending("Detalle2"); }


// -- lifecycle
bool Cotizacion::Eliminar_Cotizacion(std::string&) { pending("Eliminar_Cotizacion"); }
bool Cotizacion::Cancelar_Cotizacion(std::string&) { pending("Cancelar_Cotizacion"); }
bool Cotizacion::Autorizar_Cotizacion(std::string&) { pending("Autorizar_Cotizacion"); }
bool Cotizacion::Rechazar_Cotizacion(std::string&) { pending("Rechazar_Cotizacion"); }
bool Cotizacion::Finalizar_Cotizacion(std::string&) { pending("Finalizar_Cotizacion"); }
bool Cotizacion::Crm_Historial_Seguimiento(const std::string&, const std::string&) {
  pending("Crm_Historial_Seguimiento");
}

}  // namespace quorlane
