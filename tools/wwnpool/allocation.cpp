#include "allocation.hpp"

#include "failure.hpp"
#include "pool_address.hpp"
#include "rest_period.hpp"

#include <algorithm>
#include <iostream>
#include <tuple>

namespace wwnpool {

std::optional<std::int64_t> Resting::since(const revevidozi::Wwn &address) const {
    const auto at = state.resting_since(address);
    return at && still_resting(*at, now, period) ? at : std::nullopt;
}

void Resting::tell(const std::vector<revevidozi::Wwn> &used) const {
    if (!used.empty()) {
        std::cerr << "wwnpool: note: nothing else was free, so " << used.size()
                  << " address(es) released less than the rest period ago were handed out, longest rested "
                     "first:";
        for (const auto &a : used) {
            std::cerr << ' ' << a.str();
        }
        std::cerr << '\n';
    }
}

// The lowest free addresses that do not rest, or resting ones, longest
// rested first, when nothing else is left.
std::vector<revevidozi::Wwn> allocate_singles(revevidozi::Pool &pool, std::int32_t count, const Resting &resting) {
    std::vector<std::pair<std::int64_t, revevidozi::Wwn>> rest;
    for (const auto &r : resting.state.rests()) {
        std::error_code ec;
        if (resting.since(r.address) && !pool.in_use(r.address, ec) && !ec) {
            rest.emplace_back(r.since, r.address);
        }
    }
    // Longest rested first; ties in address order.
    std::sort(rest.begin(), rest.end(), [](const auto &a, const auto &b) {
        return std::pair(a.first, a.second.value()) < std::pair(b.first, b.second.value());
    });
    const std::uint32_t free = pool.usage().free;
    if (static_cast<std::uint32_t>(count) > free) {
        throw Failure(kRefused, "pool " + pool.base().str() + " has only " + std::to_string(free) +
                                    " free addresses; ask for fewer or use another page");
    }
    const std::size_t spare = free - rest.size();
    const std::size_t from_rest = static_cast<std::size_t>(count) > spare ? static_cast<std::size_t>(count) - spare : 0;
    // Held out of the batch for its duration, so lowest-first skips them.
    for (std::size_t i = from_rest; i < rest.size(); ++i) {
        pool.take(rest[i].second);
    }
    std::error_code ec;
    std::vector<revevidozi::Wwn> addresses = pool.allocate(count, ec);
    for (std::size_t i = from_rest; i < rest.size(); ++i) {
        pool.release(rest[i].second);
    }
    if (ec) {
        throw Failure(kBadState, "pool " + pool.base().str() + ": " + ec.message());
    }
    std::vector<revevidozi::Wwn> used;
    for (std::size_t i = 0; i < from_rest; ++i) {
        used.push_back(rest[i].second);
    }
    resting.tell(used);
    return addresses;
}

// Each port name with the node name of the same index, so a pair shows by
// eye: the lowest index free in both pools where neither rests, then, when
// nothing else is left, those that rested longest.
std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>>
allocate_pairs(revevidozi::Pool &ports, revevidozi::Pool &nodes, std::int32_t count, const Resting &resting) {
    std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> pairs;
    std::vector<std::tuple<std::int64_t, revevidozi::Wwn, revevidozi::Wwn>> rested;
    for (const revevidozi::Wwn &port : ports.all_addresses()) {
        const revevidozi::Wwn node = partner_of(port);
        if (ports.in_use(port) || nodes.in_use(node)) {
            continue;
        }
        const auto since = std::max(resting.since(port).value_or(-1), resting.since(node).value_or(-1));
        if (since >= 0) {
            rested.emplace_back(since, port, node);
        } else if (pairs.size() < static_cast<std::size_t>(count)) {
            pairs.emplace_back(port, node);
        }
    }
    // The longest rested first; the lowest first among those released together.
    std::ranges::sort(rested, {}, [](const auto &r) { return std::pair(std::get<0>(r), std::get<1>(r).value()); });
    std::vector<revevidozi::Wwn> used;
    for (const auto &[since, port, node] : rested) {
        if (pairs.size() < static_cast<std::size_t>(count)) {
            pairs.emplace_back(port, node);
            used.insert(used.end(), {port, node});
        }
    }
    if (pairs.size() < static_cast<std::size_t>(count)) {
        throw Failure(kRefused, "pools " + ports.base().str() + " and " + nodes.base().str() + " have only " +
                                    std::to_string(pairs.size()) + " free pairs; ask for fewer or use another page");
    }
    for (const auto &[port, node] : pairs) {
        ports.take(port);
        nodes.take(node);
    }
    resting.tell(used);
    return pairs;
}

} // namespace wwnpool
