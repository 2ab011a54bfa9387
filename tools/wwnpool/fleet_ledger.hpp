// This host's state file beside the registry's claims: where they disagree,
// and what 'registry sync' does about it ('registry check' only reports).
#pragma once

#include "holdings.hpp"
#include "registry.hpp"

#include <string>
#include <vector>

namespace wwnpool {

struct Disagreement {
    enum Kind {
        kUnclaimed, // held here, claimed nowhere: sync claims it
        kOutdated,  // held here, claimed by this host for another owner or partner: sync updates the claim
        kLeaked,    // claimed by this host, free here (a crash or outage between the two): sync drops the claim
        kUnmarked,  // of this host's pools, held by another host, free here: sync marks it taken here
        kStaleMark, // taken here for another host's claim, which is gone: sync frees it
        kConflict,  // held here and by another host: nothing to do but tell
    } kind;
    revevidozi::Wwn name;
    Held here;   // what the state holds (kUnclaimed, kOutdated, kStaleMark, kConflict)
    Claim claim; // what the registry holds (all but kUnclaimed)
};

// Every disagreement, in name order. `claims` are the registry's claims
// about this host (Registry::claims_about()).
std::vector<Disagreement> compare(const Holdings &here, const std::vector<Claim> &claims, const revevidozi::Wwn &me);

// One line for a disagreement ("leaked: ..."), saying what sync does.
std::string describe(const Disagreement &d);
const char *kind_name(Disagreement::Kind kind);

} // namespace wwnpool
