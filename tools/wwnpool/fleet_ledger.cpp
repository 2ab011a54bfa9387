#include "fleet_ledger.hpp"

#include "pool_address.hpp"
#include "text.hpp"

#include <map>

namespace wwnpool {
namespace {

std::string whose(const std::string &owner) {
    return owner.empty() ? "without owner" : "for '" + shown(owner) + "'";
}

std::string held_by(const Claim &claim) {
    return "host '" + shown(claim.hostname) + "' (" + claim.host.str() + ") " + whose(claim.owner);
}

Claim none(const revevidozi::Wwn &name) {
    Claim claim;
    claim.name = name;
    return claim;
}

} // namespace

std::vector<Disagreement> compare(const Holdings &here, const std::vector<Claim> &claims, const revevidozi::Wwn &me) {
    std::map<std::uint64_t, const Claim *> by_name;
    for (const Claim &claim : claims) {
        by_name.emplace(claim.name.value(), &claim);
    }
    std::map<std::uint64_t, Disagreement> found;
    for (const auto &[value, held] : here) {
        const auto at = by_name.find(value);
        const Claim *claim = at != by_name.end() ? at->second : nullptr;
        const revevidozi::Wwn name(value);
        if (is_registry_mark(held.owner)) {
            if (claim == nullptr || claim->host == me) {
                found.emplace(value, Disagreement{Disagreement::kStaleMark, name, held, claim ? *claim : none(name)});
            }
        } else if (claim == nullptr) {
            found.emplace(value, Disagreement{Disagreement::kUnclaimed, name, held, none(name)});
        } else if (claim->host == me) {
            if (claim->owner != held.owner || claim->partner != held.partner) {
                found.emplace(value, Disagreement{Disagreement::kOutdated, name, held, *claim});
            }
        } else if (claim->state != "moved") {
            found.emplace(value, Disagreement{Disagreement::kConflict, name, held, *claim});
        }
    }
    for (const Claim &claim : claims) {
        const auto base = pool_base_of(claim.name);
        if (here.contains(claim.name.value()) || !base || revevidozi::origin_of(*base).local != me) {
            continue; // a name of another pool held here is that pool's host's business
        }
        found.emplace(claim.name.value(),
                      Disagreement{claim.host == me ? Disagreement::kLeaked : Disagreement::kUnmarked, claim.name,
                                   Held{}, claim});
    }
    std::vector<Disagreement> list;
    list.reserve(found.size());
    for (auto &[value, d] : found) {
        list.push_back(std::move(d));
    }
    return list;
}

const char *kind_name(Disagreement::Kind kind) {
    switch (kind) {
    case Disagreement::kUnclaimed:
        return "unclaimed";
    case Disagreement::kOutdated:
        return "outdated";
    case Disagreement::kLeaked:
        return "leaked";
    case Disagreement::kUnmarked:
        return "unmarked";
    case Disagreement::kStaleMark:
        return "stale";
    case Disagreement::kConflict:
        break;
    }
    return "conflict";
}

std::string describe(const Disagreement &d) {
    const std::string name = d.name.str();
    std::string text = std::string(kind_name(d.kind)) + ": " + name;
    switch (d.kind) {
    case Disagreement::kUnclaimed:
        return text + " is held here " + whose(d.here.owner) + " without a claim; sync claims it";
    case Disagreement::kOutdated:
        return text + " is held here " + whose(d.here.owner) + ", its claim says " + whose(d.claim.owner) +
               "; sync updates the claim";
    case Disagreement::kLeaked:
        return text + " is claimed by this host " + whose(d.claim.owner) + " but free here; sync drops the claim";
    case Disagreement::kUnmarked:
        return text + " is held by " + held_by(d.claim) + " and free here; sync marks it taken here";
    case Disagreement::kStaleMark:
        return text + " is kept here as '" + shown(d.here.owner) + "', a claim that is gone; sync frees it";
    case Disagreement::kConflict:
        break;
    }
    return text + " is held here " + whose(d.here.owner) + " and by " + held_by(d.claim) +
           ": one name on two hosts; release it on one of them";
}

} // namespace wwnpool
