#include "local_wwn.hpp"

#include "host_sysfs.hpp"
#include "text.hpp"

#include <cstdlib>
#include <iostream>

namespace wwnpool {
namespace {

constexpr std::uint64_t kNaa1 = 0x1000'0000'0000'0000ULL;

LocalIdentity checked_local(const std::string &text, LocalIdentity::Source source, const char *name) {
    const revevidozi::Wwn wwn = parse_wwn(text);
    if ((wwn.value() >> 48) != 0x1000) {
        throw Failure(kBadUsage, std::string("the local WWN from ") + name + " is " + wwn.str() +
                                     ", not an NAA 1 name; give 10:00 followed by the host's IEEE address");
    }
    return {wwn, source, {}, true};
}

} // namespace

std::optional<LocalIdentity> explicit_local(const Args &args) {
    if (args.local) {
        return checked_local(*args.local, LocalIdentity::Source::kOption, "--local");
    }
    if (const char *env = std::getenv("WWNPOOL_LOCAL"); env != nullptr && *env != '\0') {
        return checked_local(env, LocalIdentity::Source::kEnvironment, "WWNPOOL_LOCAL");
    }
    return std::nullopt;
}

LocalIdentity resolve_local(const Args &args, const std::optional<revevidozi::Wwn> &recorded) {
    if (auto identity = explicit_local(args)) {
        return *identity;
    }
    if (recorded) {
        return {*recorded, LocalIdentity::Source::kStateFile, {}, true};
    }
    const auto interfaces = hardware_interfaces();
    const NetInterface *chosen = nullptr;
    for (const auto &interface : interfaces) {
        if (chosen == nullptr || (interface.universal && !chosen->universal)) {
            chosen = &interface;
        }
    }
    if (chosen == nullptr) {
        throw Failure(kBadUsage, "no network interface of this host has a permanent MAC address to name it; give the "
                                 "local WWN with --local 10:00:xx:xx:xx:xx:xx:xx or WWNPOOL_LOCAL");
    }
    return {revevidozi::Wwn(kNaa1 | chosen->mac), LocalIdentity::Source::kInterface, chosen->name, chosen->universal};
}

std::string source_text(const LocalIdentity &identity) {
    switch (identity.source) {
    case LocalIdentity::Source::kOption:
        return "option --local";
    case LocalIdentity::Source::kEnvironment:
        return "environment variable WWNPOOL_LOCAL";
    case LocalIdentity::Source::kStateFile:
        return "the pools already in the state file";
    case LocalIdentity::Source::kInterface:
        break;
    }
    return "interface " + shown(identity.interface) + ", " + (identity.universal ? "universally" : "locally") +
           " administered MAC";
}

void notice_new_pool(const LocalIdentity &identity) {
    if (identity.source == LocalIdentity::Source::kInterface && !identity.universal) {
        std::cerr << "wwnpool: note: named this host " << identity.wwn.str()
                  << " after the locally administered MAC of " << shown(identity.interface)
                  << "; its names are unique only as long as no other host uses that MAC; choose the local WWN "
                     "with --local or WWNPOOL_LOCAL\n";
    }
}

} // namespace wwnpool
