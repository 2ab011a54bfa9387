// registry init / registry sync / registry check, and who: the fleet's
// registry, seen from this host.
#include "commands.hpp"

#include "fleet_ledger.hpp"
#include "holdings.hpp"
#include "pool_address.hpp"

#include <iostream>

namespace wwnpool {
namespace {

Json claim_json(const Claim &c) {
    return {{"wwn", c.name.str()},
            {"host", c.host.str()},
            {"hostname", c.hostname},
            {"owner", c.owner.empty() ? Json() : Json(c.owner)},
            {"partner", c.partner ? Json(c.partner->str()) : Json()},
            {"state", c.state},
            {"pool_host", c.pool_host ? Json(c.pool_host->str()) : Json()},
            {"since", c.since}};
}

std::string claim_text(const Claim &c, const Style &style) {
    std::string text = formatted(c.name, style) + " held by " + shown(c.hostname) + " (" + c.host.str() + ")";
    text += c.owner.empty() ? " without owner" : " for '" + shown(c.owner) + "'";
    if (c.partner) {
        text += ", partner " + formatted(*c.partner, style);
    }
    text += ", since " + c.since;
    if (c.state == "moved" && c.pool_host) {
        text += ", moved from " + c.pool_host->str();
    }
    return text;
}

// Frees a name kept here for another host's claim that is gone: it was
// never handed out here, so it does not rest.
void unmark(StateFile &state, const LocalIdentity &local, const revevidozi::Wwn &name) {
    if (PoolLine *line = pool_line(state, local, pool_origin(name).page, false)) {
        std::error_code ec;
        pool_of(*line).release(name, ec);
        state.drop_record(name);
    }
}

} // namespace

int cmd_registry_init(Context &ctx) {
    const int from = ctx.registry()->init();
    if (ctx.args.json) {
        emit(ctx.out, {{"command", "registry init"}, {"from", from}, {"version", kSchemaVersion}});
    } else if (from == kSchemaVersion) {
        ctx.out.text() << "the registry's schema is at version " << kSchemaVersion << "; nothing to do\n";
    } else if (from == 0) {
        ctx.out.text() << "created the registry's schema, version " << kSchemaVersion << '\n';
    } else {
        ctx.out.text() << "upgraded the registry's schema from version " << from << " to " << kSchemaVersion << '\n';
    }
    return kDone;
}

int cmd_registry_sync(Context &ctx) {
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const Host me = ctx.host();
    Registry &fleet = *ctx.registry();
    const std::vector<Disagreement> found = compare(holdings(state), fleet.claims_about(me.local), me.local);
    std::vector<Claim> claims;
    std::vector<revevidozi::Wwn> leaked;
    bool local_change = false;
    std::size_t conflicts = 0;
    for (const Disagreement &d : found) {
        switch (d.kind) {
        case Disagreement::kUnclaimed:
        case Disagreement::kOutdated:
            claims.push_back(own_claim(d.name, d.here.owner, d.here.partner, me.local));
            break;
        case Disagreement::kLeaked:
            leaked.push_back(d.name);
            break;
        case Disagreement::kUnmarked:
            state.hold(pool_of(*pool_line(state, local, pool_origin(d.name).page, true)),
                       {d.name, std::nullopt, registry_mark(d.claim.hostname, d.claim.owner)});
            local_change = true;
            break;
        case Disagreement::kStaleMark:
            unmark(state, local, d.name);
            local_change = true;
            break;
        case Disagreement::kConflict:
            ++conflicts;
            break;
        }
    }
    // As every change does: claims first, the file, then the claims dropped.
    for (const Claim &other : fleet.claim(me, claims)) {
        throw Failure(kRefused, other.name.str() + " was claimed by host '" + shown(other.hostname) +
                                    "' meanwhile; nothing was changed; run 'wwnpool registry sync' again");
    }
    if (local_change) {
        state.save();
    }
    fleet.drop(me.local, leaked);
    if (ctx.args.json) {
        Json json{{"command", "registry sync"}, {"host", me.local.str()}, {"actions", Json::array()}};
        for (const Disagreement &d : found) {
            json["actions"].push_back({{"kind", kind_name(d.kind)}, {"wwn", d.name.str()}, {"message", describe(d)}});
        }
        json["conflicts"] = conflicts;
        emit(ctx.out, json);
    } else {
        for (const Disagreement &d : found) {
            ctx.out.text() << describe(d) << '\n';
        }
        ctx.out.text() << "synced " << me.local.str() << " with the registry: " << found.size() - conflicts
                       << " repaired, " << conflicts << " conflicts left\n";
    }
    return conflicts == 0 ? kDone : kRefused;
}

int cmd_registry_check(Context &ctx) {
    StateFile &state = ctx.state();
    const Host me = ctx.host();
    Registry &fleet = *ctx.registry();
    const Holdings here = holdings(state);
    const std::vector<Disagreement> found = compare(here, fleet.claims_about(me.local), me.local);
    const std::vector<IdentityConflict> clones = fleet.identity_conflicts();
    Json json{{"command", "registry check"}, {"findings", Json::array()}};
    for (const IdentityConflict &c : clones) {
        const std::string text = "identity: " + c.holder.local.str() + " is host '" + shown(c.holder.hostname) +
                                 "' (machine id " + shown(c.holder.machine_id) + "); host '" +
                                 shown(c.claimant.hostname) + "' (machine id " + shown(c.claimant.machine_id) +
                                 ") claimed it too at " + c.seen + " and was refused";
        json["findings"].push_back({{"kind", "identity"}, {"wwn", c.holder.local.str()}, {"message", text}});
        ctx.out.text() << text << '\n';
    }
    for (const Disagreement &d : found) {
        json["findings"].push_back({{"kind", kind_name(d.kind)}, {"wwn", d.name.str()}, {"message", describe(d)}});
        ctx.out.text() << describe(d) << '\n';
    }
    const bool clean = json["findings"].empty();
    if (clean) {
        ctx.out.text() << "clean: the registry agrees with the " << here.size()
                       << " names held here, and no two machines claimed one identity\n";
    }
    json["clean"] = clean;
    if (ctx.args.json) {
        ctx.out.discard();
        emit(ctx.out, json);
    }
    return clean ? kDone : kRefused;
}

int cmd_who(Context &ctx) {
    const Args &args = ctx.args;
    if (args.owner.has_value() == !args.operands.empty()) {
        throw Failure(kBadUsage, "who takes WWNs or --owner, one of the two");
    }
    Registry &fleet = *ctx.registry();
    std::vector<Claim> claims;
    std::vector<revevidozi::Wwn> names;
    if (args.owner) {
        claims = fleet.claims_of(*args.owner);
        if (claims.empty()) {
            throw Failure(kRefused, "'" + shown(*args.owner) + "' holds no name in the registry");
        }
        for (const Claim &c : claims) {
            names.push_back(c.name);
        }
    } else {
        names = wwn_operands(args);
        claims = fleet.claims_on(names);
    }
    Json json{{"command", "who"}, {"names", Json::array()}};
    for (const revevidozi::Wwn &name : names) {
        const auto claim = std::find_if(claims.begin(), claims.end(), [&](const Claim &c) { return c.name == name; });
        if (claim == claims.end()) {
            json["names"].push_back({{"wwn", name.str()}, {"host", nullptr}});
            ctx.out.text() << formatted(name, args.style) << " is claimed by no host\n";
        } else {
            json["names"].push_back(claim_json(*claim));
            ctx.out.text() << claim_text(*claim, args.style) << '\n';
        }
    }
    if (args.json) {
        ctx.out.discard();
        emit(ctx.out, json);
    }
    return kDone;
}

} // namespace wwnpool
