// take WWN... / release WWN... / release --all --page P: chosen addresses,
// each in the pool its own bits name. All or nothing: if one address is
// refused, the state is left as it was.
#include "commands.hpp"
#include "local_wwn.hpp"

namespace wwnpool {
namespace {

enum class Change { kTake, kRelease };

int change_addresses(const Args &args, Change change) {
    const char *name = change == Change::kTake ? "take" : "release";
    if (args.operands.empty()) {
        throw Failure(kBadUsage, std::string(name) + " needs at least one WWN; see 'wwnpool " + name + " --help'");
    }
    std::vector<revevidozi::Wwn> addresses;
    for (const auto &text : args.operands) {
        addresses.push_back(parse_wwn(text));
    }
    StateFile state(state_path(args), Access::kChange);
    state.require_trustworthy();
    for (const auto &address : addresses) {
        const revevidozi::PoolOrigin origin = pool_origin(address);
        PoolLine *line = pool_line(state, origin.local, origin.page, change == Change::kTake);
        std::error_code ec;
        if (line == nullptr) {
            throw Failure(kRefused, address.str() + " is already free (its pool has no addresses allocated)");
        }
        revevidozi::Pool &pool = pool_of(*line);
        if (change == Change::kTake) {
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
    state.save();
    if (args.json) {
        Json json;
        json.begin_object().field("command", name).begin_array("addresses");
        for (const auto &a : addresses) {
            json.value(a.str());
        }
        emit(json.end_array().end_object());
    } else {
        for (const auto &a : addresses) {
            std::cout << (change == Change::kTake ? "taken " : "released ") << a.str() << '\n';
        }
    }
    return kDone;
}

int release_all(const Args &args) {
    if (!args.operands.empty()) {
        throw Failure(kBadUsage, "release --all takes no WWN; name the pool with --page");
    }
    const revevidozi::Wwn local = resolve_local_wwn(args);
    StateFile state(state_path(args), Access::kChange);
    state.require_trustworthy();
    PoolLine *line = pool_line(state, local, page_of(args), false);
    std::uint32_t released = 0;
    if (line != nullptr) {
        revevidozi::Pool &pool = pool_of(*line);
        released = pool.usage().used;
        pool.release_all();
        state.save();
    }
    const revevidozi::Wwn base = revevidozi::pool_base(local, page_of(args));
    if (args.json) {
        Json json;
        json.begin_object().field("command", "release");
        describe_pool(json, base);
        emit(json.field("released", std::uint64_t{released}).end_object());
    } else {
        std::cout << "released " << released << " addresses of pool " << base.str() << '\n';
    }
    return kDone;
}

} // namespace

int cmd_take(const Args &args) {
    return change_addresses(args, Change::kTake);
}

int cmd_release(const Args &args) {
    return args.all ? release_all(args) : change_addresses(args, Change::kRelease);
}

} // namespace wwnpool
