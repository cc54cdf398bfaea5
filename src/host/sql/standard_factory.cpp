// Placeholder until the standard host over SQL lands: creating a service fails clearly.
#include "frame/host_factory.h"

namespace quorlane {

namespace {
class UnavailableHost final : public HostFactory {
  [[noreturn]] static void unavailable() { throw Failure("El host estándar no está disponible"); }
 public:
  std::shared_ptr<cSistema> create_sistema() override { unavailable(); }
  std::shared_ptr<cDatos> create_datos() override { unavailable(); }
  std::shared_ptr<cInventario> create_inventario() override { unavailable(); }
  std::shared_ptr<cImpuestos> create_impuestos() override { unavailable(); }
  std::shared_ptr<cPromociones> create_promociones() override { unavailable(); }
};
}  // namespace

std::shared_ptr<HostFactory> make_standard_host_factory() {
  return std::make_shared<UnavailableHost>();
}

}  // namespace quorlane
