#include "address_record.hpp"

#include "text.hpp"

#include <charconv>
#include <cstdio>
#include <vector>

namespace wwnpool {
namespace {

constexpr std::size_t kMaxOwnerCharacters = 128;

std::string hex16(const revevidozi::Wwn &wwn) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(wwn.value()));
    return text;
}

std::string crc_hex(std::string_view text) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x",
                  crc32ForBuf(reinterpret_cast<const uint8_t *>(text.data()), static_cast<std::uint32_t>(text.size())));
    return crc;
}

std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0;;) {
        const std::size_t blank = text.find(' ', at);
        out.push_back(text.substr(at, blank - at));
        if (blank == std::string_view::npos) {
            return out;
        }
        at = blank + 1;
    }
}

std::optional<revevidozi::Wwn> bare_wwn(std::string_view text) {
    if (text.size() != 16 || text.find_first_not_of("0123456789abcdef") != std::string_view::npos) {
        return std::nullopt;
    }
    return revevidozi::Wwn::parse(text);
}

std::string hex_text(std::string_view text) {
    std::string hex;
    for (const char c : text) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
        hex += pair;
    }
    return hex;
}

// Text kept as hex: lowercase digits, two a byte.
std::optional<std::string> from_hex(std::string_view hex) {
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdef") != std::string_view::npos) {
        return std::nullopt;
    }
    std::string text(hex.size() / 2, '\0');
    string_to_hbytes(hex.data(), reinterpret_cast<uint8_t *>(text.data()), static_cast<std::uint32_t>(text.size()));
    return text;
}

} // namespace

std::string record_text(const AddressRecord &record) {
    const std::string owner = hex_text(record.owner);
    const std::string body = (record.node ? "N " : "A ") + hex16(record.address) + " " +
                             (record.partner ? hex16(*record.partner) : "-") + " " + (owner.empty() ? "-" : owner) +
                             (record.vport.empty() ? "" : " " + hex_text(record.vport));
    return body + " " + crc_hex(body);
}

std::string rest_text(const RestRecord &rest) {
    const std::string body = "R " + hex16(rest.address) + " " + std::to_string(rest.since);
    return body + " " + crc_hex(body);
}

std::optional<RestRecord> parse_rest(std::string_view text, std::string *why) {
    const auto f = fields(text);
    if (f.size() != 4 || f[0] != "R") {
        *why = "not a rest record (expected 'R', address, time and CRC)";
        return std::nullopt;
    }
    if (f[3] != crc_hex(text.substr(0, text.size() - 9))) {
        *why = "rest record damaged (CRC mismatch)";
        return std::nullopt;
    }
    RestRecord rest;
    const auto address = bare_wwn(f[1]);
    const auto [end, error] = std::from_chars(f[2].data(), f[2].data() + f[2].size(), rest.since);
    if (!address || error != std::errc() || end != f[2].data() + f[2].size() || rest.since < 0) {
        *why = "rest record with a bad field";
        return std::nullopt;
    }
    rest.address = *address;
    return rest;
}

bool is_record_line(std::string_view text) {
    return text.starts_with("A ") || text.starts_with("N ") || text.starts_with("R ");
}

std::optional<revevidozi::Wwn> record_address(std::string_view text) {
    return is_record_line(text) ? bare_wwn(fields(text)[1]) : std::nullopt;
}

std::optional<AddressRecord> parse_record(std::string_view text, std::string *why) {
    const auto fail = [&](const char *reason) -> std::optional<AddressRecord> {
        *why = reason;
        return std::nullopt;
    };
    const auto f = fields(text);
    if ((f.size() != 5 && f.size() != 6) || (f[0] != "A" && f[0] != "N")) {
        return fail("not an address record (expected 'A' or 'N', address, partner, owner and CRC)");
    }
    if (f.back() != crc_hex(text.substr(0, text.size() - 9))) {
        return fail("address record damaged (CRC mismatch)");
    }
    AddressRecord record;
    const auto address = bare_wwn(f[1]);
    const auto partner = bare_wwn(f[2]);
    if (!address || (!partner && f[2] != "-")) {
        return fail("address record with a bad address");
    }
    record.node = f[0] == "N";
    if (record.node && !partner) {
        return fail("node record without its port");
    }
    record.address = *address;
    record.partner = partner;
    if (f[3] != "-") {
        const auto owner = from_hex(f[3]);
        if (!owner || !owner_problem(*owner, OwnerRules::kRecorded).empty()) {
            return fail("address record with a bad owner");
        }
        record.owner = *owner;
    }
    if (f.size() == 6) {
        const auto vport = from_hex(f[4]);
        if (!vport || !is_fc_host_name(*vport) || !record.partner || record.node) {
            return fail("address record with a bad vport");
        }
        record.vport = *vport;
    }
    return record;
}

bool is_fc_host_name(std::string_view name) {
    return name.size() > 4 && name.size() <= 14 && name.starts_with("host") &&
           name.find_first_not_of("0123456789", 4) == std::string_view::npos;
}

std::string owner_problem(std::string_view owner, OwnerRules rules) {
    std::size_t characters = 0;
    for (std::size_t at = 0, n = 0; at < owner.size(); at += n, ++characters) {
        switch (character_kind(owner, at, &n)) {
        case CharacterKind::kNotUtf8:
            return "is not UTF-8";
        case CharacterKind::kControl:
            return "holds a control character";
        case CharacterKind::kFormat:
            if (rules == OwnerRules::kNew) {
                return "holds an invisible format or separator character";
            }
            break;
        case CharacterKind::kPrintable:
            break;
        }
    }
    if (characters == 0 || characters > kMaxOwnerCharacters) {
        return "must be 1 to 128 characters";
    }
    if (rules == OwnerRules::kNew && owner.front() == '-') {
        return "may not start with '-', which reads as an option or as no owner";
    }
    return {};
}

std::string sysfs_owner(std::string_view entry) {
    std::string owner = "sysfs:";
    const std::string name = shown(entry);
    for (std::size_t at = 0, n = 0, characters = 6; at < name.size() && characters < kMaxOwnerCharacters;
         at += n, ++characters) {
        character_kind(name, at, &n);
        owner.append(name, at, n);
    }
    return owner;
}

} // namespace wwnpool
