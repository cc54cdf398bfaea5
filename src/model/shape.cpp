#include "model/shape.h"

#include <stdexcept>

namespace quorlane {

const TwinInfo kRecordTwin = {.object_shape = false,
                              .admission = Routine::Add_Cotizacion_Detalle,
                              .row_insert = Routine::Inserta_Cotizacion,
                              .header_insert = Routine::Inserta_Cotizacion_Encabezado,
                              .promotion = Routine::Inserta_Promocion,
                              .setter = &kDetalleSetter,
                              .concept_cut = 100,
                              .cuota_fija_column = 46,
                              .line_stock_location = false,
                              .recomputes_flags = false,
                              .amounts_with_fee = false,
                              .amounts_set_quantity = true};
const TwinInfo kObjectTwin = {.object_shape = true,
                              .admission = Routine::Add_Cotizacion_Detalle2,
                              .row_insert = Routine::Inserta_Cotizacion2,
                              .header_insert = Routine::Inserta_Cotizacion_Encabezado2,
                              .promotion = Routine::Inserta_Promocion2,
                              .setter = &kDetalle2Setter,
                              .concept_cut = 50,
                              .cuota_fija_column = 22,
                              .line_stock_location = true,
                              .recomputes_flags = true,
                              .amounts_with_fee = true,
                              .amounts_set_quantity = false};

const char* field_name(H f) {
  switch (f) {
#define QL_NAME_CASE(name, kind, type) \
  case H::name:                        \
    return #name;
    QL_CCTENCABEZADO_PROPERTIES(QL_NAME_CASE)
#undef QL_NAME_CASE
  }
  return "?";
}

const char* field_name(D f) {
  switch (f) {
#define QL_NAME_CASE(name, kind, type) \
  case D::name:                        \
    return #name;
    QL_CCTDETALLE_PROPERTIES(QL_NAME_CASE)
#undef QL_NAME_CASE
  }
  return "?";
}

namespace {

[[noreturn]] void wrong_kind(const char* field) {
  throw std::logic_error(std::string("campo de otro tipo: ") + field);
}

// Selects a case by the property's kind.
#define QL_WHEN_TEXT_TEXT(...) __VA_ARGS__
#define QL_WHEN_TEXT_NUM(...)
#define QL_WHEN_TEXT_DATE(...)
#define QL_WHEN_NUM_TEXT(...)
#define QL_WHEN_NUM_NUM(...) __VA_ARGS__
#define QL_WHEN_NUM_DATE(...)
#define QL_WHEN_DATE_TEXT(...)
#define QL_WHEN_DATE_NUM(...)
#define QL_WHEN_DATE_DATE(...) __VA_ARGS__

// Where a header field lives in the record.
std::string* text_field(tCtEncabezado& h, H f) {
  switch (f) {
    case H::Ct_Folio:
      return &h.Ct_Folio;
    case H::Ct_Tabla:
      return &h.Ct_Tabla;
    case H::Ct_Documento:
      return &h.Ct_Documento;
    case H::Ct_Referencia:
      return &h.Ct_Referencia;
    case H::Ct_Atencion:
      return &h.Ct_Atencion;
    case H::Ct_Comentario:
      return &h.Ct_Comentario;
    case H::Ct_Condicion_Venta:
      return &h.Ct_Condicion_Venta;
    case H::Mn_Cve_Moneda:
      return &h.Mn_Cve_Moneda;
    case H::Ct_Descuento_Global_Cuenta_Contable:
      return &h.Ct_Descuento_Global_Cuenta_Contable;
    case H::Zn_Cve_Zona:
      return &h.Zona.Zn_Cve_Zona;
    case H::Sc_Cve_Sucursal:
      return &h.Sucursal.Sc_Cve_Sucursal;
    case H::Al_Cve_Almacen:
      return &h.Almacen.Al_Cve_Almacen;
    case H::Cl_Cve_Cliente:
      return &h.Cliente.Cl_Cve_Cliente;
    case H::Vn_Cve_Vendedor:
      return &h.Vendedor.Vn_Cve_Vendedor;
    default:
      wrong_kind(field_name(f));
  }
}

double* number_field(tCtEncabezado& h, H f) {
  switch (f) {
    case H::Ct_Tipo_Cambio:
      return &h.Ct_Tipo_Cambio;
    case H::Ct_Descuento_Global_Factor:
      return &h.Ct_Descuento_Global_Factor;
    case H::Ct_Descuento_Global_Importe:
      return &h.Ct_Descuento_Global_Importe;
    default:
      wrong_kind(field_name(f));
  }
}

// The line fields that carry the same name in the record and in the object.
#define QL_TCTDETALLE_FIELDS_OF_LINE(X)   \
  X(Ct_ID, TEXT, _)                       \
  X(Ct_Partida, TEXT, _)                  \
  X(Ct_Partida_Descripcion, TEXT, _)      \
  X(Tl_Cve_Talla, TEXT, _)                \
  X(Cl_Cve_Color, TEXT, _)                \
  X(Ct_Cantidad_1, NUM, _)                \
  X(Ct_Unidad_1, TEXT, _)                 \
  X(Ct_Cantidad_Control_1, NUM, _)        \
  X(Ct_Unidad_Control_1, TEXT, _)         \
  X(Ct_Cantidad_Control_2, NUM, _)        \
  X(Ct_Unidad_Control_2, TEXT, _)         \
  X(Ct_Cantidad_Costo, NUM, _)            \
  X(Ct_Unidad_Costo, TEXT, _)             \
  X(Ct_Costo, NUM, _)                     \
  X(Ct_Costo_Importe, NUM, _)             \
  X(Pr_Folio, TEXT, _)                    \
  X(Ct_Precio_Lista, NUM, _)              \
  X(Ct_Precio_Lista_Importe, NUM, _)      \
  X(Ct_Descuento_Factor, NUM, _)          \
  X(Ct_Descuento_Importe, NUM, _)         \
  X(Ct_Precio_Descontado, NUM, _)         \
  X(Ct_Precio_Descontado_Importe, NUM, _) \
  X(Ct_Impuesto_Factor, NUM, _)           \
  X(Ct_Impuesto_Importe, NUM, _)          \
  X(Ct_Precio_Neto, NUM, _)               \
  X(Ct_Precio_Neto_Importe, NUM, _)       \
  X(Ct_Concepto, TEXT, _)

// Where a line field lives in the record; nullptr for the object shape's own three.
std::string* text_field(tCtDetalle& d, D f) {
  switch (f) {
    case D::Pr_Cve_Producto:
      return &d.Producto.Pr_Cve_Producto;
    case D::Pr_Tipo_Producto:
      return &d.Producto.Pr_Tipo_Producto;
    case D::Pr_Tipo_Costeo:
      return &d.Producto.Pr_Tipo_Costeo;
    case D::Ct_Almacen_Inventario:
    case D::Ct_Sucursal_Inventario:
      return nullptr;
#define QL_TEXT_CASE(name, kind, type) QL_WHEN_TEXT_##kind(case D::name : return &d.name;)
      QL_TCTDETALLE_FIELDS_OF_LINE(QL_TEXT_CASE)
#undef QL_TEXT_CASE
    default:
      wrong_kind(field_name(f));
  }
}

double* number_field(tCtDetalle& d, D f) {
  switch (f) {
    case D::Ct_Cuota:
      return nullptr;
#define QL_NUM_CASE(name, kind, type) QL_WHEN_NUM_##kind(case D::name : return &d.name;)
      QL_TCTDETALLE_FIELDS_OF_LINE(QL_NUM_CASE)
#undef QL_NUM_CASE
    default:
      wrong_kind(field_name(f));
  }
}

}  // namespace

// ---------------------------------------------------------------- record shape

std::string RecordShape::text(H f) { return *text_field(header_, f); }
double RecordShape::number(H f) { return *number_field(header_, f); }
Date RecordShape::date(H f) {
  if (f != H::Ct_Fecha) wrong_kind(field_name(f));
  return header_.Ct_Fecha;
}
void RecordShape::set_text(H f, const std::string& v) { *text_field(header_, f) = v; }
void RecordShape::set_number(H f, double v) { *number_field(header_, f) = v; }
void RecordShape::set_date(H f, Date v) {
  if (f != H::Ct_Fecha) wrong_kind(field_name(f));
  header_.Ct_Fecha = v;
}

std::string RecordShape::text(D f) {
  std::string* p = text_field(line_, f);
  return p ? *p : std::string();
}
double RecordShape::number(D f) {
  double* p = number_field(line_, f);
  return p ? *p : 0.0;
}
void RecordShape::set_text(D f, const std::string& v) {
  if (std::string* p = text_field(line_, f)) *p = v;
}
void RecordShape::set_number(D f, double v) {
  if (double* p = number_field(line_, f)) *p = v;
}

KeptLine RecordShape::keep_line() { return line_; }
void RecordShape::restore_line(const KeptLine& kept) { line_ = std::get<tCtDetalle>(kept); }

// ---------------------------------------------------------------- object shape

std::string ObjectShape::text(H f) {
  switch (f) {
#define QL_CASE(name, kind, type) QL_WHEN_TEXT_##kind(case H::name : return header_->get_##name();)
    QL_CCTENCABEZADO_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}
double ObjectShape::number(H f) {
  switch (f) {
#define QL_CASE(name, kind, type) QL_WHEN_NUM_##kind(case H::name : return header_->get_##name();)
    QL_CCTENCABEZADO_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}
Date ObjectShape::date(H f) {
  if (f != H::Ct_Fecha) wrong_kind(field_name(f));
  return header_->get_Ct_Fecha();
}
void ObjectShape::set_text(H f, const std::string& v) {
  switch (f) {
#define QL_CASE(name, kind, type) \
  QL_WHEN_TEXT_##kind(case H::name : header_->put_##name(v); return;)
    QL_CCTENCABEZADO_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}
void ObjectShape::set_number(H f, double v) {
  switch (f) {
#define QL_CASE(name, kind, type) QL_WHEN_NUM_##kind(case H::name : header_->put_##name(v); return;)
    QL_CCTENCABEZADO_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}
void ObjectShape::set_date(H f, Date v) {
  if (f != H::Ct_Fecha) wrong_kind(field_name(f));
  header_->put_Ct_Fecha(v);
}

std::string ObjectShape::text(D f) {
  switch (f) {
#define QL_CASE(name, kind, type) QL_WHEN_TEXT_##kind(case D::name : return line_->get_##name();)
    QL_CCTDETALLE_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}
double ObjectShape::number(D f) {
  switch (f) {
#define QL_CASE(name, kind, type) QL_WHEN_NUM_##kind(case D::name : return line_->get_##name();)
    QL_CCTDETALLE_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}
void ObjectShape::set_text(D f, const std::string& v) {
  switch (f) {
#define QL_CASE(name, kind, type) QL_WHEN_TEXT_##kind(case D::name : line_->put_##name(v); return;)
    QL_CCTDETALLE_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}
void ObjectShape::set_number(D f, double v) {
  switch (f) {
#define QL_CASE(name, kind, type) QL_WHEN_NUM_##kind(case D::name : line_->put_##name(v); return;)
    QL_CCTDETALLE_PROPERTIES(QL_CASE)
#undef QL_CASE
    default:
      wrong_kind(field_name(f));
  }
}

KeptLine ObjectShape::keep_line() { return line_; }
void ObjectShape::restore_line(const KeptLine& kept) { line_ = std::get<Ref<_cCtDetalle>>(kept); }

}  // namespace quorlane
