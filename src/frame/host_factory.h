// Which host factory creates the service objects: the one installed for the thread or the
// process, else the default host, which the layer that assembles the component provides.
#pragma once

#include <memory>

#include "quorlane/host.h"

namespace quorlane {

// Sets the maker of the default host, asked once, when an object is first created with no
// factory installed.
void set_default_host_factory(std::shared_ptr<HostFactory> (*make)());

}  // namespace quorlane
