#include "libvirt_xml.hpp"

#include "address_format.hpp"
#include "failure.hpp"
#include "text.hpp"

#include <algorithm>
#include <cctype>

namespace wwnpool {
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string bare(const revevidozi::Wwn &wwn) {
    return formatted(wwn, {Format::kBare, false});
}

} // namespace

std::string libvirt_parent(std::string_view host) {
    std::string_view number = host;
    if (number.starts_with("scsi_")) {
        number.remove_prefix(5);
    }
    if (!number.starts_with("host") || number.size() == 4 || number.size() > 14 ||
        !std::all_of(number.begin() + 4, number.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        throw Failure(kBadUsage, "'" + shown(host) + "' is no FC host; give --parent as host5 or scsi_host5");
    }
    return "scsi_" + std::string(number);
}

std::string node_device_xml(const std::string &parent, const revevidozi::Wwn &port, const revevidozi::Wwn &node) {
    return "<device>\n"
           "  <parent>" +
           escaped(parent) +
           "</parent>\n"
           "  <capability type='scsi_host'>\n"
           "    <capability type='fc_host'>\n"
           "      <wwnn>" +
           bare(node) + "</wwnn>\n      <wwpn>" + bare(port) +
           "</wwpn>\n"
           "    </capability>\n"
           "  </capability>\n"
           "</device>\n";
}

std::string storage_pool_xml(std::string name, const std::string &parent, const revevidozi::Wwn &port,
                             const revevidozi::Wwn &node) {
    std::replace(name.begin(), name.end(), '/', '_');
    return "<pool type='scsi'>\n"
           "  <name>" +
           escaped(name) +
           "</name>\n"
           "  <source>\n"
           "    <adapter type='fc_host' parent='" +
           escaped(parent) + "' managed='yes' wwnn='" + bare(node) + "' wwpn='" + bare(port) +
           "'/>\n"
           "  </source>\n"
           "  <target>\n"
           "    <path>/dev/disk/by-path</path>\n"
           "  </target>\n"
           "</pool>\n";
}

} // namespace wwnpool
