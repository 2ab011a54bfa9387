// status: one row per pool of the state file, damaged ones included.
// status WWN...: whether each address is in use.
#include "commands.hpp"

#include <algorithm>
#include <iomanip>

namespace wwnpool {
namespace {

int pools_status(const Args &args) {
    StateFile state(state_path(args), Access::kRead);
    Json json;
    json.begin_object().field("command", "status").field("state", state.path().string()).begin_array("pools");
    if (!args.json) {
        std::cout << std::left << std::setw(25) << "LOCAL" << std::setw(6) << "PAGE" << std::setw(25) << "BASE"
                  << std::setw(6) << "USED"
                  << "FREE\n";
    }
    for (auto &line : state.pools()) {
        std::optional<revevidozi::PoolOrigin> origin;
        if (line.base) {
            std::error_code ec;
            origin = revevidozi::origin_of(*line.base, ec);
        }
        const std::string local = origin ? origin->local.str() : "?";
        const std::string page = origin ? std::to_string(origin->page) : "?";
        const std::string base = line.base ? line.base->str() : "?";
        json.begin_object().field("line", std::uint64_t(line.line));
        if (line.base) {
            describe_pool(json, *line.base);
        }
        if (line.pool) {
            const revevidozi::Usage usage = line.pool->usage();
            json.field("used", std::uint64_t{usage.used}).field("free", std::uint64_t{usage.free}).field("ok", true);
            if (!args.json) {
                std::cout << std::setw(25) << local << std::setw(6) << page << std::setw(25) << base << std::setw(6)
                          << usage.used << usage.free << '\n';
            }
        } else {
            json.field("ok", false).field("problem", line.problem);
            if (!args.json) {
                std::cout << std::setw(25) << local << std::setw(6) << page << std::setw(25) << base << "line "
                          << line.line << ": " << line.problem << '\n';
            }
        }
        json.end_object();
    }
    if (args.json) {
        emit(json.end_array().end_object());
    }
    // The rest is still shown; the damage is in its rows and summed up here.
    const auto bad =
        std::count_if(state.pools().begin(), state.pools().end(), [](const PoolLine &l) { return !l.pool; });
    if (bad != 0) {
        std::cerr << "wwnpool: " << bad << " line(s) of " << state.path().string()
                  << " cannot be trusted; changes are refused until 'wwnpool init --page P --force' resets that pool "
                     "or the line is repaired by hand\n";
        return kBadState;
    }
    return kDone;
}

int addresses_status(const Args &args) {
    std::vector<revevidozi::Wwn> addresses;
    for (const auto &text : args.operands) {
        addresses.push_back(parse_wwn(text));
    }
    StateFile state(state_path(args), Access::kRead);
    Json json;
    json.begin_object().field("command", "status").begin_array("addresses");
    int exit = kDone;
    for (const auto &address : addresses) {
        const revevidozi::PoolOrigin origin = pool_origin(address);
        PoolLine *line = state.find(revevidozi::pool_base(origin.local, origin.page));
        std::string answer = "free";
        if (line != nullptr && !line->pool) {
            answer = "unknown (line " + std::to_string(line->line) + ": " + line->problem + ")";
            exit = kBadState;
        } else if (line != nullptr && line->pool->in_use(address)) {
            answer = "in use";
        }
        json.begin_object().field("wwn", address.str()).field("state", answer).end_object();
        if (!args.json) {
            std::cout << address.str() << ' ' << answer << '\n';
        }
    }
    if (args.json) {
        emit(json.end_array().end_object());
    }
    return exit;
}

} // namespace

int cmd_status(const Args &args) {
    return args.operands.empty() ? pools_status(args) : addresses_status(args);
}

} // namespace wwnpool
