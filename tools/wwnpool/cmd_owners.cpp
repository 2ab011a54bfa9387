// owners: every owner and the names it holds in every pool, a pair on one
// line (port, then node). relabel --owner OLD --to NEW [WWN...] /
// relabel WWN... --to NEW: hands what an owner holds to another (a VM that
// moved to hostB becomes "db2@hostB"), pairs kept; the names stay allocated
// here, where their pool is, until they are released here.
#include "commands.hpp"

#include <algorithm>
#include <iostream>
#include <map>

namespace wwnpool {
namespace {

using revevidozi::Wwn;

// The records of `addresses` and their partners, each once, in address order.
std::vector<AddressRecord> with_partners(const StateFile &state, const std::vector<Wwn> &addresses) {
    std::map<std::uint64_t, AddressRecord> found;
    for (const Wwn &a : addresses) {
        const AddressRecord *record = state.record(a);
        if (record == nullptr) {
            found.emplace(a.value(), AddressRecord{a, std::nullopt, ""});
            continue;
        }
        found.emplace(a.value(), *record);
        if (const AddressRecord *other = record->partner ? state.record(*record->partner) : nullptr) {
            found.emplace(other->address.value(), *other);
        }
    }
    std::vector<AddressRecord> out;
    out.reserve(found.size());
    for (auto &[value, record] : found) {
        out.push_back(std::move(record));
    }
    return out;
}

} // namespace

int cmd_owners(Context &ctx) {
    const Args &args = ctx.args;
    StateFile &state = ctx.state();
    state.require_trustworthy(); // owners hold names in every pool
    std::map<std::string, std::vector<Wwn>> owners;
    for (const AddressRecord &record : state.records()) {
        if (!record.owner.empty()) {
            owners[record.owner].push_back(record.address);
        }
    }
    if (args.json) {
        Json json{{"command", "owners"}, {"owners", Json::array()}};
        for (const auto &[owner, names] : owners) {
            Json item{{"owner", owner}, {"names", Json::array()}};
            for (const Wwn &a : names) {
                item["names"].push_back(address_json(state, a));
            }
            json["owners"].push_back(item);
        }
        emit(ctx.out, json);
        return kDone;
    }
    std::vector<std::pair<std::string, std::string>> rows; // owner, names
    std::size_t width = 0;
    for (const auto &[owner, names] : owners) {
        for (const Wwn &a : names) {
            const char *role = state.role(a);
            if (role == nullptr || std::string_view(role) == "port") {
                rows.emplace_back(shown(owner),
                                  role == nullptr ? formatted(a, args.style) : pair_text(state, a, args.style));
                width = std::max(width, rows.back().first.size());
            }
        }
    }
    for (const auto &[owner, names] : rows) {
        ctx.out.text() << owner << std::string(width - owner.size() + 2, ' ') << names << '\n';
    }
    return kDone;
}

int cmd_relabel(Context &ctx) {
    const Args &args = ctx.args;
    if (!args.to) {
        throw Failure(kBadUsage, "relabel needs --to, the new owner");
    }
    const std::vector<Wwn> addresses = operands_or_owned(ctx);
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    for (const Wwn &a : addresses) {
        require_own(a, local);
    }
    const std::vector<AddressRecord> records = with_partners(state, addresses);
    std::vector<Wwn> changed;
    for (const AddressRecord &record : records) {
        PoolLine *line = pool_line(state, local, revevidozi::origin_of(record.address).page, false);
        if (line == nullptr || !pool_of(*line).in_use(record.address)) {
            throw Failure(kRefused, record.address.str() + " is not allocated; nothing was changed");
        }
        if (!record.owner.empty() && args.owner != record.owner && !args.force) {
            throw Failure(kRefused, record.address.str() + " is held by '" + shown(record.owner) +
                                        "'; nothing was changed; add --owner " + shell_quoted(shown(record.owner)) +
                                        " if it is theirs to hand over (or --force)");
        }
        changed.push_back(record.address);
    }
    for (AddressRecord record : records) {
        record.owner = *args.to;
        state.put_record(record);
    }
    std::optional<std::string> moved_to;
    if (args.host) {
        Registry *fleet = ctx.registry();
        if (fleet == nullptr) {
            throw Failure(kBadUsage, "--host moves the names' claims in the fleet's registry, and none is "
                                     "configured; give --registry CONNINFO");
        }
        const Host to = fleet->host_named(*args.host);
        ctx.move_claims(changed, to.local);
        moved_to = to.hostname;
    }
    // One owner before: the same command the other way round undoes it.
    const std::string from = records.front().owner;
    if (!from.empty() && std::ranges::all_of(records, [&](const AddressRecord &r) { return r.owner == from; })) {
        ctx.out.changed("relabelled", changed, "relabel",
                        "--owner " + shell_quoted(shown(*args.to)) + " --to " + shell_quoted(shown(from)));
    } else {
        ctx.out.changed("relabelled " + std::to_string(changed.size()) + " addresses to '" + shown(*args.to) + "'");
    }
    state.save();
    if (moved_to) {
        std::cerr << "wwnpool: note: the registry holds these names on host '" << shown(*moved_to)
                  << "' now; this host does not hand them out while that claim stands\n";
    }
    if (args.json) {
        Json json{{"command", "relabel"}, {"owner", *args.to}, {"addresses", Json::array()}};
        for (const Wwn &a : changed) {
            json["addresses"].push_back(a.str());
        }
        emit(ctx.out, json);
        return kDone;
    }
    for (const Wwn &a : changed) {
        ctx.out.text() << "relabelled " << formatted(a, args.style) << " to " << shown(*args.to) << '\n';
    }
    return kDone;
}

} // namespace wwnpool
