#include "setup.hpp"

#include "fleet_host.hpp"
#include "pool_access.hpp"
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
    if ((needs & (kChangeState | kRegistry)) != 0) {
        conninfo_ = registry_conninfo(args.registry);
    }
    if ((needs & kRegistry) != 0 && !conninfo_) {
        throw Failure(kBadUsage, "'" + args.command +
                                     "' works on the fleet's registry: give --registry CONNINFO, set "
                                     "WWNPOOL_REGISTRY, or add 'registry = CONNINFO' to " +
                                     kConfigFile);
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
        if (change && conninfo_ && (needs_ & kRegistry) == 0) {
            join_registry();
        }
    }
    return *state_;
}

Registry *Context::registry() {
    if (!registry_ && conninfo_) {
        try {
            registry_ = std::make_unique<Registry>(*conninfo_);
        } catch (const RegistryDown &e) {
            throw RegistryDown(kBadState, std::string(e.what()) +
                                              "; nothing was changed; commands that only read work from the "
                                              "state file without it");
        }
    }
    return registry_.get();
}

Host Context::host() {
    if (!me_) {
        me_ = Host{local().wwn, machine_id(), host_name()};
    }
    return *me_;
}

std::map<std::uint64_t, std::string> Context::names_in_use() {
    std::map<std::uint64_t, std::string> users = wwnpool::names_in_use();
    for (const auto &[name, claim] : elsewhere_) {
        users.emplace(name, registry_mark(claim.hostname, claim.owner));
    }
    return users;
}

void Context::move_claims(const std::vector<revevidozi::Wwn> &names, const revevidozi::Wwn &to) {
    moved_ = names;
    move_to_ = to;
}

// A change with a registry: this host's claims follow the state file.
void Context::join_registry() {
    const std::optional<LocalIdentity> known = local_if_known();
    if (!known) {
        return; // a file without pools, on a host without a name: nothing to claim
    }
    me_ = Host{known->wwn, machine_id(), host_name()};
    Registry &fleet = *registry();
    try {
        for (Claim &claim : fleet.held_elsewhere(me_->local)) {
            elsewhere_.emplace(claim.name.value(), std::move(claim));
        }
    } catch (const RegistryDown &e) {
        throw RegistryDown(kBadState, std::string(e.what()) + "; nothing was changed");
    }
    saved_ = holdings(*state_);
    claimed_ = saved_;
    state_->on_save({[this] { claim_changes(); }, [this] { drop_freed(); }, [this] { withdraw_claims(); }});
}

// Before the file is replaced: the names newly held here, or held for
// another owner, are claimed (all or none).
void Context::claim_changes() {
    pending_ = holdings(*state_);
    std::vector<Claim> claims;
    for (const auto &[value, held] : pending_) {
        if (elsewhere_.contains(value) || is_registry_mark(held.owner)) {
            continue; // another host's claim, marked here
        }
        const auto was = claimed_.find(value);
        if (was == claimed_.end() || was->second != held) {
            claims.push_back(own_claim(revevidozi::Wwn(value), held.owner, held.partner, me_->local));
        }
    }
    std::vector<Claim> others;
    try {
        others = registry_->claim(*me_, claims, moved_, move_to_);
    } catch (const RegistryDown &e) {
        throw RegistryDown(kBadState, std::string(e.what()) + "; nothing was changed");
    }
    if (!others.empty()) {
        const Claim &c = others.front();
        throw Failure(kRefused, c.name.str() + " is held by host '" + shown(c.hostname) + "'" +
                                    (c.owner.empty() ? "" : " for '" + shown(c.owner) + "'") +
                                    " in the registry; nothing was changed; 'wwnpool who " + c.name.str() +
                                    "' shows the claim");
    }
    claimed_ = pending_;
    moved_.clear();
}

void Context::claim_now() {
    if (me_) {
        claim_changes();
    }
}

// Once the file is replaced: the names freed here lose this host's claim.
void Context::drop_freed() {
    std::vector<revevidozi::Wwn> freed;
    for (const auto &[value, held] : saved_) {
        if (!pending_.contains(value) && !elsewhere_.contains(value)) {
            freed.emplace_back(value);
        }
    }
    saved_ = pending_;
    if (freed.empty()) {
        return;
    }
    try {
        registry_->drop(me_->local, freed);
    } catch (const RegistryDown &e) {
        throw Failure(kBadState,
                      std::string(e.what()) +
                          "; the names are free here, but the registry still claims them, so no host hands them "
                          "out until 'wwnpool registry sync' drops those claims",
                      true);
    }
}

// The change was given up: the claims it made go again, if they can (if
// not, they are claims without a name, which 'registry sync' drops).
void Context::withdraw_claims() {
    if (!me_) {
        return;
    }
    std::vector<revevidozi::Wwn> added;
    for (const auto &[value, held] : claimed_) {
        if (!saved_.contains(value) && !elsewhere_.contains(value)) {
            added.emplace_back(value);
        }
    }
    claimed_ = saved_;
    try {
        if (!added.empty()) {
            registry_->drop(me_->local, added);
        }
    } catch (const Failure &) {
        // Left for 'registry sync'.
    }
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
