// What several commands print: addresses, pairs and their descriptions, as
// text or as a --json document.
#pragma once

#include "args.hpp"
#include "json.hpp"
#include "output.hpp"
#include "state_file.hpp"
#include "text.hpp"

#include <utility>
#include <vector>

namespace wwnpool {

// Prints the addresses of a pool: one per line, or as a JSON document with
// the pool's description under "addresses".
void print_addresses(const Args &args, Output &out, const char *command, const revevidozi::Wwn &base,
                     const std::vector<revevidozi::Wwn> &addresses);

// Prints port/node pairs: one "PORT NODE" (or vport "PORT:NODE") a line, or
// a JSON document with the port pool's description, "pairs" and the owner.
void print_pairs(const Args &args, Output &out, const revevidozi::Wwn &base,
                 const std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> &pairs);

// Whether --format asks for one of libvirt's XML forms.
inline bool libvirt_form(const Style &style) {
    return style.format == Format::kLibvirt || style.format == Format::kLibvirtPool;
}

// A pair in the libvirt form asked for, on `parent`; a pool is named after `owner`.
void print_libvirt(const Args &args, Output &out, const std::string &parent, const std::string &owner,
                   const revevidozi::Wwn &port, const revevidozi::Wwn &node);

// What --json says of one address: "wwn", "owner" (null when none), its
// pool's "page" and, for a pair's member, "partner" and "role" ("port" or
// "node").
Json address_json(const StateFile &state, const revevidozi::Wwn &address);

// The pair a member of a recorded pair belongs to, port first, in the
// style's form ("PORT NODE", or "PORT:NODE" in the vport form).
std::string pair_text(const StateFile &state, const revevidozi::Wwn &member, const Style &style);

// "local", "page" and "base" of a pool, as JSON fields.
void describe_pool(Json &json, const revevidozi::Wwn &base);

// "--owner 'TEXT'" for a command that must name the owner, or nothing.
inline std::string owner_option(const Args &args) {
    return args.owner ? "--owner " + shell_quoted(shown(*args.owner)) : "";
}

// The JSON value of --owner: the text, or null.
inline Json owner_json(const Args &args) {
    return args.owner ? Json(*args.owner) : Json();
}

// Puts a JSON document on the output.
inline void emit(Output &out, const Json &json) {
    out.text() << json_text(json);
}

} // namespace wwnpool
