// alloc [--page P] [COUNT]: the COUNT (default 1) lowest free addresses of a
// pool, created on first use.
#include "commands.hpp"

#include "text.hpp"

#include <charconv>

namespace wwnpool {

int cmd_alloc(const Args &args, Output &out) {
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
    explicit_local(args);
    StateFile state(state_location(args), Access::kChange);
    state.require_trustworthy();
    const LocalIdentity local = host_identity(args, state);
    revevidozi::Pool &pool = pool_of(*pool_line(state, local.wwn, page_of(args), true, &local));
    std::error_code ec;
    const std::vector<revevidozi::Wwn> addresses = pool.allocate(count, ec);
    if (ec == revevidozi::errc::address_in_use) {
        throw Failure(kRefused, "pool " + pool.base().str() + " has only " + std::to_string(pool.usage().free) +
                                    " free addresses; ask for fewer or use another page");
    }
    if (ec) {
        throw Failure(kBadState, "pool " + pool.base().str() + ": " + ec.message());
    }
    out.changed("allocated", addresses, "release");
    state.save();
    print_addresses(args, out, "alloc", pool.base(), addresses);
    return kDone;
}

} // namespace wwnpool
