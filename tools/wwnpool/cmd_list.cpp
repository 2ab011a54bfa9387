// list [--page P] [--long] / list --owner TEXT: the allocated addresses of a
// pool in index order, or an owner's addresses across all pools.
#include "commands.hpp"

#include "text.hpp"

#include <algorithm>
#include <array>

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
    if (!args.long_list) {
        for (const auto &a : addresses) {
            out.text() << formatted(a, args.style) << '\n';
        }
        return kDone;
    }
    std::vector<std::array<std::string, 3>> rows{{"ADDRESS", "OWNER", "PARTNER"}};
    std::size_t widths[2] = {0, 0};
    for (const auto &a : addresses) {
        const AddressRecord *record = state.record(a);
        rows.push_back({formatted(a, args.style), record && !record->owner.empty() ? shown(record->owner) : "-",
                        record && record->partner ? formatted(*record->partner, args.style) : "-"});
    }
    for (const auto &row : rows) {
        widths[0] = std::max(widths[0], row[0].size());
        widths[1] = std::max(widths[1], row[1].size());
    }
    for (const auto &row : rows) {
        out.text() << row[0] << std::string(widths[0] - row[0].size() + 2, ' ') << row[1]
                   << std::string(widths[1] - row[1].size() + 2, ' ') << row[2] << '\n';
    }
    return kDone;
}

} // namespace wwnpool
