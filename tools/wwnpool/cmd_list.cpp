// list [--page P] [--long] / list --owner TEXT: the allocated addresses of a
// pool in index order, or an owner's addresses across all pools. --long adds
// owners, partners and the addresses that rest since their release.
#include "commands.hpp"

#include "pool_address.hpp"
#include "rest_period.hpp"

#include <algorithm>
#include <array>
#include <ctime>
#include <iterator>

namespace wwnpool {
namespace {

// The released addresses of a pool that still rest, in address order.
std::vector<RestRecord> resting_in(const StateFile &state, const revevidozi::Wwn &base, std::int64_t period) {
    std::vector<RestRecord> out;
    const std::int64_t now = std::time(nullptr);
    for (const auto &rest : state.rests()) {
        if (pool_base_of(rest.address) == base && still_resting(rest.since, now, period)) {
            out.push_back(rest);
        }
    }
    return out;
}

} // namespace

int cmd_list(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    if (args.owner && args.page) {
        throw Failure(kBadUsage, "list --owner lists that owner's addresses in every pool; leave out --page");
    }
    const std::int64_t period = ctx.rest_period();
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const revevidozi::Wwn base = revevidozi::pool_base(local.wwn, page_of(args));
    std::vector<revevidozi::Wwn> addresses;
    std::vector<RestRecord> resting;
    if (args.owner) {
        state.require_trustworthy(); // an owner's addresses may be in any pool
        for (const auto &record : state.records()) {
            if (record.owner == *args.owner) {
                addresses.push_back(record.address);
            }
        }
    } else if (PoolLine *line = state.trusted(base)) {
        addresses = pool_of(*line).allocated();
        resting = resting_in(state, base, period);
    } else {
        throw Failure(kRefused, "there is no pool " + base.str() + " (page " + std::to_string(page_of(args)) + " of " +
                                    local.wwn.str() + ") in " + shown(state.path().string()) +
                                    "; 'wwnpool status' lists the pools there are");
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
        json["resting"] = Json::array();
        for (const auto &r : resting) {
            json["resting"].push_back({{"wwn", r.address.str()}, {"since", utc_time(r.since)}});
        }
        emit(out, json);
        return kDone;
    }
    if (!args.long_list && libvirt_form(args.style)) {
        std::vector<revevidozi::Wwn> ports;
        std::ranges::copy_if(addresses, std::back_inserter(ports),
                             [&](const revevidozi::Wwn &a) { return state.role(a) == std::string_view("port"); });
        if (ports.size() != 1) {
            throw Failure(kRefused, "'" + shown(*args.owner) + "' holds " + std::to_string(ports.size()) +
                                        " pairs; the libvirt forms describe one");
        }
        print_libvirt(args, out, *args.parent, *args.owner, ports.front(), *state.record(ports.front())->partner);
        return kDone;
    }
    if (!args.long_list) {
        for (const auto &a : addresses) {
            // In the vport form, an owner's pair is one line, as vport_delete takes it.
            const char *role = args.style.format == Format::kVport ? state.role(a) : nullptr;
            if (role == nullptr) {
                out.text() << formatted(a, args.style) << '\n';
            } else if (std::string_view(role) == "port") {
                out.text() << pair_text(state, a, args.style) << '\n';
            }
        }
        return kDone;
    }
    std::vector<std::pair<std::uint64_t, std::array<std::string, 4>>> rows;
    for (const auto &a : addresses) {
        const AddressRecord *record = state.record(a);
        rows.push_back({a.value(),
                        {formatted(a, args.style), record && !record->owner.empty() ? shown(record->owner) : "-",
                         record && record->partner ? formatted(*record->partner, args.style) : "-", "-"}});
    }
    for (const auto &r : resting) {
        rows.push_back({r.address.value(), {formatted(r.address, args.style), "-", "-", "since " + utc_time(r.since)}});
    }
    std::sort(rows.begin(), rows.end());
    rows.insert(rows.begin(), {0, {"ADDRESS", "OWNER", "PARTNER", "RESTING"}});
    std::array<std::size_t, 3> widths{};
    for (const auto &[key, row] : rows) {
        for (std::size_t i = 0; i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    for (const auto &[key, row] : rows) {
        for (std::size_t i = 0; i < widths.size(); ++i) {
            out.text() << row[i] << std::string(widths[i] - row[i].size() + 2, ' ');
        }
        out.text() << row[3] << '\n';
    }
    return kDone;
}

} // namespace wwnpool
