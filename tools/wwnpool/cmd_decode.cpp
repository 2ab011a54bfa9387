// decode WWN...: NAA type, local WWN, page and index of pool addresses. Needs
// no state.
#include "commands.hpp"

namespace wwnpool {

int cmd_decode(const Args &args, Output &out) {
    Json json{{"command", "decode"}, {"addresses", Json::array()}};
    for (const auto &address : wwn_operands(args)) {
        const revevidozi::PoolOrigin origin = pool_origin(address);
        const std::uint32_t index = revevidozi::index_of(address);
        json["addresses"].push_back({{"wwn", address.str()},
                                     {"naa", address.naa()},
                                     {"local", origin.local.str()},
                                     {"page", origin.page},
                                     {"index", index}});
        if (!args.json) {
            out.text() << address.str() << "  NAA " << address.naa() << "  local " << origin.local.str() << "  page "
                       << origin.page << "  index " << index << '\n';
        }
    }
    if (args.json) {
        emit(out, json);
    }
    return kDone;
}

} // namespace wwnpool
