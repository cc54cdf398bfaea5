// Which host factory creates the service objects.
#pragma once

#include <memory>

#include "quorlane/host.h"

namespace quorlane {

// The standard host over SQL, configured from the environment (defined by the standard host).
std::shared_ptr<HostFactory> make_standard_host_factory();

}  // namespace quorlane
