#include "rest_period.hpp"

#include "failure.hpp"
#include "text.hpp"

#include <charconv>
#include <string>

namespace wwnpool {

std::int64_t parse_rest_period(std::string_view text) {
    std::int64_t amount = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), amount);
    const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
    constexpr std::int64_t kMaxDays = 3650;
    const std::int64_t scale = unit.empty() || unit == "s" ? 1
                               : unit == "m"               ? 60
                               : unit == "h"               ? 3600
                               : unit == "d"               ? 86400
                                                           : 0;
    if (error != std::errc() || amount < 0 || scale == 0 || amount > kMaxDays * 86400 / scale) {
        throw Failure(kBadUsage, "'" + shown(text) + "' is not a rest period; write it like 30m, 2h, 1d or 0");
    }
    return amount * scale;
}

} // namespace wwnpool
