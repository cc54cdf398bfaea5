// The host that objects use when the program installed none: the standard host over SQL,
// configured from the environment.
#include "host/sql/standard_factory.h"

#include "host/sql/standard_host.h"

namespace quorlane {

std::shared_ptr<HostFactory> make_standard_host_factory() {
  return StandardHost::create(HostSettings::from_environment())->factory();
}

}  // namespace quorlane
