// A WWN as text: what a user may type, and the forms the next tool takes: the
// colon form people read, bare hex for libvirt, OpenStack and Kubernetes,
// sysfs's 0x form, and vport_create's "port:node" pair of bare names.
#pragma once

#include <revevidozi.hpp>

#include <string>
#include <string_view>

namespace wwnpool {

// kLibvirt and kLibvirtPool describe a pair in libvirt's XML (libvirt_xml.hpp);
// one address in them is bare.
enum class Format { kColon, kBare, kSysfs, kVport, kLibvirt, kLibvirtPool };

struct Style {
    Format format = Format::kColon;
    bool upper = false;
};

// A WWN operand or option value, or fails with kBadUsage saying why.
revevidozi::Wwn parse_wwn(std::string_view text);

// The format a --format value names; fails with kBadUsage for any other.
Format parse_format(std::string_view text);

// One address in a style; kVport writes the bare form.
std::string formatted(const revevidozi::Wwn &address, const Style &style);

// A port/node pair: "PORT NODE", or for kVport exactly what vport_create
// takes, "PORT:NODE" in bare hex.
std::string formatted_pair(const revevidozi::Wwn &port, const revevidozi::Wwn &node, const Style &style);

} // namespace wwnpool
