#include "host_sysfs.hpp"

#include "failure.hpp"
#include "text.hpp"

#include <revevidozi.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wwnpool {
namespace fs = std::filesystem;

[[noreturn]] void unreadable(const fs::path &path, int error) {
    const std::string why = error == kNotRegular ? "not a regular file" : std::strerror(error);
    throw Failure(kBadState, "cannot read " + shown(path.string()) + ": " + why +
                                 "; the names this host's FC hosts carry cannot be checked, so nothing was changed");
}

namespace {

// A MAC address "aa:bb:cc:dd:ee:ff" as 48 bits, if it is one.
std::optional<std::uint64_t> parse_mac(const std::string &text) {
    if (text.size() != 17) {
        return std::nullopt;
    }
    const auto wwn = revevidozi::Wwn::parse("00:00:" + text);
    return wwn ? std::optional<std::uint64_t>(wwn->value()) : std::nullopt;
}

} // namespace

std::optional<std::string> attribute(const fs::path &file, int *error) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error != nullptr) {
            *error = fd < 0 ? errno : kNotRegular;
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return std::nullopt;
    }
    char text[256];
    ssize_t n = 0;
    do {
        n = ::read(fd, text, sizeof text);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 0) {
        if (error != nullptr) {
            *error = errno;
        }
        return std::nullopt;
    }
    const std::string_view read(text, static_cast<std::size_t>(n));
    return std::string(read.substr(0, read.find('\n')));
}

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
        if (link_ec || is_virtual || attribute(it->path() / "addr_assign_type") != std::optional<std::string>("0")) {
            continue;
        }
        const auto mac = parse_mac(attribute(it->path() / "address").value_or(""));
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
        const fs::path folder = root / "class" / kind;
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec == std::errc::no_such_file_or_directory) {
            continue; // no FC on this host
        }
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const auto name = [&](const char *attribute_name) -> std::optional<revevidozi::Wwn> {
                int error = 0;
                const auto text = attribute(it->path() / attribute_name, &error);
                if (!text && error != ENOENT) {
                    unreadable(it->path() / attribute_name, error);
                }
                const auto wwn = revevidozi::Wwn::parse(text.value_or(""));
                return wwn && wwn->value() != 0 ? wwn : std::nullopt;
            };
            found.push_back({it->path().filename().string(), name("port_name"), name("node_name"), it->path()});
        }
        if (ec) {
            unreadable(folder, ec.value());
        }
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    return found;
}

} // namespace wwnpool
