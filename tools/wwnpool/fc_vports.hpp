// The vports of this host's FC hosts, and the kernel's switches that make and
// remove one: "PORT:NODE" (16 hex digits each) written to
// class/fc_host/HOST/vport_create or vport_delete.
#pragma once

#include "host_sysfs.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace wwnpool {

struct Vport {
    FcEntry entry;      // "vport-5:0-0" and the names it carries
    std::string parent; // "host5"
    std::string state;  // vport_state: "Active", "Linkdown", "Fabric Rejected WWN", ...
};

// Every vport, in name order; fails as fc_entries() does when one cannot be read.
std::vector<Vport> vports();

// Whether HOST names an FC host of this machine that has the switches.
bool has_vport_switches(const std::string &host);

enum class VportSwitch { kCreate, kDelete };

// Writes the pair to HOST's switch in one write, as the kernel wants it;
// 0 when the kernel accepted it, else its errno.
int write_vport_switch(const std::string &host, VportSwitch which, const revevidozi::Wwn &port,
                       const revevidozi::Wwn &node);

// Sets what the fabric's name server shows for the vport; 0 or the errno.
// The kernel keeps at most 64 bytes: a longer name is cut before a
// character that does not fit.
int set_symbolic_name(const Vport &vport, std::string_view name);

} // namespace wwnpool
