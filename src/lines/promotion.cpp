// Promotion lines: a line just stored is offered to the host's promotions component; a promotion
// that applies turns the current line into a free line of the promotion's product, which is
// admitted through the quote's own public line admission (and so may earn a promotion in turn).
#include <cmath>

#include "frame/publico.h"
#include "lines/sql_values.h"
#include "lines/statement.h"
#include "model/cotizacion.h"
#include "model/shape.h"

namespace quorlane {

namespace {

// Promotion data under which a promotion line earns a promotion again would make a chain
// endless; a chain stops with a failure past this many promotion lines, or as soon as a
// promotion repeats one already given in it (the same line would earn the same again).
constexpr int kMaxPromotionChain = 20;

std::string chain_too_long_message() {
  return "La cadena de promociones excede el límite de " + std::to_string(kMaxPromotionChain) +
         " niveles";
}

std::string chain_repeats_message(const std::string& product) {
  return "La cadena de promociones repite el producto: " + product + ", no es posible continuar";
}

bool same_promotion(const tPromocion& a, const tPromocion& b) {
  return a.Pr_Cve_Producto == b.Pr_Cve_Producto && a.Tl_Cve_Talla == b.Tl_Cve_Talla &&
         a.Cl_Cve_Color == b.Cl_Cve_Color && a.Cantidad == b.Cantidad &&
         a.Un_Cve_Unidad == b.Un_Cve_Unidad;
}

// The first `limit` characters of a UTF-8 text, never splitting a character.
std::string first_characters(const std::string& text, size_t limit) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    bool starts_character = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts_character && count++ == limit) return text.substr(0, i);
  }
  return text;
}

std::string trim_blanks(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

// A product of the promotion line; a result too large for a 64-bit float is an overflow.
double product_of(double a, double b) {
  double r = a * b;
  if (std::isinf(r) && !std::isinf(a) && !std::isinf(b)) throw Failure(kOverflow);
  return r;
}

// A column of the promotion product's row read as text; a null fails as an invalid use of Null.
std::string column_text(Recordset& row, const char* column) {
  return row.GetFields().Item(column).Value().to_text();
}

// Marks a promotion line as admitted by a running call for as long as its admission runs.
class ChainLevel {
 public:
  ChainLevel(int& depth, std::vector<tPromocion>& chain, const tPromocion& promotion)
      : depth_(depth), chain_(chain) {
    ++depth_;
    chain_.push_back(promotion);
  }
  ~ChainLevel() {
    --depth_;
    chain_.pop_back();
  }
  ChainLevel(const ChainLevel&) = delete;
  ChainLevel& operator=(const ChainLevel&) = delete;

 private:
  int& depth_;
  std::vector<tPromocion>& chain_;
};

}  // namespace

bool Cotizacion::Inserta_Promocion() {
  RecordShape shape(m_Encabezado, m_Detalle);
  return insert_promotion_line(shape);
}

bool Cotizacion::Inserta_Promocion2() {
  ObjectShape shape(m_Encabezado2, m_Detalle2);
  return insert_promotion_line(shape);
}

