// alloc [--page P] [--pair] [--owner TEXT [--more]] [COUNT]: the COUNT
// (default 1) lowest free addresses of a pool, or port/node pairs, created on
// first use. With an owner it is safe to run again: what the owner already
// holds there counts, and only what is missing is allocated.
#include "commands.hpp"

#include "allocation.hpp"
#include "pool_address.hpp"

#include <charconv>
#include <ctime>
#include <iostream>

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

// What the owner already holds on the page: pairs whose port lies there, or
// single addresses, lowest first. A re-run of the same line finds them and
// hands out only what is missing.
std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> held(const StateFile &state, const std::string &owner,
                                                              std::uint32_t page, bool pairs) {
    std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> found;
    for (const AddressRecord &record : state.records()) {
        if (record.owner == owner && record.partner.has_value() == pairs && pool_origin(record.address).page == page) {
            found.emplace_back(record.address, record.partner.value_or(record.address));
        }
    }
    return found;
}

void tell_held(const std::string &owner, std::size_t held, std::int32_t count, const char *what) {
    std::cerr << "wwnpool: note: '" << shown(owner) << "' already held " << held << ' ' << what << " here; "
              << (held >= static_cast<std::size_t>(count)
                      ? "nothing was changed; add --more for more"
                      : "allocated " + std::to_string(static_cast<std::size_t>(count) - held) + " more")
              << '\n';
}

} // namespace

int cmd_alloc(Context &ctx) {
    const Args &args = ctx.args;
    const std::int32_t count = count_of(args);
    if (args.more && !args.owner) {
        throw Failure(kBadUsage, "--more asks for more names for an owner; name it with --owner");
    }
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const std::uint32_t page = page_of(args);
    const std::string owner = args.owner.value_or("");
    auto before = args.owner && !args.more ? held(state, owner, page, args.pair)
                                           : std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>>{};
    if (before.size() > static_cast<std::size_t>(count)) {
        before.resize(static_cast<std::size_t>(count));
    }
    const std::int32_t missing = count - static_cast<std::int32_t>(before.size());
    if (!before.empty()) {
        tell_held(owner, before.size(), count, args.pair ? "pair(s)" : "address(es)");
    }
    const Resting resting{state, std::time(nullptr), ctx.rest_period()};
    const auto users = ctx.names_in_use();
    const revevidozi::Wwn base = revevidozi::pool_base(local.wwn, page);
    if (args.pair) {
        auto pairs = before;
        if (missing > 0) {
            revevidozi::Pool &ports = pool_of(*pool_line(state, local, page, true));
            revevidozi::Pool &nodes = pool_of(*pool_line(state, local, page ^ 1U, true));
            claim_names_in_use(state, ports, users);
            claim_names_in_use(state, nodes, users);
            std::vector<revevidozi::Wwn> changed;
            for (const auto &[port, node] : allocate_pairs(ports, nodes, missing, resting)) {
                state.drop_rest(port);
                state.drop_rest(node);
                state.put_pair(port, node, owner);
                changed.insert(changed.end(), {port, node});
                pairs.emplace_back(port, node);
            }
            ctx.out.changed("allocated", changed, "release", owner_option(args));
            state.save();
        }
        print_pairs(args, ctx.out, base, pairs);
        return kDone;
    }
    std::vector<revevidozi::Wwn> addresses;
    addresses.reserve(static_cast<std::size_t>(count));
    for (const auto &[address, same] : before) {
        addresses.push_back(address);
    }
    if (missing > 0) {
        revevidozi::Pool &pool = pool_of(*pool_line(state, local, page, true));
        claim_names_in_use(state, pool, users);
        const std::vector<revevidozi::Wwn> added = allocate_singles(pool, missing, resting);
        for (const auto &address : added) {
            state.drop_rest(address);
            state.put_record({address, std::nullopt, owner});
        }
        ctx.out.changed("allocated", added, "release", owner_option(args));
        state.save();
        addresses.insert(addresses.end(), added.begin(), added.end());
    }
    print_addresses(args, ctx.out, "alloc", base, addresses);
    return kDone;
}

} // namespace wwnpool
