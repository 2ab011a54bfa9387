// Which local WWN (NAA 1, 10:00 + IEEE address) names this host's pools, and
// where that answer came from.
#pragma once

#include <revevidozi.hpp>

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

// A local WWN given by the user (`source` kOption or kEnvironment), or a bare
// MAC address standing for 10:00 followed by it. Fails with kBadUsage, naming
// `origin` ("--local"), for anything that is not one host's own name: not
// NAA 1, all zeros, all ones, multicast.
LocalIdentity given_local(const std::string &text, LocalIdentity::Source source, const char *origin);

// The whole order: what the user gave (`given`), the local WWN the state
// file already records (`recorded`: once a host has pools, its identity stays
// fixed whatever its interfaces do), then the first hardware interface with a
// universally administered MAC, else the first with a locally administered
// one. Fails with kBadUsage when none of these gives an answer.
LocalIdentity resolve_local(const std::optional<LocalIdentity> &given, const std::optional<revevidozi::Wwn> &recorded);

// "option --local", "interface eth0, locally administered MAC", ...
std::string source_text(const LocalIdentity &identity);

// Called when a pool is created under this identity: a locally administered
// MAC names the host only as long as no other host uses it, so say so.
void notice_new_pool(const LocalIdentity &identity);

} // namespace wwnpool
