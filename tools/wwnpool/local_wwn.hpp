// Which local WWN (NAA 1, 10:00 + IEEE address) the pools belong to.
#pragma once

#include "cli.hpp"

namespace wwnpool {

// --local, else $WWNPOOL_LOCAL, else 10:00 + the MAC address of the first
// network interface (by name) whose address is unicast, universally
// administered and not zero. Fails with kBadUsage when none is found.
revevidozi::Wwn resolve_local_wwn(const Args &args);

} // namespace wwnpool
