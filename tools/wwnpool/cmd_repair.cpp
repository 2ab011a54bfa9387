// repair: gets past the damage a repair can mend without freeing a name:
// records that fail their checks, copies of a pool, a missing or wrong
// closing line. A pool line that cannot be read is left for init --force.
#include "commands.hpp"

namespace wwnpool {

int cmd_repair(Context &ctx) {
    StateFile &state = ctx.state();
    const Repair done = state.repair();
    const bool changed = done.dropped + done.unlinked + done.rested + done.merged > 0 || done.resealed;

    std::vector<std::string> parts;
    const auto count = [&](int n, const std::string &what) {
        if (n != 0) {
            parts.push_back(std::to_string(n) + " " + what);
        }
    };
    count(done.dropped, "record(s) dropped");
    count(done.unlinked, "record(s) kept without a partner that failed, owner and all");
    count(done.rested, "free address(es) resting afresh, their rest records damaged");
    count(done.merged, "pool(s) kept twice merged");
    if (done.resealed) {
        parts.emplace_back("the file sealed anew: its closing line was missing or wrong, so lines at its end may "
                           "have been lost; compare 'wwnpool list --long' with the names in use");
    }
    std::string summary;
    for (const auto &part : parts) {
        summary += (summary.empty() ? "" : "; ") + part;
    }
    if (changed) {
        ctx.out.changed("repaired " + shown(state.path().string()));
        state.save();
    }
    const std::string kept =
        done.kept.empty() ? "" : "; the lines as they were are kept in " + shown(done.kept.string());
    // What only a reset (or a hand) can mend is said, with the command that does it.
    if (const std::vector<StateFile::Untrusted> left = state.untrusted(); !left.empty()) {
        throw UntrustedLine((changed ? "repaired: " + summary + kept + "; but " : "nothing a repair can mend: ") +
                                "line " + std::to_string(left.front().line) + " of " + shown(state.path().string()) +
                                " is beyond a repair (" + left.front().problem + ")",
                            left.front().remedy, left.front().base);
    }
    if (ctx.args.json) {
        emit(ctx.out, Json{{"command", "repair"},
                           {"changed", changed},
                           {"dropped", done.dropped},
                           {"unlinked", done.unlinked},
                           {"rested", done.rested},
                           {"merged", done.merged},
                           {"resealed", done.resealed},
                           {"kept", done.kept.empty() ? Json() : Json(done.kept.string())}});
    } else {
        ctx.out.text() << (changed ? "repaired: " + summary + kept : "nothing to repair") << '\n';
    }
    return kDone;
}

} // namespace wwnpool
