// The wwnpool commands, and what several of them share.
#pragma once

#include "cli.hpp"
#include "json.hpp"
#include "local_wwn.hpp"
#include "output.hpp"
#include "state_file.hpp"
#include "text.hpp"

#include <map>

namespace wwnpool {

int cmd_init(const Args &args, Output &out);
int cmd_alloc(const Args &args, Output &out);
int cmd_take(const Args &args, Output &out);
int cmd_release(const Args &args, Output &out);
int cmd_status(const Args &args, Output &out);
int cmd_list(const Args &args, Output &out);
int cmd_decode(const Args &args, Output &out);
int cmd_dump(const Args &args, Output &out);
int cmd_local(const Args &args, Output &out);
int cmd_scan(const Args &args, Output &out);
int cmd_check(const Args &args, Output &out);

// The names this host's FC hosts and vports carry now, with the owner
// "sysfs:<entry>" that records them.
std::map<std::uint64_t, std::string> names_in_use();

// Marks the names in use that fall in `pool` and are free there as taken,
// with their sysfs owner, so that no allocation hands them out.
void claim_names_in_use(StateFile &state, revevidozi::Pool &pool, const std::map<std::uint64_t, std::string> &users);

// The page asked for with --page, 0 by default.
inline std::uint32_t page_of(const Args &args) {
    return args.page.value_or(0);
}

// The WWN operands: pool addresses, at least one and none twice; fails with
// kBadUsage.
std::vector<revevidozi::Wwn> wwn_operands(const Args &args);

// The line of the pool of (local, page): the existing one, or, if `create`,
// a fresh pool; nullptr when there is none and none is made. A pool created
// for the host's own identity (`named_by`) may deserve a notice.
PoolLine *pool_line(StateFile &state, const revevidozi::Wwn &local, std::uint32_t page, bool create,
                    const LocalIdentity *named_by = nullptr);

// The host's local WWN, the state file's record taken into account.
LocalIdentity host_identity(const Args &args, const StateFile &state);

// Fails with kBadUsage when an address belongs to another host's pools: a
// typo in one digit must not quietly create a pool of another host.
void require_own(const revevidozi::Wwn &address, const LocalIdentity &local);

// Where a pool address comes from; fails with kBadUsage for any other WWN.
revevidozi::PoolOrigin pool_origin(const revevidozi::Wwn &address);

// Prints the addresses of a pool: one per line, or as a JSON document with
// the pool's description under "addresses".
void print_addresses(const Args &args, Output &out, const char *command, const revevidozi::Wwn &base,
                     const std::vector<revevidozi::Wwn> &addresses);

// Prints port/node pairs: one "PORT NODE" (or vport "PORT:NODE") a line, or
// a JSON document with the port pool's description, "pairs" and the owner.
void print_pairs(const Args &args, Output &out, const revevidozi::Wwn &base,
                 const std::vector<std::pair<revevidozi::Wwn, revevidozi::Wwn>> &pairs);

// What --json says of one address: "wwn", "owner" (null when none) and,
// for a pair's member, "partner".
Json address_json(const StateFile &state, const revevidozi::Wwn &address);

// "--owner \"TEXT\"" for a command that must name the owner, or nothing.
inline std::string owner_option(const Args &args) {
    return args.owner ? "--owner \"" + shown(*args.owner) + "\"" : "";
}

// The JSON value of --owner: the text, or null.
inline Json owner_json(const Args &args) {
    return args.owner ? Json(*args.owner) : Json();
}

// The pool of a line known to hold one (every change first makes sure).
revevidozi::Pool &pool_of(PoolLine &line);

// "local", "page" and "base" of a pool, as JSON fields.
void describe_pool(Json &json, const revevidozi::Wwn &base);

// Puts a JSON document on the output.
inline void emit(Output &out, const Json &json) {
    out.text() << json_text(json);
}

} // namespace wwnpool
