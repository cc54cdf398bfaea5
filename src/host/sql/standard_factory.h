// The standard host's factory, configured from the environment.
#pragma once

#include <memory>

#include "quorlane/host.h"

namespace quorlane {

std::shared_ptr<HostFactory> make_standard_host_factory();

}  // namespace quorlane