bool Cotizacion::insert_promotion_line(QuoteShape& s) {
  return with_error_exit(s.twin.promotion, m_Error, [&] {
    Publico& p = publico();
    const bool object = s.twin.object_shape;

    // The line that earns the promotion, to be given back once the promotion line is admitted.
    const KeptLine triggering = s.keep_line();

    tPromocion promotion;
    {
      Date date = s.date(H::Ct_Fecha);
      std::string branch = s.text(H::Sc_Cve_Sucursal);
      std::string customer = s.text(H::Cl_Cve_Cliente);
      std::string product = s.text(D::Pr_Cve_Producto);
      std::string size = s.text(D::Tl_Cve_Talla);
      std::string colour = s.text(D::Cl_Cve_Color);
      double quantity = s.number(D::Ct_Cantidad_1);
      std::string unit = s.text(D::Ct_Unidad_1);
      std::shared_ptr<cPromociones> promotions = current_host_factory()->create_promociones();
      promotion = promotions->Obtener_Promocion(date, branch, customer, product, size, colour,
                                                quantity, unit);
    }
    const std::string& key = promotion.Pr_Cve_Producto;
    if (key.empty()) return true;

    if (m_Promocion_Profundidad >= kMaxPromotionChain) {
      m_Error = chain_too_long_message();
      return false;
    }
    for (const tPromocion& given : m_Promocion_Cadena) {
      if (same_promotion(given, promotion)) {
        m_Error = chain_repeats_message(key);
        return false;
      }
    }

    std::string& sql = p.gSQL;
    sql = "SELECT * FROM Producto WHERE Pr_Cve_Producto = '";
    append_quoted_value(sql, key);
    sql += "' ";
    std::shared_ptr<Recordset> row = execute_statement(sql);
    if (row->Eof()) {
      m_Error = "El producto: " + key + ", no existe.";
      return false;
    }

    // The current line becomes the promotion line, field by field.
    s.set_text(D::Pr_Cve_Producto, key);
    Variant description = row->GetFields().Item("Pr_Descripcion").Value();
    std::string concept_text = p.gComentario_Promocion + " " +
                               (description.is_null() ? std::string() : description.to_text());
    s.set_text(D::Ct_Concepto, trim_blanks(first_characters(concept_text, s.twin.concept_cut)));
    s.set_text(D::Tl_Cve_Talla, promotion.Tl_Cve_Talla);
    s.set_text(D::Cl_Cve_Color, promotion.Cl_Cve_Color);
    s.set_number(D::Ct_Cantidad_1, promotion.Cantidad);
    s.set_text(D::Ct_Unidad_1, promotion.Un_Cve_Unidad);
    s.set_text(D::Ct_Unidad_Costo, column_text(*row, "Pr_Unidad_Costo"));
    const std::string product_key = column_text(*row, "Pr_Cve_Producto");
    const std::string control_unit_1 = column_text(*row, "Pr_Unidad_Control_1");
    const double factor_1 =
        p.gDatos->Factor_Conversion(product_key, promotion.Un_Cve_Unidad, control_unit_1);
    s.set_number(D::Ct_Cantidad_Control_1, product_of(promotion.Cantidad, factor_1));
    s.set_text(D::Ct_Unidad_Control_1, control_unit_1);
    const std::string control_unit_2 = column_text(*row, "Pr_Unidad_Control_2");
    if (control_unit_2 != promotion.Un_Cve_Unidad) {
      const double factor_2 = p.gDatos->Factor_Conversion(s.text(D::Pr_Cve_Producto),
                                                          promotion.Un_Cve_Unidad, control_unit_2);
      s.set_number(D::Ct_Cantidad_Control_2, product_of(promotion.Cantidad, factor_2));
    } else {
      s.set_number(D::Ct_Cantidad_Control_2, promotion.Cantidad);
    }
    s.set_text(D::Ct_Unidad_Control_2, control_unit_2);
    s.set_number(D::Ct_Descuento_Importe, 0);
    s.set_number(D::Ct_Descuento_Factor, 0);
    s.set_number(D::Ct_Impuesto_Factor, 0);
    s.set_number(H::Ct_Descuento_Global_Importe, 0);
    for (D amount : {D::Ct_Precio_Descontado, D::Ct_Precio_Descontado_Importe, D::Ct_Precio_Lista,
                     D::Ct_Precio_Lista_Importe, D::Ct_Impuesto_Importe, D::Ct_Precio_Neto,
                     D::Ct_Precio_Neto_Importe})
      s.set_number(amount, 0);
    s.set_number(D::Ct_Cuota, 0);  // the record has no fee field and ignores it
    {
      // Stock is taken from the header's branch and warehouse (record) or the line's (object).
      const std::string branch =
          object ? s.text(D::Ct_Sucursal_Inventario) : s.text(H::Sc_Cve_Sucursal);
      const std::string warehouse =
          object ? s.text(D::Ct_Almacen_Inventario) : s.text(H::Al_Cve_Almacen);
      s.set_number(D::Ct_Costo, p.gInventario->Obtener_Costo(branch, warehouse, product_key,
                                                             promotion.Tl_Cve_Talla,
                                                             promotion.Cl_Cve_Color, 0, ""));
    }
    s.set_number(D::Ct_Cantidad_Costo, s.number(D::Ct_Cantidad_Control_1));
    s.set_number(D::Ct_Costo_Importe,
                 product_of(s.number(D::Ct_Cantidad_Control_1), s.number(D::Ct_Costo)));

    bool admitted;
    {
      ChainLevel level(m_Promocion_Profundidad, m_Promocion_Cadena, promotion);
      admitted = run_twin_routine(s.twin.admission);
    }
    if (!admitted) {
      row->Close();
      return false;
    }
    s.restore_line(triggering);
    return true;
  });
}

}  // namespace quorlane
