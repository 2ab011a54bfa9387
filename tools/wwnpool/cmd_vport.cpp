// vport create HOST --owner TEXT / vport delete (--owner TEXT | WWN | VPORT) /
// vport list: a virtual HBA with a pair of this host's pools, made or removed
// in one step. The state stays locked throughout, and every allocation first
// claims the names FC entries carry, so a crash between the kernel's write
// and the state's save leaves a name live but never handed out twice. A
// create that fails saves nothing: the state is as it was.
#include "commands.hpp"

#include "allocation.hpp"
#include "fc_vports.hpp"
#include "pool_address.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iostream>
#include <thread>

namespace wwnpool {
namespace {

using revevidozi::Wwn;
using Pair = std::pair<Wwn, Wwn>;

constexpr std::chrono::seconds kDefaultWait(30);

// Asks `done` until it says yes or --wait (default 30 s) has passed.
template <class Done> bool wait_for(const Args &args, Done done) {
    const auto until = std::chrono::steady_clock::now() + (args.wait ? std::chrono::seconds(*args.wait) : kDefaultWait);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::optional<Vport> live_vport(const Pair &pair) {
    for (Vport &v : vports()) {
        if (v.entry.port == pair.first && v.entry.node == pair.second) {
            return std::move(v);
        }
    }
    return std::nullopt;
}

// The owner of a pair the state holds as one, if it does.
std::optional<std::string> pair_owner(const StateFile &state, const FcEntry &entry) {
    const AddressRecord *record = entry.port ? state.record(*entry.port) : nullptr;
    if (record == nullptr || record->partner != entry.node) {
        return std::nullopt;
    }
    return record->owner;
}

Json vport_json(const Args &args, const StateFile &state, const Vport &v) {
    const auto owner = pair_owner(state, v.entry);
    const auto name = [](const std::optional<Wwn> &wwn) { return wwn ? Json(wwn->str()) : Json(); };
    return {{"command", args.command},
            {"vport", v.entry.name},
            {"parent", v.parent},
            {"port", name(v.entry.port)},
            {"node", name(v.entry.node)},
            {"state", v.state},
            {"owner", owner ? Json(*owner) : Json()}};
}

// VPORT  PARENT  PORT  NODE  STATE  OWNER, a "-" for what is missing.
void print_vport(const Args &args, Output &out, const StateFile &state, const Vport &v) {
    if (args.json) {
        emit(out, vport_json(args, state, v));
        return;
    }
    const auto owner = pair_owner(state, v.entry);
    if (libvirt_form(args.style) && v.entry.port && v.entry.node) {
        print_libvirt(args, out, "scsi_" + v.parent, owner.value_or(""), *v.entry.port, *v.entry.node);
        return;
    }
    const auto name = [&](const std::optional<Wwn> &wwn) { return wwn ? formatted(*wwn, args.style) : "-"; };
    out.text() << shown(v.entry.name) << "  " << v.parent << "  "
               << (args.style.format == Format::kVport && v.entry.port && v.entry.node
                       ? formatted_pair(*v.entry.port, *v.entry.node, args.style)
                       : name(v.entry.port) + "  " + name(v.entry.node))
               << "  " << (v.state.empty() ? "-" : v.state) << "  " << (owner && !owner->empty() ? shown(*owner) : "-")
               << '\n';
}

// The kernel's refusal of a vport_create, in the administrator's words.
std::string why_refused(const std::string &host, int error) {
    const auto host_attribute = [&](const char *name) {
        return shown(attribute(sysfs_root() / "class" / "fc_host" / host / name).value_or("?"));
    };
    switch (error) {
    case ENOENT:
    case ENOSYS:
    case EOPNOTSUPP:
        return host + " does not support NPIV (its driver makes no vports)";
    case ENOSPC:
        return host + " has no free vport (" + host_attribute("npiv_vports_inuse") + " of " +
               host_attribute("max_npiv_vports") + " in use)";
    case ENOTUNIQ:
        return "the fabric or the driver already knows one of these names";
    case EINVAL:
        return "the kernel found the names malformed";
    default:
        return std::strerror(error);
    }
}

// A pair the owner holds on the page that no FC entry carries: a vport that
// was deleted by hand, or names allocated before.
std::optional<Pair> idle_pair(const StateFile &state, const std::string &owner, std::uint32_t page) {
    const auto live = carriers();
    for (const AddressRecord &record : state.records()) {
        if (record.owner == owner && record.partner && pool_origin(record.address).page == page &&
            !live.contains(record.address.value()) && !live.contains(record.partner->value())) {
            return Pair{record.address, *record.partner};
        }
    }
    return std::nullopt;
}

Pair allocate_pair(Context &ctx) {
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const std::uint32_t page = page_of(ctx.args);
    revevidozi::Pool &ports = pool_of(*pool_line(state, local, page, true));
    revevidozi::Pool &nodes = pool_of(*pool_line(state, local, page ^ 1U, true));
    const auto users = names_in_use();
    claim_names_in_use(state, ports, users);
    claim_names_in_use(state, nodes, users);
    const Pair pair = allocate_pairs(ports, nodes, 1, {state, std::time(nullptr), ctx.rest_period()}).front();
    state.drop_rest(pair.first);
    state.drop_rest(pair.second);
    state.put_pair(pair.first, pair.second, *ctx.args.owner);
    return pair;
}

// The fabric refused the names: another port most likely carries one. The
// vport goes, and the names stay allocated so that nobody gets them again.
[[noreturn]] void quarantine(Context &ctx, const Vport &v, const Pair &pair) {
    StateFile &state = ctx.state();
    const std::string owner = ("fabric rejected for " + *ctx.args.owner).substr(0, 120);
    std::string deleted = "deleted it";
    if (write_vport_switch(v.parent, VportSwitch::kDelete, pair.first, pair.second) != 0 ||
        !wait_for(ctx.args, [&] { return !live_vport(pair); })) {
        deleted = "could not delete it ('wwnpool vport delete " + v.entry.name + " --force' tries again)";
    }
    state.put_pair(pair.first, pair.second, owner);
    state.save();
    throw Failure(kRefused, v.entry.name + " on " + v.parent + " reached \"" + v.state + "\": the fabric refused " +
                                pair.first.str() + ":" + pair.second.str() +
                                ", most likely because another port carries one of them; " + deleted +
                                " and kept both names out of use as '" + shown(owner) +
                                "'; run the same command again for a new pair");
}

int vport_create(Context &ctx) {
    const Args &args = ctx.args;
    if (args.operands.size() != 1) {
        throw Failure(kBadUsage, "vport create takes one FC host, such as host5; 'ls " +
                                     shown((sysfs_root() / "class" / "fc_host").string()) + "' lists them");
    }
    const std::string &host = args.operands[0];
    if (!args.owner) {
        throw Failure(kBadUsage, "vport create needs --owner, the VM or profile it is for, so that running the same "
                                 "command again changes nothing");
    }
    if (!has_vport_switches(host)) {
        throw Failure(kBadUsage, "'" + shown(host) + "' is no FC host that makes vports (no " +
                                     shown((sysfs_root() / "class" / "fc_host" / host / "vport_create").string()) +
                                     "); give one of the hosts in " +
                                     shown((sysfs_root() / "class" / "fc_host").string()));
    }
    StateFile &state = ctx.state();
    for (const Vport &v : vports()) {
        if (!args.more && v.parent == host && pair_owner(state, v.entry) == *args.owner) {
            std::cerr << "wwnpool: note: '" << shown(*args.owner) << "' already has " << shown(v.entry.name) << " on "
                      << host << "; nothing was changed; add --more for another\n";
            print_vport(args, ctx.out, state, v);
            return kDone;
        }
    }
    const auto held = args.more ? std::nullopt : idle_pair(state, *args.owner, page_of(args));
    const Pair pair = held ? *held : allocate_pair(ctx);
    if (const int error = write_vport_switch(host, VportSwitch::kCreate, pair.first, pair.second); error != 0) {
        throw Failure(kRefused, host + " refused a vport for " + pair.first.str() + ":" + pair.second.str() + ": " +
                                    why_refused(host, error) + "; nothing was changed");
    }
    if (!held) {
        ctx.out.changed("allocated", {pair.first, pair.second}, "release", owner_option(args));
    }
    AddressRecord port = *state.record(pair.first);
    port.vport = host; // so that a vport that goes without 'vport delete' shows
    state.put_record(port);
    try {
        state.save();
    } catch (const Failure &e) {
        // The state as it was holds names free that the vport carries: the vport goes too.
        if (e.after_change || write_vport_switch(host, VportSwitch::kDelete, pair.first, pair.second) != 0 ||
            !wait_for(args, [&] { return !live_vport(pair); })) {
            throw;
        }
        throw Failure(e.exit, std::string(e.what()) + "; the vport " + host + " had made for " + pair.first.str() +
                                  ":" + pair.second.str() + " was deleted again");
    }
    std::optional<Vport> made;
    wait_for(args, [&] {
        made = live_vport(pair);
        return made && made->state != "Initializing" && !made->state.empty();
    });
    if (!made) {
        throw Failure(kRefused, host + " took " + pair.first.str() + ":" + pair.second.str() +
                                    " but no vport carries them yet; they stay with '" + shown(*args.owner) +
                                    "'; 'wwnpool vport list' shows the vport once the kernel has made it");
    }
    if (made->state == "Fabric Rejected WWN") {
        quarantine(ctx, *made, pair);
    }
    if (const int error = set_symbolic_name(*made, *args.owner); error != 0) {
        std::cerr << "wwnpool: note: " << shown(made->entry.name)
                  << " keeps its symbolic name: " << std::strerror(error) << '\n';
    }
    print_vport(args, ctx.out, state, *made);
    return kDone;
}

int vport_delete(Context &ctx) {
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
        const Pair pair{*v.entry.port, *v.entry.node};
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

int vport_list(Context &ctx) {
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

} // namespace

int cmd_vport_create(Context &ctx) {
    return vport_create(ctx);
}

int cmd_vport_delete(Context &ctx) {
    return vport_delete(ctx);
}

int cmd_vport_list(Context &ctx) {
    return vport_list(ctx);
}

} // namespace wwnpool
