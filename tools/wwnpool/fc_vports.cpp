#include "fc_vports.hpp"

#include "address_format.hpp"
#include "fd_io.hpp"
#include "text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace wwnpool {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSymbolicNameBytes = 64;

int write_attribute(const fs::path &file, std::string_view text) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    // The kernel reads a store in one call, and a refusal comes back from it.
    const int error = write_fully(fd, text) ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace

std::vector<Vport> vports() {
    std::vector<Vport> found;
    for (FcEntry &entry : fc_entries()) {
        unsigned host = 0;
        if (entry.path.parent_path().filename() != "fc_vports" ||
            std::sscanf(entry.name.c_str(), "vport-%u:", &host) != 1) {
            continue;
        }
        int error = 0;
        std::string state = attribute(entry.path / "vport_state", &error).value_or("");
        if (state.empty() && error != 0 && error != ENOENT) {
            unreadable(entry.path / "vport_state", error);
        }
        found.push_back({std::move(entry), "host" + std::to_string(host), shown(state)});
    }
    return found;
}

bool has_vport_switches(const std::string &host) {
    std::error_code ec;
    return host.find('/') == std::string::npos && host != "." && host != ".." && !host.empty() &&
           fs::is_regular_file(sysfs_root() / "class" / "fc_host" / host / "vport_create", ec);
}

int write_vport_switch(const std::string &host, VportSwitch which, const revevidozi::Wwn &port,
                       const revevidozi::Wwn &node) {
    const Style bare{Format::kBare, false};
    return write_attribute(sysfs_root() / "class" / "fc_host" / host /
                               (which == VportSwitch::kCreate ? "vport_create" : "vport_delete"),
                           formatted(port, bare) + ":" + formatted(node, bare) + "\n");
}

int set_symbolic_name(const Vport &vport, std::string_view name) {
    return write_attribute(vport.entry.path / "symbolic_name",
                           std::string(cut_at_character(name, kSymbolicNameBytes)) + "\n");
}

} // namespace wwnpool
