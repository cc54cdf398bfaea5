// Unit tests arrange and read a quote's state through this, as the members that fill it in
// normal use (the header and detail setters, line admission) are exercised elsewhere.
#pragma once

#include "model/cotizacion.h"

namespace quorlane {

struct CotizacionTestAccess {
  static Cotizacion& of(_Cotizacion& q) { return static_cast<Cotizacion&>(q); }
  static tCtEncabezado& encabezado(_Cotizacion& q) { return of(q).m_Encabezado; }
  static tCtDetalle& detalle(_Cotizacion& q) { return of(q).m_Detalle; }
  static std::string& error(_Cotizacion& q) { return of(q).m_Error; }
  static std::string& fecha_texto(_Cotizacion& q) { return of(q).m_Fecha_Texto; }
  static int16_t& partida(_Cotizacion& q) { return of(q).m_Partida; }
  static std::string& servidor_sucursal(_Cotizacion& q) { return of(q).m_Servidor_Sucursal; }
  static bool& maneja_tallas(_Cotizacion& q) { return of(q).m_Maneja_Tallas; }
  static bool& maneja_colores(_Cotizacion& q) { return of(q).m_Maneja_Colores; }
  static bool& agregar_promociones(_Cotizacion& q) { return of(q).m_Agregar_Promociones; }
  static std::shared_ptr<cImpuestos>& impuestos(_Cotizacion& q) { return of(q).m_Impuestos; }
};

}  // namespace quorlane
