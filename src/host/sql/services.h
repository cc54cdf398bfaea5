// The five service components of the standard host.
#pragma once

#include <memory>

#include "host/sql/standard_host.h"

namespace quorlane {

// A factory whose services work on `host`'s database and read its settings at each call.
std::shared_ptr<HostFactory> make_sql_services(std::shared_ptr<StandardHost> host);

}  // namespace quorlane
