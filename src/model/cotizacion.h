// The quote object. Its members are defined across the layers, one behaviour per file:
//   model/     creation, simple members, Nuevo, header and detail assignment
//   lines/     line admission, the detail row, promotion lines
//   lifecycle/ the header row, status transitions, follow-up history, finalisation
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "frame/object.h"
#include "model/properties.h"
#include "quorlane/host.h"
#include "quorlane/interfaces.h"

namespace quorlane {

class QuoteShape;
enum class Routine;

class Cotizacion final : public ComObject<Cotizacion, _Cotizacion> {
 public:
  // Runs the thread's start-up when needed, then creates the quote: its cImpuestos, then the
  // header object, then the line object.
  static Ref<Cotizacion> create();
  static const DispatchTable& dispatch_table();
  static const GUID& interface_id() { return IID__Cotizacion; }

  void put_Agregar_Promociones(bool value) override;
  bool get_Agregar_Promociones() override;
  void put_Folio(const std::string& value) override;
  std::string get_Folio() override;
  std::string get_Error() override;
  tCtEncabezado get_Encabezado() override;
  void put_Encabezado(const tCtEncabezado& value) override;
  tCtDetalle get_Detalle() override;
  void put_Detalle(const tCtDetalle& value) override;
  void Nuevo() override;
  bool Add_Cotizacion_Detalle() override;
  bool Eliminar_Cotizacion(std::string& Ct_Folio) override;
  bool Cancelar_Cotizacion(std::string& Ct_Folio) override;
  bool Autorizar_Cotizacion(std::string& Ct_Folio) override;
  bool Rechazar_Cotizacion(std::string& Ct_Folio) override;
  bool Finalizar_Cotizacion(std::string& Ct_Folio) override;
  void put_Folio2(const std::string& value) override;
  std::string get_Folio2() override;
  Ref<_cCtEncabezado> get_Encabezado2() override;
  void putref_Encabezado2(_cCtEncabezado* value) override;
  Ref<_cCtDetalle> get_Detalle2() override;
  void putref_Detalle2(_cCtDetalle* value) override;
  bool Add_Cotizacion_Detalle2() override;

 private:
  Cotizacion();
  ~Cotizacion() override;
  friend class ComObject<Cotizacion, _Cotizacion>;
  friend struct CotizacionTestAccess;  // unit tests arrange and read the state through it

  // Private routines (each returns False with m_Error written when it fails).
  bool Inserta_Cotizacion();
  bool Inserta_Cotizacion2();
  bool Inserta_Cotizacion_Encabezado();
  bool Inserta_Cotizacion_Encabezado2();
  bool Inserta_Promocion();
  bool Inserta_Promocion2();
  bool Crm_Historial_Seguimiento(const std::string& Ct_Folio, const std::string& Descripcion);

  // Line admission, the two rows and promotion lines, each written once for both twins.
  bool admit_line(QuoteShape& shape);
  bool insert_detail_row(QuoteShape& shape);
  bool insert_header_row(QuoteShape& shape);
  bool insert_promotion_line(QuoteShape& shape);
  bool run_twin_routine(Routine routine);  // the twin's private routine or public admission

  // State of the quote.
  bool m_Maneja_Tallas = false;
  bool m_Maneja_Colores = false;
  tCtEncabezado m_Encabezado;
  tCtDetalle m_Detalle;
  Ref<_cCtEncabezado> m_Encabezado2;
  Ref<_cCtDetalle> m_Detalle2;
  std::string m_Error;
  std::string m_Fecha_Texto;
  int16_t m_Partida = 0;
  std::shared_ptr<cImpuestos> m_Impuestos;
  std::string m_Servidor_Sucursal;
  bool m_Agregar_Promociones = false;

  // Promotion lines admitted by the calls now running (the chain bound).
  int m_Promocion_Profundidad = 0;
  std::vector<tPromocion> m_Promocion_Cadena;  // those lines' promotions, outermost first
};

}  // namespace quorlane
