// What this host's sysfs tree says about it. The tree's root is
// $WWNPOOL_SYSFS when set (tests build a fake one there), else /sys.
#pragma once

#include <revevidozi.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wwnpool {

std::filesystem::path sysfs_root();

// In place of an errno: the attribute is no regular file.
constexpr int kNotRegular = -1;

// The first line of a sysfs attribute, without its newline; nullopt, with
// the errno in *error, when it cannot be read. Attributes are small regular
// files: anything else (a FIFO, a link to a device) is never waited on nor
// read without limit.
std::optional<std::string> attribute(const std::filesystem::path &file, int *error = nullptr);

// Fails (exit 3) for an attribute or folder of FC entries that cannot be read.
[[noreturn]] void unreadable(const std::filesystem::path &path, int error);

struct NetInterface {
    std::string name;
    std::uint64_t mac = 0;  // 48 bits
    bool universal = false; // universally administered (IEEE-assigned)
};

// The interfaces that can name the host, in name order: backed by a device
// (not under devices/virtual: no loopback, bridge, veth, ifb, docker0), with
// a permanent (addr_assign_type 0), unicast, non-zero MAC address.
std::vector<NetInterface> hardware_interfaces();

// The names an FC host or vport carries now (class/fc_host/* and
// class/fc_vports/*, as sysfs prints them: 0x and unpadded hex).
struct FcEntry {
    std::string name; // "host5", "vport-5:0-0"
    std::optional<revevidozi::Wwn> port;
    std::optional<revevidozi::Wwn> node;
    std::filesystem::path path;
};

// In name order; none on a host without FC (no class/fc_host is normal).
// A folder or name that cannot be read fails: an FC host's names unseen
// could be handed out.
std::vector<FcEntry> fc_entries();

} // namespace wwnpool
