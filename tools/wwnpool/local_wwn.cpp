#include "local_wwn.hpp"

#include "address_format.hpp"
#include "failure.hpp"
#include "host_sysfs.hpp"
#include "text.hpp"

#include <algorithm>
#include <iostream>

namespace wwnpool {
namespace {

constexpr std::uint64_t kNaa1 = 0x1000'0000'0000'0000ULL;

bool is_mac_text(const std::string &text) {
    return text.size() == 17 && std::count(text.begin(), text.end(), ':') == 5;
}

} // namespace

// A stock value (all zeros, all ones) or a multicast address would give
// every host that is handed it the same pools.
LocalIdentity given_local(const std::string &text, LocalIdentity::Source source, const char *origin) {
    // A bare MAC address is shorthand for 10:00 followed by it.
    const revevidozi::Wwn wwn = parse_wwn(is_mac_text(text) ? "10:00:" + text : text);
    const std::uint64_t mac = wwn.value() & 0xffff'ffff'ffffULL;
    const auto refuse = [&](const char *why) {
        return Failure(kBadUsage, std::string("the local WWN from ") + origin + " is " + wwn.str() + ", " + why +
                                      "; give 10:00 followed by the host's own IEEE address (or its MAC address)");
    };
    if ((wwn.value() >> 48) != 0x1000) {
        throw refuse("not an NAA 1 name");
    }
    if (mac == 0 || mac == 0xffff'ffff'ffffULL || ((mac >> 40) & 1U) != 0) {
        throw refuse("an address no host owns (all zeros, all ones or multicast)");
    }
    return {wwn, source, {}, ((mac >> 41) & 1U) == 0};
}

LocalIdentity resolve_local(const std::optional<LocalIdentity> &given, const std::optional<revevidozi::Wwn> &recorded) {
    if (given) {
        return *given;
    }
    if (recorded) {
        return {*recorded, LocalIdentity::Source::kStateFile, {}, ((recorded->value() >> 41) & 1U) == 0};
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
    if (identity.universal) {
        return;
    }
    if (identity.source == LocalIdentity::Source::kInterface) {
        std::cerr << "wwnpool: note: named this host " << identity.wwn.str()
                  << " after the locally administered MAC of " << shown(identity.interface)
                  << "; its names are unique only as long as no other host uses that MAC; choose the local WWN "
                     "with --local or WWNPOOL_LOCAL\n";
    } else {
        std::cerr << "wwnpool: note: the local WWN " << identity.wwn.str()
                  << " holds a locally administered address; its names are unique only as long as no other host "
                     "uses it\n";
    }
}

} // namespace wwnpool
