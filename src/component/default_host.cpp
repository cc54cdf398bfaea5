// The default host of the assembled component: the standard host over SQL, configured from the
// environment, for objects created while no program or thread installed a host of its own.
#include "frame/host_factory.h"
#include "host/sql/standard_factory.h"

namespace quorlane {

namespace {
const bool kDefaultHostSet = (set_default_host_factory(&make_standard_host_factory), true);
}  // namespace

}  // namespace quorlane
