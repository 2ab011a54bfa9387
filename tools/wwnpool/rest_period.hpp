// How long a released address rests before alloc hands it out again: a
// machine that still uses a name released by mistake must not meet it on
// another machine at once (DHCP servers hold freed leases back likewise).
#pragma once

#include "cli.hpp"
#include "state_file.hpp"

#include <cstdint>
#include <vector>

namespace wwnpool {

// --rest, else $WWNPOOL_REST, else 24 hours; in seconds. "30m", "2h", "1d",
// "90s", "90" (seconds), "0" (no rest). Fails with kBadUsage otherwise.
std::int64_t rest_period(const Args &args);

// Whether an address released at `since` is still resting at `now`.
inline bool still_resting(std::int64_t since, std::int64_t now, std::int64_t period) {
    return now - since < period;
}

} // namespace wwnpool
