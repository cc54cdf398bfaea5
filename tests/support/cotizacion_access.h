// The unit tests' view of a quote's private state, to prepare it and to read what a member left
// in it.
#pragma once

#include "model/cotizacion.h"

namespace quorlane {

struct CotizacionTestAccess {
  static tCtEncabezado& m_Encabezado(Cotizacion& q) { return q.m_Encabezado; }
  static tCtDetalle& m_Detalle(Cotizacion& q) { return q.m_Detalle; }
  static Ref<_cCtEncabezado>& m_Encabezado2(Cotizacion& q) { return q.m_Encabezado2; }
  static Ref<_cCtDetalle>& m_Detalle2(Cotizacion& q) { return q.m_Detalle2; }
  static std::string& m_Error(Cotizacion& q) { return q.m_Error; }
  static std::string& m_Fecha_Texto(Cotizacion& q) { return q.m_Fecha_Texto; }
  static int16_t& m_Partida(Cotizacion& q) { return q.m_Partida; }
  static std::string& m_Servidor_Sucursal(Cotizacion& q) { return q.m_Servidor_Sucursal; }
  static bool& m_Maneja_Tallas(Cotizacion& q) { return q.m_Maneja_Tallas; }
  static bool& m_Maneja_Colores(Cotizacion& q) { return q.m_Maneja_Colores; }
  static bool& m_Agregar_Promociones(Cotizacion& q) { return q.m_Agregar_Promociones; }
};

}  // namespace quorlane
