// alloc [--page P] [--pair] [--owner TEXT] [COUNT]: the COUNT (default 1)
// lowest free addresses of a pool, or port/node pairs, created on first use.
#include "commands.hpp"

#include "pool_address.hpp"
#include "rest_period.hpp"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <iostream>
#include <tuple>

namespace wwnpool {
namespace {

std::int32_t count_of(const Args &args) {
    if (args.operands.size() > 1) {
        throw Failure(kBadUsage, "alloc takes one COUNT; see 'wwnpool alloc --help'");
    }
    std::int32_t count = 1;
    if (!args.operands.empty()) {
        const std::string &text = args.operands[0];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error != std::errc() || end != text.data() + text.size() || count < 1 || count > 1024) {
            throw Failure(kBadUsage, "'" + shown(text) + "' is not a count of addresses; give a number from 1 to 1024");
        }
    }
    return count;
}

// When a resting address is all that is left, the one that rested longest
// goes first, and the user is told.
struct Resting {
    const StateFile &state;
    std::int64_t now;
    std::int64_t period;

    // Since when an address rests, if it still does.
    std::optional<std::int64_t> since(const revevidozi::Wwn &address) const {
        const auto at = state.resting_since(address);
        return at && still_resting(*at, now, period) ? at : std::nullopt;
    }
    void tell(const std::vector<revevidozi::Wwn> &used) const {
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
};

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

} // namespace

int cmd_alloc(Context &ctx) {
    const Args &args = ctx.args;
    const std::int32_t count = count_of(args);
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const std::uint32_t page = page_of(args);
    const std::string owner = args.owner.value_or("");
    const Resting resting{state, std::time(nullptr), ctx.rest_period()};
    const auto users = names_in_use();
    if (args.pair) {
        revevidozi::Pool &ports = pool_of(*pool_line(state, local, page, true));
        revevidozi::Pool &nodes = pool_of(*pool_line(state, local, page ^ 1U, true));
        claim_names_in_use(state, ports, users);
        claim_names_in_use(state, nodes, users);
        const auto pairs = allocate_pairs(ports, nodes, count, resting);
        std::vector<revevidozi::Wwn> changed;
        for (const auto &[port, node] : pairs) {
            state.drop_rest(port);
            state.drop_rest(node);
            state.put_record({port, node, owner});
            state.put_record({node, port, owner});
            changed.insert(changed.end(), {port, node});
        }
        ctx.out.changed("allocated", changed, "release", owner_option(args));
        state.save();
        print_pairs(args, ctx.out, ports.base(), pairs);
        return kDone;
    }
    revevidozi::Pool &pool = pool_of(*pool_line(state, local, page, true));
    claim_names_in_use(state, pool, users);
    const std::vector<revevidozi::Wwn> addresses = allocate_singles(pool, count, resting);
    for (const auto &address : addresses) {
        state.drop_rest(address);
        state.put_record({address, std::nullopt, owner});
    }
    ctx.out.changed("allocated", addresses, "release", owner_option(args));
    state.save();
    print_addresses(args, ctx.out, "alloc", pool.base(), addresses);
    return kDone;
}

} // namespace wwnpool
