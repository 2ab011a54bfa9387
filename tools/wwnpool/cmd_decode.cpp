// decode WWN...: NAA type, local WWN, page and index of pool addresses. Needs
// no state.
#include "commands.hpp"

namespace wwnpool {

int cmd_decode(const Args &args, Output &out) {
    Json json;
    json.begin_object().field("command", "decode").begin_array("addresses");
    for (const auto &address : wwn_operands(args)) {
        const revevidozi::PoolOrigin origin = pool_origin(address);
        const std::uint32_t index = revevidozi::index_of(address);
        json.begin_object()
            .field("wwn", address.str())
            .field("naa", std::uint64_t{address.naa()})
            .field("local", origin.local.str())
            .field("page", std::uint64_t{origin.page})
            .field("index", std::uint64_t{index})
            .end_object();
        if (!args.json) {
            out.text() << address.str() << "  NAA " << address.naa() << "  local " << origin.local.str() << "  page "
                       << origin.page << "  index " << index << '\n';
        }
    }
    if (args.json) {
        emit(out, json.end_array().end_object());
    }
    return kDone;
}

} // namespace wwnpool
