// list [--page P]: the allocated addresses of a pool, in index order.
#include "commands.hpp"

namespace wwnpool {

int cmd_list(const Args &args, Output &out) {
    if (!args.operands.empty()) {
        throw Failure(kBadUsage, "list takes no operands; name the pool with --page");
    }
    explicit_local(args);
    StateFile state(state_location(args), Access::kRead);
    const revevidozi::Wwn base = revevidozi::pool_base(host_identity(args, state).wwn, page_of(args));
    std::vector<revevidozi::Wwn> addresses;
    if (PoolLine *line = state.trusted(base)) {
        addresses = pool_of(*line).allocated();
    }
    print_addresses(args, out, "list", base, addresses);
    return kDone;
}

} // namespace wwnpool
