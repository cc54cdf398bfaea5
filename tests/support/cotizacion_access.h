// The unit tests' view of a quote's private state, to prepare it and to read what a member left
// in it.
#pragma once

#include <memory>

#include "model/cotizacion.h"
#include "model/shape.h"

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
  static std::shared_ptr<cImpuestos>& m_Impuestos(Cotizacion& q) { return q.m_Impuestos; }

  // Shorter names, and the private routines and shapes the line tests drive.
  static tCtEncabezado& header(Cotizacion& q) { return q.m_Encabezado; }
  static tCtDetalle& line(Cotizacion& q) { return q.m_Detalle; }
  static int16_t& partida(Cotizacion& q) { return q.m_Partida; }
  static std::string& branch_server(Cotizacion& q) { return q.m_Servidor_Sucursal; }
  static bool& sizes(Cotizacion& q) { return q.m_Maneja_Tallas; }
  static bool& colours(Cotizacion& q) { return q.m_Maneja_Colores; }
  static std::string& timestamp(Cotizacion& q) { return q.m_Fecha_Texto; }
  static int promotion_depth(Cotizacion& q) { return q.m_Promocion_Profundidad; }
  static bool insert_detail_row(Cotizacion& q, bool object) {
    return object ? q.Inserta_Cotizacion2() : q.Inserta_Cotizacion();
  }
  static bool insert_header_row(Cotizacion& q, bool object) {
    return object ? q.Inserta_Cotizacion_Encabezado2() : q.Inserta_Cotizacion_Encabezado();
  }
  // The quote's own shape of either twin, over its members.
  static std::unique_ptr<QuoteShape> shape(Cotizacion& q, bool object) {
    if (object) return std::make_unique<ObjectShape>(q.m_Encabezado2, q.m_Detalle2);
    return std::make_unique<RecordShape>(q.m_Encabezado, q.m_Detalle);
  }

  // The same, from the interface a test holds.
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
