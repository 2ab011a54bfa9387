// A port/node pair as libvirt takes it: a node device (a vHBA that lives
// until the host reboots) or a persistent scsi storage pool whose fc_host
// adapter libvirt manages, making the vHBA when the pool starts. libvirt
// wants the names as 16 bare hex digits; the colon form is "Malformed wwn".
#pragma once

#include <revevidozi.hpp>

#include <string>
#include <string_view>

namespace wwnpool {

// The parent as libvirt names it: "host5" or "scsi_host5" give "scsi_host5";
// fails with kBadUsage for anything else.
std::string libvirt_parent(std::string_view host);

// <device> with <parent> and the fc_host capability's wwnn and wwpn.
std::string node_device_xml(const std::string &parent, const revevidozi::Wwn &port, const revevidozi::Wwn &node);

// <pool type='scsi'> named `name` ('/', which libvirt refuses in a name,
// becomes '_'), its fc_host adapter managed by libvirt.
std::string storage_pool_xml(std::string name, const std::string &parent, const revevidozi::Wwn &port,
                             const revevidozi::Wwn &node);

} // namespace wwnpool
