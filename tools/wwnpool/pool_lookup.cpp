#include "commands.hpp"

namespace wwnpool {

PoolLine *pool_line(StateFile &state, const revevidozi::Wwn &local, std::uint32_t page, bool create) {
    const revevidozi::Wwn base = revevidozi::pool_base(local, page);
    if (PoolLine *line = state.find(base)) {
        return line;
    }
    return create ? &state.add(revevidozi::Pool::create(local, page)) : nullptr;
}

revevidozi::Pool &pool_of(PoolLine &line) {
    if (!line.pool) {
        throw Failure(kBadState, "line " + std::to_string(line.line) + ": " + line.problem);
    }
    return *line.pool;
}

revevidozi::PoolOrigin pool_origin(const revevidozi::Wwn &address) {
    std::error_code ec;
    if (auto origin = revevidozi::origin_of(address, ec)) {
        return *origin;
    }
    throw Failure(kBadUsage, address.str() + " is not a pool address (NAA " + std::to_string(address.naa()) +
                                 "); pool addresses begin with 2 or 5");
}

void print_addresses(const Args &args, const char *command, const revevidozi::Wwn &base,
                     const std::vector<revevidozi::Wwn> &addresses) {
    if (!args.json) {
        for (const auto &a : addresses) {
            std::cout << a.str() << '\n';
        }
        return;
    }
    Json json;
    json.begin_object().field("command", command);
    describe_pool(json, base);
    json.begin_array("addresses");
    for (const auto &a : addresses) {
        json.value(a.str());
    }
    emit(json.end_array().end_object());
}

void describe_pool(Json &json, const revevidozi::Wwn &base) {
    std::error_code ec;
    const auto origin = revevidozi::origin_of(base, ec);
    if (origin) {
        json.field("local", origin->local.str()).field("page", std::uint64_t{origin->page});
    }
    json.field("base", base.str());
}

} // namespace wwnpool
