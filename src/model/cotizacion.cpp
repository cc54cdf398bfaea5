// Creation, destruction and the simple members of the quote.
#include "model/cotizacion.h"

#include "frame/publico.h"

namespace quorlane {

Ref<Cotizacion> Cotizacion::create() {
  ensure_started();
  return Ref<Cotizacion>(new Cotizacion());
}

Cotizacion::Cotizacion() {
  m_Impuestos = current_host_factory()->create_impuestos();
  m_Encabezado2 = cCtEncabezado::create();
  m_Detalle2 = cCtDetalle::create();
}

Cotizacion::~Cotizacion() {
  m_Impuestos.reset();  // released first; the objects go with the rest of the state
}

void Cotizacion::put_Agregar_Promociones(bool value) { m_Agregar_Promociones = value; }
bool Cotizacion::get_Agregar_Promociones() { return m_Agregar_Promociones; }

void Cotizacion::put_Folio(const std::string& value) { m_Encabezado.Ct_Folio = value; }
std::string Cotizacion::get_Folio() { return m_Encabezado.Ct_Folio; }

void Cotizacion::put_Folio2(const std::string& value) { m_Encabezado2->put_Ct_Folio(value); }
std::string Cotizacion::get_Folio2() { return m_Encabezado2->get_Ct_Folio(); }

std::string Cotizacion::get_Error() { return m_Error; }

tCtEncabezado Cotizacion::get_Encabezado() { return m_Encabezado; }
tCtDetalle Cotizacion::get_Detalle() { return m_Detalle; }
Ref<_cCtEncabezado> Cotizacion::get_Encabezado2() { return m_Encabezado2; }
Ref<_cCtDetalle> Cotizacion::get_Detalle2() { return m_Detalle2; }

void Cotizacion::Nuevo() {
  tCtEncabezado& h = m_Encabezado;
  h.Ct_Folio.clear();
  h.Ct_Fecha = publico().gDatos->Fecha_Servidor();
  h.Sucursal.Sc_Cve_Sucursal.clear();
  h.Sucursal.Sc_Centro_Costo.clear();
  h.Sucursal.Sc_Cuenta_Contable.clear();
  h.Almacen.Sc_Cve_Sucursal.clear();
  h.Almacen.Al_Cve_Almacen.clear();
  h.Almacen.Al_Centro_Costo.clear();
  h.Almacen.Al_Cuenta_Contable.clear();
  h.Ct_Tabla.clear();
  h.Ct_Documento.clear();
  h.Ct_Referencia.clear();
  h.Ct_Comentario.clear();
  h.Cliente.Cl_Cve_Cliente.clear();
  h.Cliente.Cl_Centro_Costo.clear();
  h.Cliente.Cl_Cuenta_Contable.clear();
  h.Cliente.Cl_Cve_Maestro.clear();
  m_Agregar_Promociones = false;
  m_Encabezado2 = cCtEncabezado::create();
  m_Detalle2 = cCtDetalle::create();
}

}  // namespace quorlane
