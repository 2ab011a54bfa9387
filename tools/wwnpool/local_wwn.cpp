#include "local_wwn.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace wwnpool {
namespace {

revevidozi::Wwn checked_local(const std::string &text, const char *source) {
    const revevidozi::Wwn wwn = parse_wwn(text);
    if ((wwn.value() >> 48) != 0x1000) {
        throw Failure(kBadUsage, std::string("the local WWN from ") + source + " is " + wwn.str() +
                                     ", not an NAA 1 name; give 10:00 followed by the host's IEEE address");
    }
    return wwn;
}

// A MAC address "aa:bb:cc:dd:ee:ff" as 48 bits, if it is one.
std::optional<std::uint64_t> parse_mac(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.size() != 17) {
        return std::nullopt;
    }
    auto wwn = revevidozi::Wwn::parse("00:00:" + text);
    return wwn ? std::optional<std::uint64_t>(wwn->value()) : std::nullopt;
}

std::optional<std::uint64_t> first_universal_mac() {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> interfaces;
    for (const auto &entry : fs::directory_iterator("/sys/class/net", ec)) {
        interfaces.push_back(entry.path());
    }
    std::sort(interfaces.begin(), interfaces.end());
    for (const auto &interface : interfaces) {
        std::ifstream file(interface / "address");
        std::string text;
        std::getline(file, text);
        const auto mac = parse_mac(text);
        const bool multicast = mac && ((*mac >> 40) & 1U) != 0;
        const bool local_admin = mac && ((*mac >> 41) & 1U) != 0;
        if (mac && *mac != 0 && !multicast && !local_admin) {
            return mac;
        }
    }
    return std::nullopt;
}

} // namespace

revevidozi::Wwn resolve_local_wwn(const Args &args) {
    if (args.local) {
        return checked_local(*args.local, "--local");
    }
    if (const char *env = std::getenv("WWNPOOL_LOCAL"); env != nullptr && *env != '\0') {
        return checked_local(env, "WWNPOOL_LOCAL");
    }
    if (const auto mac = first_universal_mac()) {
        return revevidozi::Wwn(0x1000'0000'0000'0000ULL | *mac);
    }
    throw Failure(kBadUsage, "no network interface has a universally administered MAC address to name this host; "
                             "give the local WWN with --local 10:00:xx:xx:xx:xx:xx:xx or WWNPOOL_LOCAL");
}

} // namespace wwnpool
