// take WWN... / release WWN... / release --owner TEXT / release --all --page P:
// chosen addresses, each in the pool its own bits name. All or nothing: if
// one address is refused, the state is left as it was. The two names of a
// pair are held together: releasing either frees both.
#include "commands.hpp"

#include "text.hpp"

#include <algorithm>

namespace wwnpool {
namespace {

revevidozi::Pool &pool_holding(StateFile &state, const revevidozi::Wwn &address, bool create) {
    const revevidozi::PoolOrigin origin = pool_origin(address);
    PoolLine *line = pool_line(state, origin.local, origin.page, create);
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

int take(const Args &args, Output &out) {
    const std::vector<revevidozi::Wwn> addresses = wwn_operands(args);
    for (const auto &address : addresses) {
        pool_origin(address);
    }
    StateFile state(state_location(args), Access::kChange);
    state.require_trustworthy();
    const auto users = names_in_use();
    for (const auto &address : addresses) {
        if (const auto user = users.find(address.value()); user != users.end()) {
            throw Failure(kRefused, address.str() + " is in use by " + shown(user->second) +
                                        " on this host; nothing was changed; 'wwnpool scan' records such names");
        }
        std::error_code ec;
        pool_holding(state, address, true).take(address, ec);
        refuse_on(ec, address);
        state.put_record({address, std::nullopt, args.owner.value_or("")});
    }
    out.changed("took", addresses, "release");
    state.save();
    print_changed(args, out, addresses);
    return kDone;
}

// Frees the addresses and their partners; all or nothing.
std::vector<revevidozi::Wwn> release_addresses(StateFile &state, const std::vector<revevidozi::Wwn> &addresses) {
    std::vector<revevidozi::Wwn> released = with_partners(state, addresses);
    for (const auto &address : released) {
        std::error_code ec;
        pool_holding(state, address, false).release(address, ec);
        refuse_on(ec, address);
        state.drop_record(address);
    }
    return released;
}

int release(const Args &args, Output &out) {
    std::vector<revevidozi::Wwn> addresses;
    if (!args.owner) {
        addresses = wwn_operands(args);
        for (const auto &address : addresses) {
            pool_origin(address);
        }
    } else if (!args.operands.empty()) {
        throw Failure(kBadUsage, "release --owner takes no WWN; it frees every address of that owner");
    }
    StateFile state(state_location(args), Access::kChange);
    state.require_trustworthy();
    if (args.owner) {
        for (const auto &record : state.records()) {
            if (record.owner == *args.owner) {
                addresses.push_back(record.address);
            }
        }
        if (addresses.empty()) {
            throw Failure(kRefused, "no address is held by '" + shown(*args.owner) +
                                        "'; 'wwnpool list --long' "
                                        "shows the owners");
        }
    }
    const std::vector<revevidozi::Wwn> released = release_addresses(state, addresses);
    out.changed("released", released, "take");
    state.save();
    print_changed(args, out, released);
    return kDone;
}

int release_all(const Args &args, Output &out) {
    if (!args.operands.empty() || args.owner) {
        throw Failure(kBadUsage, "release --all takes no WWN and no owner; name the pool with --page");
    }
    explicit_local(args);
    StateFile state(state_location(args), Access::kChange);
    state.require_trustworthy();
    const LocalIdentity local = host_identity(args, state);
    const revevidozi::Wwn base = revevidozi::pool_base(local.wwn, page_of(args));
    PoolLine *line = pool_line(state, local.wwn, page_of(args), false);
    std::vector<revevidozi::Wwn> released;
    if (line != nullptr) {
        released = release_addresses(state, pool_of(*line).allocated());
        if (!released.empty()) {
            out.changed("released", released, "take");
            state.save();
        }
    }
    if (args.json) {
        Json json{{"command", "release"}};
        describe_pool(json, base);
        json["released"] = released.size();
        emit(out, json);
    } else {
        out.text() << "released " << released.size() << " addresses of pool " << base.str() << '\n';
    }
    return kDone;
}

} // namespace

int cmd_take(const Args &args, Output &out) {
    return take(args, out);
}

int cmd_release(const Args &args, Output &out) {
    return args.all ? release_all(args, out) : release(args, out);
}

} // namespace wwnpool
