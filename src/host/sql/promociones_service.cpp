// cPromociones over the standard host: the promotion a quote line earns.
#include <cmath>

#include "db/database.h"
#include "host/sql/engine_sql.h"
#include "host/sql/service_support.h"

namespace quorlane {

namespace {

class SqlPromociones final : public cPromociones {
 public:
  explicit SqlPromociones(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  // The first promotion by folio, not withdrawn, of every branch or the line's, for the line's
  // product and unit, in force on the date, whose minimum the quantity reaches.
  tPromocion Obtener_Promocion(Date date, const std::string& branch, const std::string&,
                               const std::string& product, const std::string&, const std::string&,
                               double quantity, const std::string& unit) override {
    std::shared_ptr<db::Database> database = host_->database();
    const Variant day = date_parameter(database->engine(), date, false);
    db::Rows rows = catalogue(
        *database,
        first_row_query(
            database->engine(),
            "SELECT Pm_Folio, Pm_Descripcion, Pm_Cantidad_Minima, Pm_Producto_Regalo, "
            "Pm_Talla_Regalo, Pm_Color_Regalo, Pm_Cantidad_Regalo, Pm_Unidad_Regalo FROM Promocion "
            "WHERE (Es_Cve_Estado IS NULL OR Es_Cve_Estado <> 'BA') "
            "AND (Sc_Cve_Sucursal IS NULL OR Sc_Cve_Sucursal = '' OR Sc_Cve_Sucursal = ?) "
            "AND Pr_Cve_Producto = ? AND Un_Cve_Unidad = ? "
            "AND Pm_Fecha_Inicio <= ? AND Pm_Fecha_Fin >= ? AND Pm_Cantidad_Minima <= ? "
            "ORDER BY Pm_Folio"),
        {Variant(branch), Variant(product), Variant(unit), day, day, Variant(quantity)},
        {"Promocion"});
    tPromocion promotion;
    if (rows.empty()) return promotion;
    const std::vector<Variant>& row = rows.values.front();
    const double minimum = number_or_zero(row[2]);
    // A minimum of zero gives the gift once.
    const double times = minimum > 0 ? std::floor(quantity / minimum) : 1;
    promotion.Pr_Cve_Producto = text_or_empty(row[3]);
    promotion.Tl_Cve_Talla = text_or_empty(row[4]);
    promotion.Cl_Cve_Color = text_or_empty(row[5]);
    promotion.Cantidad = times * number_or_zero(row[6]);
    promotion.Un_Cve_Unidad = text_or_empty(row[7]);
    promotion.Pm_Folio = text_or_empty(row[0]);
    promotion.Pm_Descripcion = text_or_empty(row[1]);
    return promotion;
  }

 private:
  std::shared_ptr<StandardHost> host_;
};

}  // namespace

std::shared_ptr<cPromociones> make_sql_promociones(std::shared_ptr<StandardHost> host) {
  return std::make_shared<SqlPromociones>(std::move(host));
}

}  // namespace quorlane
