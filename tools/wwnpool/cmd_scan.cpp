// scan: the names this host's FC hosts and vports carry now. Those in this
// host's pools are marked taken (owner "sysfs:<entry>"), so that alloc and
// take never hand them out again.
#include "commands.hpp"

#include "host_sysfs.hpp"
#include "pool_address.hpp"

namespace wwnpool {
namespace {

struct Found {
    revevidozi::Wwn wwn;
    std::string entry;
    const char *role; // "port" or "node"
};

// The local WWN of the pools a name comes from, if it is a pool address.
std::optional<revevidozi::Wwn> pools_of(const revevidozi::Wwn &name) {
    std::error_code ec;
    const auto origin = revevidozi::origin_of(name, ec);
    return origin ? std::optional(origin->local) : std::nullopt;
}

} // namespace

int cmd_scan(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    std::vector<Found> taken, already, foreign, outside;
    for (const FcEntry &entry : fc_entries()) {
        std::vector<revevidozi::Wwn> mine; // of this entry, taken now
        for (const auto &[name, role] : {std::pair{entry.port, "port"}, std::pair{entry.node, "node"}}) {
            if (!name) {
                continue;
            }
            if (const auto pools = pools_of(*name); pools != local.wwn) {
                (pools ? foreign : outside).push_back({*name, entry.name, role});
                continue;
            }
            const revevidozi::PoolOrigin origin = revevidozi::origin_of(*name);
            revevidozi::Pool &pool = pool_of(*pool_line(state, local, origin.page, true));
            if (pool.in_use(*name)) {
                already.push_back({*name, entry.name, role});
                continue;
            }
            state.hold(pool, {*name, std::nullopt, sysfs_owner(entry.name)});
            taken.push_back({*name, entry.name, role});
            mine.push_back(*name);
        }
        // An entry's port and node at one index of partner pools are a pair.
        if (mine.size() == 2 && are_partners(mine[0], mine[1])) {
            state.put_pair(mine[0], mine[1], sysfs_owner(entry.name));
        }
    }
    if (!taken.empty()) {
        std::vector<revevidozi::Wwn> names;
        names.reserve(taken.size());
        for (const auto &f : taken) {
            names.push_back(f.wwn);
        }
        out.changed("marked taken", names, "release", "--force");
        state.save();
    }
    if (args.json) {
        Json json{{"command", "scan"}};
        for (const auto &[key, list] : {std::pair{"taken", &taken},
                                        {"already_taken", &already},
                                        {"other_hosts", &foreign},
                                        {"outside", &outside}}) {
            json[key] = Json::array();
            for (const auto &f : *list) {
                Json item = address_json(state, f.wwn);
                if (list == &foreign) {
                    item["local"] = pools_of(f.wwn)->str();
                }
                item["entry"] = f.entry;
                item["role"] = f.role;
                json[key].push_back(item);
            }
        }
        emit(out, json);
        return kDone;
    }
    for (const auto &[label, list] : {std::pair{"taken", &taken},
                                      {"already taken", &already},
                                      {"another host's", &foreign},
                                      {"outside the pools", &outside}}) {
        for (const auto &f : *list) {
            out.text() << label << "  " << formatted(f.wwn, args.style) << "  " << shown(f.entry) << ' ' << f.role;
            if (list == &foreign) {
                out.text() << "  of the pools of " << pools_of(f.wwn)->str();
            }
            if (const AddressRecord *record = state.record(f.wwn); record && list != &taken && !record->owner.empty()) {
                out.text() << "  owner " << shown(record->owner);
            }
            out.text() << '\n';
        }
    }
    if (taken.empty() && already.empty() && foreign.empty() && outside.empty()) {
        out.text() << "no FC host or vport names found under " << shown((sysfs_root() / "class").string()) << '\n';
    }
    return kDone;
}

} // namespace wwnpool
