// list [--page P] [--long] / list --owner TEXT: the allocated addresses of a
// pool in index order, or an owner's addresses across all pools.
#include "commands.hpp"

#include "text.hpp"

namespace wwnpool {

int cmd_list(const Args &args, Output &out) {
    if (!args.operands.empty()) {
        throw Failure(kBadUsage, "list takes no operands; name the pool with --page");
    }
    if (args.owner && args.page) {
        throw Failure(kBadUsage, "list --owner lists that owner's addresses in every pool; leave out --page");
    }
    explicit_local(args);
    StateFile state(state_location(args), Access::kRead);
    const revevidozi::Wwn base = revevidozi::pool_base(host_identity(args, state).wwn, page_of(args));
    std::vector<revevidozi::Wwn> addresses;
    if (args.owner) {
        state.require_trustworthy(); // an owner's addresses may be in any pool
        for (const auto &record : state.records()) {
            if (record.owner == *args.owner) {
                addresses.push_back(record.address);
            }
        }
    } else if (PoolLine *line = state.trusted(base)) {
        addresses = pool_of(*line).allocated();
    }
    if (args.json) {
        Json json{{"command", "list"}};
        if (args.owner) {
            json["owner"] = *args.owner;
        } else {
            describe_pool(json, base);
        }
        json["addresses"] = Json::array();
        json["entries"] = Json::array();
        for (const auto &a : addresses) {
            json["addresses"].push_back(a.str());
            json["entries"].push_back(address_json(state, a));
        }
        emit(out, json);
        return kDone;
    }
    if (args.long_list) {
        out.text() << "ADDRESS  OWNER  PARTNER\n";
    }
    for (const auto &a : addresses) {
        out.text() << formatted(a, args.style);
        if (args.long_list) {
            out.text() << "  " << owner_and_partner(state, a, args.style);
        }
        out.text() << '\n';
    }
    return kDone;
}

} // namespace wwnpool
