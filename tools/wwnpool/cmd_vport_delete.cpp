// vport delete (--owner TEXT | WWN | VPORT): the vport removed by the
// kernel's vport_delete, then its names released; they rest.
#include "commands.hpp"

#include "vport_view.hpp"

#include <cstring>
#include <ctime>

namespace wwnpool {
namespace {

using revevidozi::Wwn;

} // namespace

int cmd_vport_delete(Context &ctx) {
    const Args &args = ctx.args;
    if (args.operands.size() > 1 || (args.operands.empty() && !args.owner)) {
        throw Failure(kBadUsage, "vport delete takes --owner TEXT, or one WWN or vport name");
    }
    const std::string what = args.operands.empty() ? "" : args.operands[0];
    const std::optional<Wwn> name =
        what.empty() || what.starts_with("vport-") ? std::nullopt : std::optional(parse_wwn(what));
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    std::vector<Vport> chosen;
    for (Vport &v : vports()) {
        const auto owner = pair_owner(state, v.entry);
        if (!v.entry.port || !v.entry.node) {
            continue; // the kernel deletes a vport by its names
        }
        if (what.empty() ? owner == args.owner
                         : (v.entry.name == what || (name && (v.entry.port == name || v.entry.node == name)))) {
            chosen.push_back(std::move(v));
        }
    }
    if (chosen.empty()) {
        throw Failure(kRefused, (what.empty() ? "'" + shown(*args.owner) + "' has no vport"
                                              : "no vport is " + (name ? "carrying " + name->str() : shown(what))) +
                                    " on this host; 'wwnpool vport list' shows them");
    }
    for (const Vport &v : chosen) {
        const auto owner = pair_owner(state, v.entry).value_or("");
        if (!owner.empty() && owner != args.owner && !args.force) {
            throw Failure(kRefused, v.entry.name + " is held by '" + shown(owner) +
                                        "'; nothing was changed; add --owner " + shell_quoted(shown(owner)) +
                                        " if it is theirs to give back (or --force)");
        }
    }
    Json json{{"command", args.command}, {"deleted", Json::array()}};
    std::vector<Wwn> all_released; // so far, for a message should the answer not be written
    std::vector<std::string> undo;
    for (const Vport &v : chosen) {
        const WwnPair pair{*v.entry.port, *v.entry.node};
        if (const int error = write_vport_switch(v.parent, VportSwitch::kDelete, pair.first, pair.second); error != 0) {
            throw Failure(kRefused, v.parent + " refused to delete " + v.entry.name + ": " + std::strerror(error) +
                                        "; its names stay allocated");
        }
        if (!wait_for(args, [&] { return !live_vport(pair); })) {
            throw Failure(kRefused, v.entry.name + " is still there; its names stay allocated");
        }
        std::vector<Wwn> released;
        const std::string owner = pair_owner(state, v.entry).value_or("");
        for (const Wwn &a : {pair.first, pair.second}) {
            std::error_code ec;
            const auto origin = revevidozi::origin_of(a, ec);
            PoolLine *line =
                origin && origin->local == local.wwn ? pool_line(state, local, origin->page, false) : nullptr;
            if (line != nullptr && pool_of(*line).in_use(a)) {
                pool_of(*line).release(a);
                state.drop_record(a);
                state.put_rest({a, std::time(nullptr)});
                released.push_back(a);
            }
        }
        if (!released.empty()) {
            all_released.insert(all_released.end(), released.begin(), released.end());
            undo.push_back("take --pair" + (owner.empty() ? "" : " --owner " + shell_quoted(owner)) + " " +
                           released.front().str());
            ctx.out.changed("released", all_released, undo);
            state.save();
        }
        Json item{{"vport", v.entry.name}, {"parent", v.parent}, {"released", Json::array()}};
        for (const Wwn &a : released) {
            item["released"].push_back(a.str());
        }
        json["deleted"].push_back(item);
        if (!args.json) {
            ctx.out.text() << "deleted " << shown(v.entry.name) << " on " << v.parent << "; released "
                           << (released.empty() ? "nothing (no names of this host's pools)"
                                                : formatted_pair(pair.first, pair.second, args.style))
                           << '\n';
        }
    }
    if (args.json) {
        emit(ctx.out, json);
    }
    return kDone;
}

} // namespace wwnpool
