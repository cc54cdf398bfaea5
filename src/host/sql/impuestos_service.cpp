// cImpuestos over the standard host: the tax factor of a product for a customer.
#include "db/database.h"
#include "host/sql/service_support.h"

namespace quorlane {

namespace {

class SqlImpuestos final : public cImpuestos {
 public:
  explicit SqlImpuestos(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}

  double Factor_Impuesto(const std::string&, const std::string& customer,
                         const std::string& product) override {
    // The customer's exemption and the product's factor in one statement.
    db::Rows rows =
        catalogue(*host_->database(),
                  "SELECT (SELECT Cl_Exento_Impuesto FROM Cliente WHERE Cl_Cve_Cliente = ?), "
                  "(SELECT Pr_Impuesto_Factor FROM Producto WHERE Pr_Cve_Producto = ?)",
                  {Variant(customer), Variant(product)}, {"Cliente", "Producto"});
    if (is_yes(rows.first(0))) return 0;
    return number_or_zero(rows.first(1));
  }

 private:
  std::shared_ptr<StandardHost> host_;
};

}  // namespace

std::shared_ptr<cImpuestos> make_sql_impuestos(std::shared_ptr<StandardHost> host) {
  return std::make_shared<SqlImpuestos>(std::move(host));
}

}  // namespace quorlane
