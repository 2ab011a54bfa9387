#include "commands.hpp"

#include "text.hpp"

#include <algorithm>

namespace wwnpool {

std::vector<revevidozi::Wwn> wwn_operands(const Args &args) {
    if (args.operands.empty()) {
        throw Failure(kBadUsage, args.command + " needs at least one WWN; see 'wwnpool " + args.command + " --help'");
    }
    std::vector<revevidozi::Wwn> addresses;
    for (const auto &text : args.operands) {
        const revevidozi::Wwn address = parse_wwn(text);
        pool_origin(address);
        if (std::find(addresses.begin(), addresses.end(), address) != addresses.end()) {
            throw Failure(kBadUsage, address.str() + " is given twice; name each address once");
        }
        addresses.push_back(address);
    }
    return addresses;
}

PoolLine *pool_line(StateFile &state, const revevidozi::Wwn &local, std::uint32_t page, bool create,
                    const LocalIdentity *named_by) {
    const revevidozi::Wwn base = revevidozi::pool_base(local, page);
    if (PoolLine *line = state.find(base)) {
        return line;
    }
    if (!create) {
        return nullptr;
    }
    if (named_by != nullptr) {
        notice_new_pool(*named_by);
    }
    return &state.add(revevidozi::Pool::create(local, page));
}

LocalIdentity host_identity(const Args &args, const StateFile &state) {
    return resolve_local(args, state.recorded_local());
}

void require_own(const revevidozi::Wwn &address, const LocalIdentity &local) {
    const revevidozi::Wwn owner = pool_origin(address).local;
    if (owner != local.wwn) {
        throw Failure(kBadUsage, address.str() + " is a name of the host " + owner.str() + ", not of this host " +
                                     local.wwn.str() + " (" + source_text(local) +
                                     "); check the address, or give --local " + owner.str() +
                                     " to act on that host's pools");
    }
}

revevidozi::Pool &pool_of(PoolLine &line) {
    if (!line.pool) {
        throw Failure(kBadState, "line " + std::to_string(line.line) + ": " + line.problem);
    }
    return *line.pool;
}

revevidozi::PoolOrigin pool_origin(const revevidozi::Wwn &address) {
    std::error_code ec;
    if (auto origin = revevidozi::origin_of(address, ec)) {
        return *origin;
    }
    throw Failure(kBadUsage, address.str() + " is not a pool address (NAA " + std::to_string(address.naa()) +
                                 "); pool addresses begin with 2 or 5");
}

void print_addresses(const Args &args, Output &out, const char *command, const revevidozi::Wwn &base,
                     const std::vector<revevidozi::Wwn> &addresses) {
    if (!args.json) {
        for (const auto &a : addresses) {
            out.text() << formatted(a, args.style) << '\n';
        }
        return;
    }
    Json json{{"command", command}};
    describe_pool(json, base);
    if (args.command != "list") {
        json["owner"] = owner_json(args);
    }
    json["addresses"] = Json::array();
    for (const auto &a : addresses) {
        json["addresses"].push_back(a.str());
    }
    emit(out, json);
}

void print_pairs(const Args &args, Output &out, const revevidozi::Wwn &base,
                 const std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> &pairs) {
    if (!args.json) {
        for (const auto &[port, node] : pairs) {
            out.text() << formatted_pair(port, node, args.style) << '\n';
        }
        return;
    }
    Json json{{"command", args.command}};
    describe_pool(json, base);
    json["owner"] = owner_json(args);
    json["pairs"] = Json::array();
    for (const auto &[port, node] : pairs) {
        json["pairs"].push_back({{"port", port.str()}, {"node", node.str()}});
    }
    emit(out, json);
}

Json address_json(const StateFile &state, const revevidozi::Wwn &address) {
    const AddressRecord *record = state.record(address);
    Json json{{"wwn", address.str()}, {"owner", record && !record->owner.empty() ? Json(record->owner) : Json()}};
    if (record && record->partner) {
        json["partner"] = record->partner->str();
    }
    return json;
}

void describe_pool(Json &json, const revevidozi::Wwn &base) {
    std::error_code ec;
    const auto origin = revevidozi::origin_of(base, ec);
    if (origin) {
        json["local"] = origin->local.str();
        json["page"] = origin->page;
    }
    json["base"] = base.str();
}

} // namespace wwnpool
