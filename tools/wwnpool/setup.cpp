#include "setup.hpp"

#include "rest_period.hpp"
#include "text.hpp"

#include <cstdlib>

namespace wwnpool {
namespace {

// A variable set to nothing counts as not set.
const char *environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

StateLocation state_location(const Args &args) {
    if (args.state_path) {
        return {*args.state_path, false};
    }
    if (const char *env = environment("WWNPOOL_STATE")) {
        return {env, false};
    }
    return {kHostState, true};
}

// How to get past a line that cannot be trusted: the command that does it,
// quoted to paste.
std::string advice(const UntrustedLine &refusal, const StateLocation &location) {
    const std::string state = location.host_default ? "" : " --state " + shell_quoted(location.path.string());
    switch (refusal.remedy) {
    case Remedy::kByHand:
        return "; it cannot tell which pool it held, so repair or remove that line by hand";
    case Remedy::kRepair:
        return "; 'wwnpool" + state +
               " repair' drops the records that fail their checks and keeps every pool (and the dropped lines, "
               "in a file beside the state)";
    case Remedy::kReset:
        break;
    }
    const revevidozi::PoolOrigin origin = revevidozi::origin_of(*refusal.base);
    return "; to give up its addresses, reset that pool with 'wwnpool" + state + " --local " + origin.local.str() +
           " init --page " + std::to_string(origin.page) + " --force' (all its addresses become free)";
}

} // namespace

Context::Context(const Args &arguments, Output &output, unsigned needs)
    : args(arguments), out(output), needs_(needs), location_(state_location(arguments)) {
    if ((needs & kLocalWwn) != 0) {
        if (args.local) {
            given_ = given_local(*args.local, LocalIdentity::Source::kOption, "--local");
        } else if (const char *env = environment("WWNPOOL_LOCAL")) {
            given_ = given_local(env, LocalIdentity::Source::kEnvironment, "WWNPOOL_LOCAL");
        }
    }
    if ((needs & kRestPeriod) != 0) {
        const char *env = environment("WWNPOOL_REST");
        rest_ = parse_rest_period(args.rest ? *args.rest : env != nullptr ? env : kDefaultRest);
    }
    if (!location_.host_default) {
        out.repeat_state(location_.path.string());
    }
}

StateFile &Context::state() {
    if (!state_) {
        const bool change = (needs_ & kChangeState) != 0;
        std::optional<std::chrono::seconds> wait;
        if (args.wait) {
            wait = std::chrono::seconds(*args.wait);
        }
        state_.emplace(location_, change ? Access::kChange : Access::kRead, wait);
        if ((needs_ & kTrusted) != 0) {
            state_->require_trustworthy();
        }
    }
    return *state_;
}

const LocalIdentity &Context::local() {
    if (!local_) {
        local_ = resolve_local(given_, given_ ? std::nullopt : state().recorded_local());
    }
    return *local_;
}

std::optional<LocalIdentity> Context::local_if_known() {
    try {
        return local();
    } catch (const UntrustedLine &) {
        throw;
    } catch (const Failure &) {
        return std::nullopt;
    }
}

int run_command(Runner run, unsigned needs, const Args &args, Output &out) {
    Context context(args, out, needs);
    try {
        return run(context);
    } catch (const UntrustedLine &refusal) {
        throw Failure(refusal.exit, refusal.what() + advice(refusal, state_location(args)));
    }
}

} // namespace wwnpool
