// What a pool address says about itself: its pool, and its partner. A
// port/node pair is one index of two partner pools, pages p and p ^ 1 of one
// local WWN (page 0 ports with page 1 nodes, 2 with 3, ...), so a pair shows
// by eye.
#pragma once

#include <revevidozi.hpp>

#include <optional>

namespace wwnpool {

// Where a pool address comes from; fails with kBadUsage for any other WWN.
revevidozi::PoolOrigin pool_origin(const revevidozi::Wwn &address);

// The base of the pool an address belongs to, if it is a pool address.
std::optional<revevidozi::Wwn> pool_base_of(const revevidozi::Wwn &address);

// The address of the same index in the partner pool.
revevidozi::Wwn partner_of(const revevidozi::Wwn &address);

// Whether two addresses can be the two names of one pair.
bool are_partners(const revevidozi::Wwn &a, const revevidozi::Wwn &b);

} // namespace wwnpool
