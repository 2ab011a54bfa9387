#include "address_format.hpp"

#include "failure.hpp"
#include "text.hpp"

#include <cctype>
#include <cstdio>

namespace wwnpool {

revevidozi::Wwn parse_wwn(std::string_view text) {
    std::string why;
    if (auto wwn = revevidozi::Wwn::parse(text, &why)) {
        return *wwn;
    }
    throw Failure(kBadUsage, "'" + shown(text) + "' is not a WWN (" + why + "); write it like 20:00:12:34:56:78:9a:bc");
}

Format parse_format(std::string_view text) {
    static constexpr std::pair<std::string_view, Format> kNames[] = {
        {"colon", Format::kColon}, {"bare", Format::kBare},       {"sysfs", Format::kSysfs},
        {"vport", Format::kVport}, {"libvirt", Format::kLibvirt}, {"libvirt-pool", Format::kLibvirtPool}};
    for (const auto &[name, format] : kNames) {
        if (text == name) {
            return format;
        }
    }
    throw Failure(kBadUsage,
                  "'" + shown(text) + "' is not a format; use colon, bare, sysfs, vport, libvirt or libvirt-pool");
}

std::string formatted(const revevidozi::Wwn &address, const Style &style) {
    std::string text;
    if (style.format == Format::kColon) {
        text = address.str();
    } else {
        char bare[19];
        std::snprintf(bare, sizeof bare, "%s%016llx", style.format == Format::kSysfs ? "0x" : "",
                      static_cast<unsigned long long>(address.value()));
        text = bare;
    }
    if (style.upper) {
        for (std::size_t i = style.format == Format::kSysfs ? 2 : 0; i < text.size(); ++i) {
            text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        }
    }
    return text;
}

std::string formatted_pair(const revevidozi::Wwn &port, const revevidozi::Wwn &node, const Style &style) {
    return formatted(port, style) + (style.format == Format::kVport ? ":" : " ") + formatted(node, style);
}

} // namespace wwnpool
