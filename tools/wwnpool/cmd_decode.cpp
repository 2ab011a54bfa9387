// decode WWN...: NAA type, local WWN, page and index of pool addresses. Needs
// no state.
#include "commands.hpp"

#include "pool_address.hpp"

namespace wwnpool {

namespace {

// The partner the state records for a pair's member. Decoding needs no
// state, so a state that cannot be read or trusted only leaves this out.
std::optional<revevidozi::Wwn> recorded_partner(StateFile *state, const revevidozi::Wwn &address,
                                                const revevidozi::PoolOrigin &origin) {
    try {
        if (state == nullptr || state->trusted(revevidozi::pool_base(origin.local, origin.page)) == nullptr) {
            return std::nullopt;
        }
        const AddressRecord *record = state->record(address);
        return record ? record->partner : std::nullopt;
    } catch (const Failure &) {
        return std::nullopt;
    }
}

} // namespace

int cmd_decode(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    const std::vector<revevidozi::Wwn> addresses = wwn_operands(args);
    StateFile *state = nullptr;
    try {
        state = &ctx.state();
    } catch (const Failure &) {
    }
    Json json{{"command", "decode"}, {"addresses", Json::array()}};
    for (const auto &address : addresses) {
        const revevidozi::PoolOrigin origin = pool_origin(address);
        const std::uint32_t index = revevidozi::index_of(address);
        const auto partner = recorded_partner(state, address, origin);
        json["addresses"].push_back({{"wwn", address.str()},
                                     {"naa", address.naa()},
                                     {"local", origin.local.str()},
                                     {"page", origin.page},
                                     {"index", index}});
        if (partner) {
            json["addresses"].back()["partner"] = {
                {"wwn", partner->str()}, {"page", revevidozi::origin_of(*partner).page}, {"index", index}};
        }
        if (!args.json) {
            out.text() << formatted(address, args.style) << "  NAA " << address.naa() << "  local "
                       << origin.local.str() << "  page " << origin.page << "  index " << index;
            if (partner) {
                out.text() << "  partner page " << revevidozi::origin_of(*partner).page << " index " << index;
            }
            out.text() << '\n';
        }
    }
    if (args.json) {
        emit(out, json);
    }
    return kDone;
}

} // namespace wwnpool
