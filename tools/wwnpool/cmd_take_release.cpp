// take WWN... / release WWN... / release --owner TEXT / release --all --page P:
// chosen addresses of this host's pools. All or nothing: if one address is
// refused, the state is left as it was. The two names of a pair are held
// together: releasing either frees both. A released address rests before
// alloc hands it out again, and an address with an owner is released only by
// naming that owner (or with --force), so one slip cannot put a name that a
// machine still uses into the hands of another.
#include "commands.hpp"

#include "pool_address.hpp"

#include <algorithm>
#include <ctime>
#include <iostream>
#include <map>

namespace wwnpool {
namespace {

revevidozi::Pool &pool_holding(StateFile &state, const LocalIdentity &local, const revevidozi::Wwn &address,
                               bool create) {
    PoolLine *line = pool_line(state, local, pool_origin(address).page, create);
    if (line == nullptr) {
        throw Failure(kRefused, address.str() + " is already free (its pool has no addresses allocated)");
    }
    return pool_of(*line);
}

void refuse_on(const std::error_code &ec, const revevidozi::Wwn &address) {
    if (ec == revevidozi::errc::address_in_use || ec == revevidozi::errc::address_free) {
        throw Failure(kRefused, address.str() + " is " +
                                    (ec == revevidozi::errc::address_in_use ? "already allocated" : "already free") +
                                    "; nothing was changed");
    }
    if (ec) {
        throw Failure(kBadUsage, address.str() + ": " + ec.message());
    }
}

// The addresses with their partners added after each, once.
std::vector<revevidozi::Wwn> with_partners(const StateFile &state, const std::vector<revevidozi::Wwn> &addresses) {
    std::vector<revevidozi::Wwn> out;
    for (const auto &address : addresses) {
        const AddressRecord *record = state.record(address);
        for (const auto &a : {std::optional(address), record ? record->partner : std::nullopt}) {
            if (a && std::find(out.begin(), out.end(), *a) == out.end()) {
                out.push_back(*a);
            }
        }
    }
    return out;
}

void print_changed(const Args &args, Output &out, const std::vector<revevidozi::Wwn> &addresses) {
    if (args.json) {
        Json json{{"command", args.command}, {"owner", owner_json(args)}, {"addresses", Json::array()}};
        for (const auto &a : addresses) {
            json["addresses"].push_back(a.str());
        }
        emit(out, json);
        return;
    }
    for (const auto &a : addresses) {
        out.text() << (args.command == "take" ? "taken " : "released ") << formatted(a, args.style) << '\n';
    }
}

// The commands that take `released` back as they were, owners and pairs
// and all; read before the release forgets them.
std::vector<std::string> take_back(const StateFile &state, const std::vector<revevidozi::Wwn> &released) {
    std::map<std::pair<std::string, bool>, std::string> groups; // (owner, pair) -> addresses
    for (const auto &address : released) {
        const AddressRecord *record = state.record(address);
        const bool pair = record != nullptr && record->partner.has_value();
        if (pair && std::string_view(state.role(address)) == "node") {
            continue; // named by its port
        }
        std::string &list = groups[{record != nullptr ? record->owner : "", pair}];
        list += " " + address.str();
    }
    std::vector<std::string> commands;
    commands.reserve(groups.size());
    for (const auto &[key, list] : groups) {
        commands.push_back(std::string("take") + (key.second ? " --pair" : "") +
                           (key.first.empty() ? "" : " --owner " + shell_quoted(key.first)) + list);
    }
    return commands;
}

// The addresses, and with --pair each one's partner after it, as a pair.
std::vector<revevidozi::Wwn> to_take(const Args &args) {
    std::vector<revevidozi::Wwn> given = wwn_operands(args);
    if (!args.pair) {
        return given;
    }
    std::vector<revevidozi::Wwn> both;
    for (const auto &address : given) {
        const revevidozi::Wwn partner = partner_of(address);
        if (std::find(given.begin(), given.end(), partner) != given.end()) {
            throw Failure(kBadUsage,
                          address.str() + " and " + partner.str() + " are one pair; with --pair, give one of them");
        }
        both.insert(both.end(), {address, partner});
    }
    return both;
}

int take(Context &ctx) {
    const Args &args = ctx.args;
    const std::vector<revevidozi::Wwn> addresses = to_take(args);
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const auto users = ctx.names_in_use();
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const revevidozi::Wwn &address = addresses[i];
        require_own(address, local);
        if (const auto user = users.find(address.value()); user != users.end()) {
            if (is_registry_mark(user->second)) {
                throw Failure(kRefused, address.str() + " is held by another host in the registry (" +
                                            shown(user->second) + "); nothing was changed; 'wwnpool who " +
                                            address.str() + "' shows the claim");
            }
            throw Failure(kRefused, address.str() + " is in use by " + shown(user->second) +
                                        " on this host; nothing was changed; 'wwnpool scan' records such names");
        }
        std::error_code ec;
        pool_holding(state, local, address, true).take(address, ec);
        refuse_on(ec, address);
        if (const auto since = state.resting_since(address)) {
            std::cerr << "wwnpool: note: " << address.str() << " was released at " << utc_time(*since)
                      << " and is resting; it is taken all the same\n";
            state.drop_rest(address);
        }
        // With --pair, each operand is a port and the name after it its node.
        state.put_record({address, args.pair ? std::optional(partner_of(address)) : std::nullopt,
                          args.owner.value_or(""), args.pair && i % 2 == 1});
    }
    ctx.out.changed("took", addresses, "release", owner_option(args));
    state.save();
    print_changed(args, ctx.out, addresses);
    return kDone;
}

// Frees the addresses and their partners, all or nothing; each starts to rest.
std::vector<revevidozi::Wwn> release_addresses(StateFile &state, const LocalIdentity &local,
                                               const std::vector<revevidozi::Wwn> &addresses) {
    std::vector<revevidozi::Wwn> released = with_partners(state, addresses);
    const std::int64_t now = std::time(nullptr);
    for (const auto &address : released) {
        std::error_code ec;
        pool_holding(state, local, address, false).release(address, ec);
        refuse_on(ec, address);
        state.drop_record(address);
        state.put_rest({address, now});
    }
    return released;
}

// An owned address is released only by naming its owner, or with --force.
void require_owner_named(const Args &args, const StateFile &state, const std::vector<revevidozi::Wwn> &addresses) {
    for (const auto &address : with_partners(state, addresses)) {
        const AddressRecord *record = state.record(address);
        if (args.force || record == nullptr || record->owner.empty() || args.owner == record->owner) {
            continue;
        }
        throw Failure(kRefused, address.str() + " is held by '" + shown(record->owner) +
                                    "'; nothing was changed; add --owner " + shell_quoted(shown(record->owner)) +
                                    " if it is theirs to give back (or --force)");
    }
}

int release(Context &ctx) {
    const Args &args = ctx.args;
    if (args.page) {
        throw Failure(kBadUsage, "--page names a pool for 'release --all'; a WWN names its own pool, and an owner's "
                                 "names are released from every pool");
    }
    const std::vector<revevidozi::Wwn> addresses = operands_or_owned(ctx);
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    for (const auto &address : addresses) {
        require_own(address, local);
    }
    require_not_live(with_partners(state, addresses));
    require_owner_named(args, state, addresses);
    const std::vector<std::string> undo = take_back(state, with_partners(state, addresses));
    const std::vector<revevidozi::Wwn> released = release_addresses(state, local, addresses);
    ctx.out.changed("released", released, undo);
    state.save();
    print_changed(args, ctx.out, released);
    return kDone;
}

// "3 of vm42, 1 without owner", counted before the release forgets them.
std::string whose(const StateFile &state, const std::vector<revevidozi::Wwn> &addresses) {
    std::map<std::string, int> counts;
    for (const auto &a : addresses) {
        const AddressRecord *record = state.record(a);
        ++counts[record ? record->owner : ""];
    }
    std::string text;
    for (const auto &[owner, n] : counts) {
        text += (text.empty() ? "" : ", ") + std::to_string(n) +
                (owner.empty() ? " without owner" : " of '" + shown(owner) + "'");
    }
    return text;
}

int release_all(Context &ctx) {
    const Args &args = ctx.args;
    if (!args.operands.empty() || args.owner) {
        throw Failure(kBadUsage, "release --all takes no WWN and no owner; name the pool with --page");
    }
    if (!args.page) {
        throw Failure(kBadUsage, "release --all frees a whole pool; name it with --page P");
    }
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const revevidozi::Wwn base = revevidozi::pool_base(local.wwn, *args.page);
    PoolLine *line = pool_line(state, local, *args.page, false);
    if (line == nullptr) {
        throw Failure(kRefused, "there is no pool " + base.str() + " (page " + std::to_string(*args.page) + " of " +
                                    local.wwn.str() + ") in " + shown(state.path().string()) + "; nothing to release");
    }
    const std::vector<revevidozi::Wwn> allocated = pool_of(*line).allocated();
    const std::vector<revevidozi::Wwn> affected = with_partners(state, allocated);
    const auto owned = std::find_if(affected.begin(), affected.end(), [&](const revevidozi::Wwn &a) {
        const AddressRecord *record = state.record(a);
        return record != nullptr && !record->owner.empty();
    });
    require_not_live(affected);
    if (owned != affected.end() && !args.force) {
        throw Failure(kRefused, "pool " + base.str() + " holds addresses with owners (" + whose(state, affected) +
                                    "); nothing was changed; release them by owner, or add --force");
    }
    const std::string counts = whose(state, affected);
    const std::vector<std::string> undo = take_back(state, affected);
    const std::vector<revevidozi::Wwn> released = release_addresses(state, local, allocated);
    if (!released.empty()) {
        ctx.out.changed("released", released, undo);
        state.save();
    }
    if (args.json) {
        Json json{{"command", "release"}};
        describe_pool(json, base);
        json["released"] = released.size();
        json["addresses"] = Json::array();
        for (const auto &a : released) {
            json["addresses"].push_back(a.str());
        }
        emit(ctx.out, json);
    } else {
        // Partners of other pools go too: each pool's share is named.
        std::map<std::uint64_t, int> per_pool;
        for (const auto &a : released) {
            ++per_pool[pool_base_of(a).value_or(a).value()];
        }
        std::string where;
        for (const auto &[pool, n] : per_pool) {
            where += (where.empty() ? ": " : ", ") + std::to_string(n) + " of pool " + revevidozi::Wwn(pool).str();
        }
        ctx.out.text() << "released " << released.size() << " addresses"
                       << (per_pool.size() > 1 ? where : " of pool " + base.str())
                       << (released.empty() ? "" : " (" + counts + ")") << '\n';
    }
    return kDone;
}

} // namespace

int cmd_take(Context &ctx) {
    return take(ctx);
}

int cmd_release(Context &ctx) {
    return ctx.args.all ? release_all(ctx) : release(ctx);
}

} // namespace wwnpool
