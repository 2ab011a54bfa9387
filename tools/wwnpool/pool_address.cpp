#include "pool_address.hpp"

#include "failure.hpp"

#include <string>

namespace wwnpool {

revevidozi::PoolOrigin pool_origin(const revevidozi::Wwn &address) {
    std::error_code ec;
    if (auto origin = revevidozi::origin_of(address, ec)) {
        return *origin;
    }
    throw Failure(kBadUsage, address.str() + " is not a pool address (NAA " + std::to_string(address.naa()) +
                                 "); pool addresses begin with 2 or 5");
}

std::optional<revevidozi::Wwn> pool_base_of(const revevidozi::Wwn &address) {
    std::error_code ec;
    const auto origin = revevidozi::origin_of(address, ec);
    return origin ? revevidozi::pool_base(origin->local, origin->page, ec) : std::nullopt;
}

// The index bits are the same in every page, so an address's offset from
// its base is its offset from the partner's base too.
revevidozi::Wwn partner_of(const revevidozi::Wwn &address) {
    const revevidozi::PoolOrigin origin = pool_origin(address);
    const revevidozi::Wwn base = revevidozi::pool_base(origin.local, origin.page);
    const revevidozi::Wwn partner_base = revevidozi::pool_base(origin.local, origin.page ^ 1U);
    return revevidozi::Wwn(partner_base.value() + (address.value() - base.value()));
}

bool are_partners(const revevidozi::Wwn &a, const revevidozi::Wwn &b) {
    std::error_code ec;
    return revevidozi::origin_of(a, ec) && revevidozi::origin_of(b, ec) && partner_of(a) == b;
}

} // namespace wwnpool
