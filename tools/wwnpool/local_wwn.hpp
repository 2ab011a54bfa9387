// Which local WWN (NAA 1, 10:00 + IEEE address) names this host's pools, and
// where that answer came from.
#pragma once

#include "cli.hpp"

#include <optional>
#include <string>

namespace wwnpool {

struct LocalIdentity {
    enum class Source { kOption, kEnvironment, kStateFile, kInterface };
    revevidozi::Wwn wwn;
    Source source = Source::kOption;
    std::string interface; // for kInterface
    bool universal = true; // whether the address is IEEE-assigned (not locally administered)
};

// --local, else $WWNPOOL_LOCAL, checked; nothing when neither is given.
std::optional<LocalIdentity> explicit_local(const Args &args);

// The whole order: --local, $WWNPOOL_LOCAL, the local WWN the state file
// already records (`recorded`: once a host has pools, its identity stays
// fixed whatever its interfaces do), then the first hardware interface with a
// universally administered MAC, else the first with a locally administered
// one. Fails with kBadUsage when none of these gives an answer.
LocalIdentity resolve_local(const Args &args, const std::optional<revevidozi::Wwn> &recorded);

// "option --local", "interface eth0, locally administered MAC", ...
std::string source_text(const LocalIdentity &identity);

// Called when a pool is created under this identity: a locally administered
// MAC names the host only as long as no other host uses it, so say so.
void notice_new_pool(const LocalIdentity &identity);

} // namespace wwnpool
