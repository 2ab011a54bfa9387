// vport list: every vport with its owner, and the drift between the vports
// and the state, both ways.
#include "commands.hpp"

#include "vport_view.hpp"

#include <algorithm>

namespace wwnpool {
namespace {

using revevidozi::Wwn;

// What the state says against a live vport: its names free there, held apart,
// or of another host's pools.
std::vector<std::string> drift(StateFile &state, const std::optional<LocalIdentity> &local, const Vport &v) {
    std::vector<std::string> problems;
    for (const auto &name : {v.entry.port, v.entry.node}) {
        std::error_code ec;
        const auto origin = name ? revevidozi::origin_of(*name, ec) : std::nullopt;
        if (!origin) {
            continue; // a name of no pool: the HBA maker's or another tool's
        }
        if (!local || origin->local != local->wwn) {
            problems.push_back(name->str() + " is of another host's pools (local WWN " + origin->local.str() + ")");
            continue;
        }
        PoolLine *line = state.trusted(revevidozi::pool_base(origin->local, origin->page));
        if (line == nullptr || !line->pool->in_use(*name)) {
            problems.push_back(name->str() + " is free in the state; 'wwnpool scan' marks it taken");
        }
    }
    if (problems.empty() && v.entry.port && !pair_owner(state, v.entry)) {
        problems.emplace_back("its names are not held as one pair in the state");
    }
    return problems;
}

} // namespace

int cmd_vport_list(Context &ctx) {
    const Args &args = ctx.args;
    StateFile &state = ctx.state();
    const auto local = ctx.local_if_known();
    Json json{{"command", args.command}, {"vports", Json::array()}, {"gone", Json::array()}};
    const std::vector<Vport> live = vports();
    for (const Vport &v : live) {
        const std::vector<std::string> problems = drift(state, local, v);
        if (args.json) {
            Json item = vport_json(args, state, v);
            item.erase("command");
            item["problems"] = problems;
            json["vports"].push_back(item);
            continue;
        }
        print_vport(args, ctx.out, state, v);
        for (const std::string &problem : problems) {
            ctx.out.text() << "  drift: " << problem << '\n';
        }
    }
    // The other way: pairs given a vport that no longer carries them.
    for (const AddressRecord &record : state.records()) {
        if (record.vport.empty() ||
            std::ranges::any_of(live, [&](const Vport &v) { return v.entry.port == record.address; })) {
            continue;
        }
        if (args.json) {
            json["gone"].push_back({{"parent", record.vport},
                                    {"port", record.address.str()},
                                    {"node", record.partner->str()},
                                    {"owner", record.owner}});
            continue;
        }
        const std::string owner = shell_quoted(shown(record.owner));
        ctx.out.text() << "gone: " << record.vport << "'s vport of " << owner << " with "
                       << formatted_pair(record.address, *record.partner, args.style) << "; 'wwnpool vport create "
                       << record.vport << " --owner " << owner << "' makes it again, 'wwnpool release --owner " << owner
                       << "' frees its names\n";
    }
    if (args.json) {
        emit(ctx.out, json);
    }
    return kDone;
}

} // namespace wwnpool
