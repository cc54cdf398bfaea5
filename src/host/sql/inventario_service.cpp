// cInventario over the standard host: the warehouses' size and colour handling and the costs.
#include "db/database.h"
#include "host/sql/engine_sql.h"
#include "host/sql/service_support.h"

namespace quorlane {

namespace {

class SqlInventario final : public cInventario {
 public:
  explicit SqlInventario(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  bool Maneja_Tallas(const std::string& branch, const std::string& warehouse) override {
    return warehouse_flag(
        "SELECT Al_Maneja_Tallas FROM Almacen "
        "WHERE Sc_Cve_Sucursal = ? AND Al_Cve_Almacen = ?",
        branch, warehouse);
  }

  bool Maneja_Colores(const std::string& branch, const std::string& warehouse) override {
    return warehouse_flag(
        "SELECT Al_Maneja_Colores FROM Almacen "
        "WHERE Sc_Cve_Sucursal = ? AND Al_Cve_Almacen = ?",
        branch, warehouse);
  }

  // The cost of the exact size and colour, else the product's cost without size and colour:
  // both rows asked for at once, the exact one first.
  double Obtener_Costo(const std::string& branch, const std::string& warehouse,
                       const std::string& product, const std::string& size,
                       const std::string& colour, double, const std::string&) override {
    std::shared_ptr<db::Database> database = host_->database();
    db::Rows rows = catalogue(
        *database,
        first_row_query(
            database->engine(),
            "SELECT Co_Costo FROM Costo WHERE Sc_Cve_Sucursal = ? AND Al_Cve_Almacen = ? AND "
            "Pr_Cve_Producto = ? AND ((Tl_Cve_Talla = ? AND Cl_Cve_Color = ?) OR "
            "(Tl_Cve_Talla = '' AND Cl_Cve_Color = '')) "
            "ORDER BY CASE WHEN Tl_Cve_Talla = ? AND Cl_Cve_Color = ? THEN 0 ELSE 1 END"),
        {Variant(branch), Variant(warehouse), Variant(product), Variant(size), Variant(colour),
         Variant(size), Variant(colour)},
        {"Costo"});
    return number_or_zero(rows.first());
  }

 private:
  bool warehouse_flag(const char* sql, const std::string& branch, const std::string& warehouse) {
    return is_yes(
        catalogue(*host_->database(), sql, {Variant(branch), Variant(warehouse)}, {"Almacen"})
            .first());
  }

  std::shared_ptr<StandardHost> host_;
};

}  // namespace

std::shared_ptr<cInventario> make_sql_inventario(std::shared_ptr<StandardHost> host) {
  return std::make_shared<SqlInventario>(std::move(host));
}

}  // namespace quorlane
