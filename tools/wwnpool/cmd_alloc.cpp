// alloc [--page P] [--pair] [--owner TEXT] [COUNT]: the COUNT (default 1)
// lowest free addresses of a pool, or port/node pairs, created on first use.
#include "commands.hpp"

#include "text.hpp"

#include <charconv>

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

// The lowest `count` indexes free in both pools, taken in both: each port
// name with the node name of the same index, so a pair shows by eye.
std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> allocate_pairs(revevidozi::Pool &ports,
                                                                        revevidozi::Pool &nodes, std::int32_t count) {
    const auto port_names = ports.all_addresses();
    const auto node_names = nodes.all_addresses();
    std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> pairs;
    std::size_t free_pairs = 0;
    for (std::size_t i = 0; i < port_names.size(); ++i) {
        if (!ports.in_use(port_names[i]) && !nodes.in_use(node_names[i])) {
            ++free_pairs;
            if (pairs.size() < static_cast<std::size_t>(count)) {
                pairs.emplace_back(port_names[i], node_names[i]);
            }
        }
    }
    if (pairs.size() < static_cast<std::size_t>(count)) {
        throw Failure(kRefused, "pools " + ports.base().str() + " and " + nodes.base().str() + " have only " +
                                    std::to_string(free_pairs) + " free pairs; ask for fewer or use another page");
    }
    for (const auto &[port, node] : pairs) {
        ports.take(port);
        nodes.take(node);
    }
    return pairs;
}

} // namespace

int cmd_alloc(const Args &args, Output &out) {
    const std::int32_t count = count_of(args);
    explicit_local(args);
    StateFile state(state_location(args), Access::kChange);
    state.require_trustworthy();
    const LocalIdentity local = host_identity(args, state);
    const std::uint32_t page = page_of(args);
    const std::string owner = args.owner.value_or("");
    if (args.pair) {
        pool_line(state, local.wwn, page, true, &local);
        pool_line(state, local.wwn, page ^ 1U, true, &local); // may move the first line
        revevidozi::Pool &ports = pool_of(*pool_line(state, local.wwn, page, false));
        revevidozi::Pool &nodes = pool_of(*pool_line(state, local.wwn, page ^ 1U, false));
        const auto users = names_in_use();
        claim_names_in_use(state, ports, users);
        claim_names_in_use(state, nodes, users);
        const auto pairs = allocate_pairs(ports, nodes, count);
        std::vector<revevidozi::Wwn> changed;
        for (const auto &[port, node] : pairs) {
            state.put_record({port, node, owner});
            state.put_record({node, port, owner});
            changed.insert(changed.end(), {port, node});
        }
        out.changed("allocated", changed, "release");
        state.save();
        print_pairs(args, out, ports.base(), pairs);
        return kDone;
    }
    revevidozi::Pool &pool = pool_of(*pool_line(state, local.wwn, page, true, &local));
    claim_names_in_use(state, pool, names_in_use());
    std::error_code ec;
    const std::vector<revevidozi::Wwn> addresses = pool.allocate(count, ec);
    if (ec == revevidozi::errc::address_in_use) {
        throw Failure(kRefused, "pool " + pool.base().str() + " has only " + std::to_string(pool.usage().free) +
                                    " free addresses; ask for fewer or use another page");
    }
    if (ec) {
        throw Failure(kBadState, "pool " + pool.base().str() + ": " + ec.message());
    }
    for (const auto &address : addresses) {
        state.put_record({address, std::nullopt, owner});
    }
    out.changed("allocated", addresses, "release");
    state.save();
    print_addresses(args, out, "alloc", pool.base(), addresses);
    return kDone;
}

} // namespace wwnpool
