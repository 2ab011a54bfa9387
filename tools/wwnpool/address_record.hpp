// What the state file keeps about one address beside its pool's bitmap: for
// an allocated one, who holds it and, for a port/node pair, its partner; for
// a released one, since when it rests. One line per address, guarded by its
// own CRC-32 as the blocks are:
//
//   A <address> <partner or -> <owner as hex of its UTF-8 bytes, or -> [<vport's FC host as hex>] <crc>
//   N <address> <partner> <owner as hex, or -> <crc>
//   R <address> <released at, seconds since 1970 UTC> <crc>
//
// "N" marks the node name of a port/node pair, "A" any other allocated
// address (a pair's port among them); records written before "N" existed
// have "A" for both names of a pair. A pair's port record names the FC host
// ("host5") that 'vport create' gave it a vport on, so that a vport that is
// gone shows.
//
// addresses as 16 hex digits, the CRC (crc32ForBuf of everything before its
// separating blank) as 8. Hex keeps any owner text on one line and the
// format free of quoting rules.
#pragma once

#include <revevidozi.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace wwnpool {

struct AddressRecord {
    revevidozi::Wwn address;
    std::optional<revevidozi::Wwn> partner;
    std::string owner;   // empty: none
    bool node = false;   // the node name of its pair
    std::string vport{}; // a pair's port: the FC host of its vport, if it was given one
};

struct RestRecord {
    revevidozi::Wwn address;
    std::int64_t since = 0;
};

std::string record_text(const AddressRecord &record);
std::string rest_text(const RestRecord &rest);

// The record a line holds; nothing, with the reason in *why, if it holds
// none (not a record line, bad field, CRC mismatch).
std::optional<AddressRecord> parse_record(std::string_view text, std::string *why);

std::optional<RestRecord> parse_rest(std::string_view text, std::string *why);

// Whether a line is meant as a record ("A", "N" or "R" first), even if damaged.
bool is_record_line(std::string_view text);

// The address a record line names in its first field, if readable, even
// when the rest of the line is damaged.
std::optional<revevidozi::Wwn> record_address(std::string_view text);

// A new owner (kNew) is 1 to 128 characters of printable UTF-8 with no
// invisible format character and no leading '-'. Records written before
// those two rules (kRecorded) still read.
enum class OwnerRules { kNew, kRecorded };

// Whether a name is one sysfs gives an FC host: "host" and its number.
bool is_fc_host_name(std::string_view name);

// Why `owner` may not be an owner, or empty when it may.
std::string owner_problem(std::string_view owner, OwnerRules rules = OwnerRules::kNew);

// The owner of a name an FC host or vport carries: "sysfs:" and the entry's
// name, shown as text and cut to an owner's length, so that it always is one.
std::string sysfs_owner(std::string_view entry);

} // namespace wwnpool
