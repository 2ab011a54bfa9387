// take WWN... / release WWN... / release --all --page P: chosen addresses,
// each in the pool its own bits name. All or nothing: if one address is
// refused, the state is left as it was.
#include "commands.hpp"

namespace wwnpool {
namespace {

enum class Change { kTake, kRelease };

int change_addresses(const Args &args, Output &out, Change change) {
    const bool take = change == Change::kTake;
    const std::vector<revevidozi::Wwn> addresses = wwn_operands(args);
    for (const auto &address : addresses) {
        pool_origin(address);
    }
    StateFile state(state_location(args), Access::kChange);
    state.require_trustworthy();
    for (const auto &address : addresses) {
        const revevidozi::PoolOrigin origin = pool_origin(address);
        PoolLine *line = pool_line(state, origin.local, origin.page, take);
        if (line == nullptr) {
            throw Failure(kRefused, address.str() + " is already free (its pool has no addresses allocated)");
        }
        revevidozi::Pool &pool = pool_of(*line);
        std::error_code ec;
        if (take) {
            pool.take(address, ec);
        } else {
            pool.release(address, ec);
        }
        if (ec == revevidozi::errc::address_in_use || ec == revevidozi::errc::address_free) {
            throw Failure(kRefused,
                          address.str() + " is " +
                              (ec == revevidozi::errc::address_in_use ? "already allocated" : "already free") +
                              "; nothing was changed");
        }
        if (ec) {
            throw Failure(kBadUsage, address.str() + ": " + ec.message());
        }
    }
    out.changed(take ? "took" : "released", addresses, take ? "release" : "take");
    state.save();
    if (args.json) {
        Json json{{"command", args.command}, {"addresses", Json::array()}};
        for (const auto &a : addresses) {
            json["addresses"].push_back(a.str());
        }
        emit(out, json);
    } else {
        for (const auto &a : addresses) {
            out.text() << (take ? "taken " : "released ") << a.str() << '\n';
        }
    }
    return kDone;
}

int release_all(const Args &args, Output &out) {
    if (!args.operands.empty()) {
        throw Failure(kBadUsage, "release --all takes no WWN; name the pool with --page");
    }
    explicit_local(args);
    StateFile state(state_location(args), Access::kChange);
    state.require_trustworthy();
    const LocalIdentity local = host_identity(args, state);
    PoolLine *line = pool_line(state, local.wwn, page_of(args), false);
    std::vector<revevidozi::Wwn> released;
    if (line != nullptr) {
        revevidozi::Pool &pool = pool_of(*line);
        released = pool.allocated();
        if (!released.empty()) {
            pool.release_all();
            out.changed("released", released, "take");
            state.save();
        }
    }
    const revevidozi::Wwn base = revevidozi::pool_base(local.wwn, page_of(args));
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
    return change_addresses(args, out, Change::kTake);
}

int cmd_release(const Args &args, Output &out) {
    return args.all ? release_all(args, out) : change_addresses(args, out, Change::kRelease);
}

} // namespace wwnpool
