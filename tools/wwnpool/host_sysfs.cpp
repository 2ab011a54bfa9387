#include "host_sysfs.hpp"

#include <revevidozi.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace wwnpool {
namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs attribute, without its newline.
std::string attribute(const fs::path &file) {
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    return text;
}

// A MAC address "aa:bb:cc:dd:ee:ff" as 48 bits, if it is one.
std::optional<std::uint64_t> parse_mac(const std::string &text) {
    if (text.size() != 17) {
        return std::nullopt;
    }
    const auto wwn = revevidozi::Wwn::parse("00:00:" + text);
    return wwn ? std::optional<std::uint64_t>(wwn->value()) : std::nullopt;
}

} // namespace

fs::path sysfs_root() {
    const char *root = std::getenv("WWNPOOL_SYSFS");
    return root != nullptr && *root != '\0' ? fs::path(root) : fs::path("/sys");
}

std::vector<NetInterface> hardware_interfaces() {
    const fs::path root = sysfs_root();
    std::error_code ec;
    const fs::path virtual_devices = fs::weakly_canonical(root / "devices" / "virtual", ec);
    std::vector<NetInterface> found;
    fs::directory_iterator it(root / "class" / "net", ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code link_ec;
        const fs::path device = fs::canonical(it->path(), link_ec);
        const bool is_virtual =
            std::mismatch(virtual_devices.begin(), virtual_devices.end(), device.begin(), device.end()).first ==
            virtual_devices.end();
        if (link_ec || is_virtual || attribute(it->path() / "addr_assign_type") != "0") {
            continue;
        }
        const auto mac = parse_mac(attribute(it->path() / "address"));
        const bool multicast = mac && ((*mac >> 40) & 1U) != 0;
        if (mac && *mac != 0 && !multicast) {
            found.push_back({it->path().filename().string(), *mac, ((*mac >> 41) & 1U) == 0});
        }
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    return found;
}

std::vector<FcEntry> fc_entries() {
    const fs::path root = sysfs_root();
    std::vector<FcEntry> found;
    for (const char *kind : {"fc_host", "fc_vports"}) {
        std::error_code ec;
        fs::directory_iterator it(root / "class" / kind, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const auto name = [&](const char *attribute_name) -> std::optional<revevidozi::Wwn> {
                const auto wwn = revevidozi::Wwn::parse(attribute(it->path() / attribute_name));
                return wwn && wwn->value() != 0 ? wwn : std::nullopt;
            };
            found.push_back({it->path().filename().string(), name("port_name"), name("node_name")});
        }
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    return found;
}

} // namespace wwnpool
