// decode WWN...: NAA type, local WWN, page and index of pool addresses. Needs
// no state.
#include "commands.hpp"

#include <algorithm>

namespace wwnpool {

int cmd_decode(const Args &args) {
    if (args.operands.empty()) {
        throw Failure(kBadUsage, "decode needs at least one WWN; see 'wwnpool decode --help'");
    }
    Json json;
    json.begin_object().field("command", "decode").begin_array("addresses");
    for (const auto &text : args.operands) {
        const revevidozi::Wwn address = parse_wwn(text);
        const revevidozi::PoolOrigin origin = pool_origin(address);
        // The index is the address's place among the pool's addresses, as the
        // library forms them.
        const auto all = revevidozi::Pool::create(origin.local, origin.page).all_addresses();
        const auto index = static_cast<std::uint64_t>(std::find(all.begin(), all.end(), address) - all.begin());
        json.begin_object()
            .field("wwn", address.str())
            .field("naa", std::uint64_t{address.naa()})
            .field("local", origin.local.str())
            .field("page", std::uint64_t{origin.page})
            .field("index", index)
            .end_object();
        if (!args.json) {
            std::cout << address.str() << "  NAA " << address.naa() << "  local " << origin.local.str() << "  page "
                      << origin.page << "  index " << index << '\n';
        }
    }
    if (args.json) {
        emit(json.end_array().end_object());
    }
    return kDone;
}

} // namespace wwnpool
