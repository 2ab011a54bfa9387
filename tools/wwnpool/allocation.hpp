// Which free names go first: the lowest index that does not rest; then,
// when nothing else is left, those that rested longest, and the user is told.
#pragma once

#include "state_file.hpp"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace wwnpool {

struct Resting {
    const StateFile &state;
    std::int64_t now;
    std::int64_t period;

    // Since when an address rests, if it still does.
    std::optional<std::int64_t> since(const revevidozi::Wwn &address) const;
    // Says on standard error which resting addresses were handed out.
    void tell(const std::vector<revevidozi::Wwn> &used) const;
};

// `count` addresses of `pool`, marked allocated there.
std::vector<revevidozi::Wwn> allocate_singles(revevidozi::Pool &pool, std::int32_t count, const Resting &resting);

// `count` port/node pairs of one index, the port from `ports`, marked
// allocated in both pools.
std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>>
allocate_pairs(revevidozi::Pool &ports, revevidozi::Pool &nodes, std::int32_t count, const Resting &resting);

} // namespace wwnpool
