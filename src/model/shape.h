// The two shapes of a quote. Every routine that comes as a record twin and an object twin is
// written once against QuoteShape; the twins differ only in where a field lives (a record field
// or a property of the header/line object) and in the data of TwinInfo.
#pragma once

#include <cstddef>
#include <string>
#include <variant>

#include "frame/error_convention.h"
#include "quorlane/interfaces.h"

namespace quorlane {

// Header fields by the names of the cCtEncabezado properties. In the record shape the five keys
// stand for Zona.Zn_Cve_Zona, Sucursal.Sc_Cve_Sucursal, Almacen.Al_Cve_Almacen,
// Cliente.Cl_Cve_Cliente and Vendedor.Vn_Cve_Vendedor.
enum class H {
#define QL_ENUM_ITEM(name, kind, type) name,
  QL_CCTENCABEZADO_PROPERTIES(QL_ENUM_ITEM)
#undef QL_ENUM_ITEM
};

// Line fields by the names of the cCtDetalle properties. In the record shape Pr_Cve_Producto,
// Pr_Tipo_Producto and Pr_Tipo_Costeo stand for the fields of the nested Producto record;
// Ct_Almacen_Inventario, Ct_Sucursal_Inventario and Ct_Cuota exist only in the object shape
// (the record shape reads them as empty / 0 and ignores writes).
enum class D {
#define QL_ENUM_ITEM(name, kind, type) name,
  QL_CCTDETALLE_PROPERTIES(QL_ENUM_ITEM)
#undef QL_ENUM_ITEM
};

const char* field_name(H f);
const char* field_name(D f);

// What tells the twins apart, as data.
struct TwinInfo {
  bool object_shape;
  Routine admission;         // Add_Cotizacion_Detalle / Add_Cotizacion_Detalle2
  Routine row_insert;        // Inserta_Cotizacion / Inserta_Cotizacion2
  Routine header_insert;     // Inserta_Cotizacion_Encabezado / Inserta_Cotizacion_Encabezado2
  Routine promotion;         // Inserta_Promocion / Inserta_Promocion2
  const SetterInfo* setter;  // kDetalleSetter / kDetalle2Setter
  size_t concept_cut;        // characters kept of a promotion line's concept: 100 / 50
  size_t cuota_fija_column;  // place of Ct_Cuota_Fija among the 52 columns of a line row: 46 / 22
  // Detail assignment.
  bool line_stock_location;   // the line's own stock branch and warehouse (defaulted from the
                              // header) are costed, rather than the header's branch and warehouse
  bool recomputes_flags;      // the size and colour flags follow the line's stock location
  bool amounts_with_fee;      // Calcular_Importes_Cuota with the line's Ct_Cuota
  bool amounts_set_quantity;  // the quantity is taken back from the amounts calculation
};
extern const TwinInfo kRecordTwin;
extern const TwinInfo kObjectTwin;

// The current line set aside while a promotion line is built on it: a copy of the line record,
// or a second reference to the line object (which goes on changing with it).
using KeptLine = std::variant<tCtDetalle, Ref<_cCtDetalle>>;

// Reads and writes one shape's header and current line. The object shape goes through the
// property getters and setters of the objects the quote holds (which may be the client's own
// objects), so any read or write may fail.
class QuoteShape {
 public:
  explicit QuoteShape(const TwinInfo& twin) : twin(twin) {}
  virtual ~QuoteShape() = default;

  virtual std::string text(H f) = 0;
  virtual double number(H f) = 0;
  virtual Date date(H f) = 0;
  virtual void set_text(H f, const std::string& v) = 0;
  virtual void set_number(H f, double v) = 0;
  virtual void set_date(H f, Date v) = 0;

  virtual std::string text(D f) = 0;
  virtual double number(D f) = 0;
  virtual void set_text(D f, const std::string& v) = 0;
  virtual void set_number(D f, double v) = 0;

  virtual KeptLine keep_line() = 0;
  virtual void restore_line(const KeptLine& kept) = 0;

  const TwinInfo& twin;
};

// The overrides both shapes declare.
#define QL_QUOTE_SHAPE_OVERRIDES                     \
  std::string text(H f) override;                    \
  double number(H f) override;                       \
  Date date(H f) override;                           \
  void set_text(H f, const std::string& v) override; \
  void set_number(H f, double v) override;           \
  void set_date(H f, Date v) override;               \
  std::string text(D f) override;                    \
  double number(D f) override;                       \
  void set_text(D f, const std::string& v) override; \
  void set_number(D f, double v) override;           \
  KeptLine keep_line() override;                     \
  void restore_line(const KeptLine& kept) override;

// The record shape over a header record and a line record.
class RecordShape final : public QuoteShape {
 public:
  RecordShape(tCtEncabezado& header, tCtDetalle& line)
      : QuoteShape(kRecordTwin), header_(header), line_(line) {}
  QL_QUOTE_SHAPE_OVERRIDES

 private:
  tCtEncabezado& header_;
  tCtDetalle& line_;
};

// The object shape over the header and line objects. It reads the references when each call is
// made, so that a line object replaced during a call (promotion lines) is seen.
class ObjectShape final : public QuoteShape {
 public:
  ObjectShape(Ref<_cCtEncabezado>& header, Ref<_cCtDetalle>& line)
      : QuoteShape(kObjectTwin), header_(header), line_(line) {}
  QL_QUOTE_SHAPE_OVERRIDES

 private:
  Ref<_cCtEncabezado>& header_;
  Ref<_cCtDetalle>& line_;
};

#undef QL_QUOTE_SHAPE_OVERRIDES

}  // namespace quorlane
