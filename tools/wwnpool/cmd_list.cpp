// list [--page P]: the allocated addresses of a pool, in index order.
#include "commands.hpp"
#include "local_wwn.hpp"

namespace wwnpool {

int cmd_list(const Args &args) {
    if (!args.operands.empty()) {
        throw Failure(kBadUsage, "list takes no operands; name the pool with --page");
    }
    const revevidozi::Wwn local = resolve_local_wwn(args);
    StateFile state(state_path(args), Access::kRead);
    PoolLine *line = pool_line(state, local, page_of(args), false);
    std::vector<revevidozi::Wwn> addresses;
    if (line != nullptr) {
        addresses = pool_of(*line).allocated();
    }
    print_addresses(args, "list", revevidozi::pool_base(local, page_of(args)), addresses);
    return kDone;
}

} // namespace wwnpool
