// The five service components over the standard host's database, one file each. Each call reads
// the host's settings afresh and runs the host's own queries with bound parameters on this
// thread's connection.
#include "host/sql/services.h"

#include "host/sql/service_support.h"

namespace quorlane {

namespace {

class SqlServices final : public HostFactory {
 public:
  explicit SqlServices(std::shared_ptr<StandardHost> host) : host_(std::move(host)) {}
  std::shared_ptr<cSistema> create_sistema() override { return make_sql_sistema(host_); }
  std::shared_ptr<cDatos> create_datos() override { return make_sql_datos(host_); }
  std::shared_ptr<cInventario> create_inventario() override { return make_sql_inventario(host_); }
  std::shared_ptr<cImpuestos> create_impuestos() override { return make_sql_impuestos(host_); }
  std::shared_ptr<cPromociones> create_promociones() override {
    return make_sql_promociones(host_);
  }

 private:
  std::shared_ptr<StandardHost> host_;
};

}  // namespace

std::shared_ptr<HostFactory> make_sql_services(std::shared_ptr<StandardHost> host) {
  return std::make_shared<SqlServices>(std::move(host));
}

}  // namespace quorlane
