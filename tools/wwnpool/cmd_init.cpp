// init [--page P] [--force]: create a pool; with --force, reset one (every
// address free), damaged or duplicated or not.
#include "commands.hpp"

namespace wwnpool {

int cmd_init(Context &ctx) {
    const Args &args = ctx.args;
    const std::uint32_t page = page_of(args);
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const revevidozi::Wwn base = revevidozi::pool_base(local.wwn, page);
    const bool exists = state.find(base) != nullptr;
    state.require_trustworthy(args.force ? std::optional(base) : std::nullopt);
    if (exists && !args.force) {
        throw Failure(kRefused, "the pool of page " + std::to_string(page) + " of " + local.wwn.str() +
                                    " already exists; add --force to reset it (all its addresses become free)");
    }
    std::filesystem::path kept;
    if (exists) {
        kept = state.keep_damaged(base);
        state.reset(revevidozi::Pool::create(local.wwn, page));
    } else {
        pool_line(state, local, page, true);
    }
    ctx.out.changed((exists ? "reset pool " : "created pool ") + base.str() +
                    (kept.empty() ? "" : " (its damaged lines are kept in " + shown(kept.string()) + ")"));
    state.save();
    if (args.json) {
        Json json{{"command", "init"}};
        describe_pool(json, base);
        json["reset"] = exists;
        json["kept"] = kept.empty() ? Json() : Json(kept.string());
        emit(ctx.out, json);
    } else {
        ctx.out.text() << (exists ? "reset" : "created") << " pool " << base.str() << " (page " << page << " of "
                       << local.wwn.str() << ")";
        if (!kept.empty()) {
            ctx.out.text() << "; its damaged lines are kept in " << shown(kept.string());
        }
        ctx.out.text() << '\n';
    }
    return kDone;
}

} // namespace wwnpool
