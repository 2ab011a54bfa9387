// init [--page P] [--force]: create a pool; with --force, reset one (every
// address free), damaged or not.
#include "commands.hpp"
#include "local_wwn.hpp"

namespace wwnpool {

int cmd_init(const Args &args) {
    const revevidozi::Wwn local = resolve_local_wwn(args);
    const std::uint32_t page = page_of(args);
    StateFile state(state_path(args), Access::kChange);
    PoolLine *line = state.find(revevidozi::pool_base(local, page));
    state.require_trustworthy(args.force ? line : nullptr);
    if (line != nullptr && !args.force) {
        throw Failure(kRefused, "the pool of page " + std::to_string(page) + " of " + local.str() +
                                    " already exists; add --force to reset it (all its addresses become free)");
    }
    const bool reset = line != nullptr;
    if (reset) {
        line->pool = revevidozi::Pool::create(local, page);
        line->problem.clear();
    } else {
        line = &state.add(revevidozi::Pool::create(local, page));
    }
    const revevidozi::Wwn base = line->pool->base();
    state.save();
    if (args.json) {
        Json json;
        json.begin_object().field("command", "init");
        describe_pool(json, base);
        emit(json.field("reset", reset).end_object());
    } else {
        std::cout << (reset ? "reset" : "created") << " pool " << base.str() << " (page " << page << " of "
                  << local.str() << ")\n";
    }
    return kDone;
}

} // namespace wwnpool
