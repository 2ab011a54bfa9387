#include "pool_access.hpp"

#include "host_sysfs.hpp"
#include "pool_address.hpp"
#include "text.hpp"

namespace wwnpool {

PoolLine *pool_line(StateFile &state, const LocalIdentity &identity, std::uint32_t page, bool create) {
    const revevidozi::Wwn base = revevidozi::pool_base(identity.wwn, page);
    if (PoolLine *line = state.find(base)) {
        return line;
    }
    if (!create) {
        return nullptr;
    }
    if (identity.source == LocalIdentity::Source::kInterface && !state.location().host_default) {
        throw Failure(kBadUsage,
                      "the names of this host's own identity " + identity.wwn.str() + " (" + source_text(identity) +
                          ") have one ledger, the host's state " + kHostState + ", and " +
                          shown(state.path().string()) +
                          " is another; use the host's state (leave out --state), or give a private or test state "
                          "a made-up local WWN of its own with --local or WWNPOOL_LOCAL (say 10:00:02:00:00:00:00:01)");
    }
    for (const auto &line : state.pools()) {
        if (line.base && revevidozi::origin_of(*line.base).local != identity.wwn) {
            throw Failure(kBadUsage, shown(state.path().string()) + " holds the pools of the host " +
                                         revevidozi::origin_of(*line.base).local.str() +
                                         ", and a file holds one host's pools; keep the pools of " +
                                         identity.wwn.str() + " in a state file of their own (--state PATH)");
        }
    }
    notice_new_pool(identity);
    return &state.add(revevidozi::Pool::create(identity.wwn, page));
}

void require_own(const revevidozi::Wwn &address, const LocalIdentity &local) {
    const revevidozi::Wwn owner = pool_origin(address).local;
    if (owner != local.wwn) {
        throw Failure(kBadUsage, address.str() + " is a name of the host " + owner.str() + ", not of this host " +
                                     local.wwn.str() + " (" + source_text(local) +
                                     "); check the address ('wwnpool decode " + address.str() +
                                     "' tells where it comes from); another host's pools live in a state file of "
                                     "their own (--state PATH)");
    }
}

revevidozi::Pool &pool_of(PoolLine &line) {
    if (!line.pool) {
        throw Failure(kBadState, "line " + std::to_string(line.line) + ": " + line.problem);
    }
    return *line.pool;
}

std::map<std::uint64_t, std::string> carriers() {
    std::map<std::uint64_t, std::string> found;
    for (const FcEntry &entry : fc_entries()) {
        for (const auto &name : {entry.port, entry.node}) {
            if (!name) {
                continue;
            }
            const auto [at, added] = found.emplace(name->value(), entry.name);
            if (!added && entry.name.starts_with("vport-")) {
                at->second = entry.name;
            }
        }
    }
    return found;
}

std::map<std::uint64_t, std::string> names_in_use() {
    std::map<std::uint64_t, std::string> users;
    for (const auto &[name, entry] : carriers()) {
        users.emplace(name, sysfs_owner(entry));
    }
    return users;
}

void require_not_live(const std::vector<revevidozi::Wwn> &addresses) {
    const auto live = carriers();
    for (const auto &address : addresses) {
        const auto at = live.find(address.value());
        if (at == live.end()) {
            continue;
        }
        const std::string entry = shown(at->second);
        const bool vport = at->second.starts_with("vport-");
        std::string message = address.str() + " is carried by " + (vport ? "" : "FC host ");
        message += entry + " now; nothing was changed; ";
        message += vport ? "'wwnpool vport delete " + entry + "' removes the vport and releases its names"
                         : "a name stays allocated while it is live";
        throw Failure(kRefused, message);
    }
}

void claim_names_in_use(StateFile &state, revevidozi::Pool &pool, const std::map<std::uint64_t, std::string> &users) {
    for (const auto &[value, owner] : users) {
        const revevidozi::Wwn name(value);
        std::error_code ec;
        if (!pool.in_use(name, ec) && !ec) {
            state.hold(pool, {name, std::nullopt, owner});
        }
    }
}

} // namespace wwnpool
