#include "report.hpp"

#include "libvirt_xml.hpp"

namespace wwnpool {

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

void print_libvirt(const Args &args, Output &out, const std::string &parent, const std::string &owner,
                   const revevidozi::Wwn &port, const revevidozi::Wwn &node) {
    out.text() << (args.style.format == Format::kLibvirt ? node_device_xml(parent, port, node)
                                                         : storage_pool_xml(owner, parent, port, node));
}

void print_pairs(const Args &args, Output &out, const revevidozi::Wwn &base,
                 const std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> &pairs) {
    if (!args.json && libvirt_form(args.style)) { // one pair: the command line makes sure
        print_libvirt(args, out, *args.parent, args.owner.value_or(""), pairs.front().first, pairs.front().second);
        return;
    }
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
    std::error_code ec;
    if (const auto origin = revevidozi::origin_of(address, ec)) {
        json["page"] = origin->page;
    }
    if (record && record->partner) {
        json["partner"] = record->partner->str();
        json["role"] = state.role(address);
    }
    return json;
}

std::string pair_text(const StateFile &state, const revevidozi::Wwn &member, const Style &style) {
    const revevidozi::Wwn partner = *state.record(member)->partner;
    return std::string_view(state.role(member)) == "port" ? formatted_pair(member, partner, style)
                                                          : formatted_pair(partner, member, style);
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
