#include "pool_access.hpp"

#include "host_sysfs.hpp"
#include "pool_address.hpp"

namespace wwnpool {

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

std::map<std::uint64_t, std::string> names_in_use() {
    std::map<std::uint64_t, std::string> users;
    for (const FcEntry &entry : fc_entries()) {
        for (const auto &name : {entry.port, entry.node}) {
            if (name) {
                users.emplace(name->value(), sysfs_owner(entry.name));
            }
        }
    }
    return users;
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
