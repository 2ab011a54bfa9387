// How long a released address rests before alloc hands it out again: a
// machine that still uses a name released by mistake must not meet it on
// another machine at once (DHCP servers hold freed leases back likewise).
#pragma once

#include <cstdint>
#include <string_view>

namespace wwnpool {

inline constexpr std::string_view kDefaultRest = "24h";

// A rest period in seconds: "30m", "2h", "1d", "90s", "90" (seconds), "0"
// (no rest), at most ten years. Fails with kBadUsage otherwise.
std::int64_t parse_rest_period(std::string_view text);

// Whether an address released at `since` is still resting at `now`.
inline bool still_resting(std::int64_t since, std::int64_t now, std::int64_t period) {
    return now - since < period;
}

} // namespace wwnpool
