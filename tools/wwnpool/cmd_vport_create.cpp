// vport create HOST --owner TEXT: a virtual HBA with a pair of this host's
// pools, made in one step. The state stays locked throughout, and every
// allocation first claims the names FC entries carry, so a crash between the
// kernel's write and the state's save leaves a name live but never handed
// out twice. A create the kernel refuses saves nothing: the state is as it was.
#include "commands.hpp"

#include "allocation.hpp"
#include "pool_address.hpp"
#include "vport_view.hpp"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>

namespace wwnpool {
namespace {

using revevidozi::Wwn;

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
std::optional<WwnPair> idle_pair(const StateFile &state, const std::string &owner, std::uint32_t page) {
    const auto live = carriers();
    for (const AddressRecord &record : state.records()) {
        if (record.owner == owner && record.partner && pool_origin(record.address).page == page &&
            !live.contains(record.address.value()) && !live.contains(record.partner->value())) {
            return WwnPair{record.address, *record.partner};
        }
    }
    return std::nullopt;
}

WwnPair allocate_pair(Context &ctx) {
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const std::uint32_t page = page_of(ctx.args);
    revevidozi::Pool &ports = pool_of(*pool_line(state, local, page, true));
    revevidozi::Pool &nodes = pool_of(*pool_line(state, local, page ^ 1U, true));
    const auto users = ctx.names_in_use();
    claim_names_in_use(state, ports, users);
    claim_names_in_use(state, nodes, users);
    const WwnPair pair = allocate_pairs(ports, nodes, 1, {state, std::time(nullptr), ctx.rest_period()}).front();
    state.drop_rest(pair.first);
    state.drop_rest(pair.second);
    state.put_pair(pair.first, pair.second, *ctx.args.owner);
    return pair;
}

// The fabric refused the names: another port most likely carries one. The
// vport goes, and the names stay allocated so that nobody gets them again.
[[noreturn]] void quarantine(Context &ctx, const Vport &v, const WwnPair &pair) {
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

} // namespace

int cmd_vport_create(Context &ctx) {
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
    const WwnPair pair = held ? *held : allocate_pair(ctx);
    ctx.claim_now(); // before the names reach the fabric
    if (const int error = write_vport_switch(host, VportSwitch::kCreate, pair.first, pair.second); error != 0) {
        ctx.withdraw_claims();
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

} // namespace wwnpool
