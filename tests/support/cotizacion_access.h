// The unit tests' view of a quote's private state, to prepare it and to read what a member left
// in it. Each accessor bears the name of the member it reaches and takes the quote through the
// interface a test holds.
#pragma once

#include <memory>

#include "model/cotizacion.h"
#include "model/shape.h"

namespace quorlane {

struct CotizacionTestAccess {
  static Cotizacion& of(_Cotizacion& q) { return static_cast<Cotizacion&>(q); }

  static tCtEncabezado& m_Encabezado(_Cotizacion& q) { return of(q).m_Encabezado; }
  static tCtDetalle& m_Detalle(_Cotizacion& q) { return of(q).m_Detalle; }
  static std::string& m_Error(_Cotizacion& q) { return of(q).m_Error; }
  static std::string& m_Fecha_Texto(_Cotizacion& q) { return of(q).m_Fecha_Texto; }
  static int16_t& m_Partida(_Cotizacion& q) { return of(q).m_Partida; }
  static std::string& m_Servidor_Sucursal(_Cotizacion& q) { return of(q).m_Servidor_Sucursal; }
  static bool& m_Maneja_Tallas(_Cotizacion& q) { return of(q).m_Maneja_Tallas; }
  static bool& m_Maneja_Colores(_Cotizacion& q) { return of(q).m_Maneja_Colores; }
  static std::shared_ptr<cImpuestos>& m_Impuestos(_Cotizacion& q) { return of(q).m_Impuestos; }
  static int m_Promocion_Profundidad(_Cotizacion& q) { return of(q).m_Promocion_Profundidad; }

  // The private routines of either twin, and the quote's own shape of either twin.
  static bool insert_detail_row(_Cotizacion& q, bool object) {
    return object ? of(q).Inserta_Cotizacion2() : of(q).Inserta_Cotizacion();
  }
  static bool insert_header_row(_Cotizacion& q, bool object) {
    return object ? of(q).Inserta_Cotizacion_Encabezado2() : of(q).Inserta_Cotizacion_Encabezado();
  }
  static std::unique_ptr<QuoteShape> shape(_Cotizacion& q, bool object) {
    if (object) return std::make_unique<ObjectShape>(of(q).m_Encabezado2, of(q).m_Detalle2);
    return std::make_unique<RecordShape>(of(q).m_Encabezado, of(q).m_Detalle);
  }
};

}  // namespace quorlane
