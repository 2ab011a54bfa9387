// The wwnpool commands, and what several of them share.
#pragma once

#include "cli.hpp"
#include "json.hpp"
#include "state_file.hpp"

#include <iostream>

namespace wwnpool {

int cmd_init(const Args &args);
int cmd_alloc(const Args &args);
int cmd_take(const Args &args);
int cmd_release(const Args &args);
int cmd_status(const Args &args);
int cmd_list(const Args &args);
int cmd_decode(const Args &args);
int cmd_dump(const Args &args);

// The page asked for with --page, 0 by default.
inline std::uint32_t page_of(const Args &args) {
    return args.page.value_or(0);
}

// The line of the pool of (local, page): the existing one, or, if
// `create`, a fresh pool; nullptr when there is none and none is made.
PoolLine *pool_line(StateFile &state, const revevidozi::Wwn &local, std::uint32_t page, bool create);

// Where a pool address comes from; fails with kBadUsage for any other WWN.
revevidozi::PoolOrigin pool_origin(const revevidozi::Wwn &address);

// Prints the addresses of a pool: one per line, or as a JSON document with
// the pool's description under "addresses".
void print_addresses(const Args &args, const char *command, const revevidozi::Wwn &base,
                     const std::vector<revevidozi::Wwn> &addresses);

// The pool of a line known to hold one (every change first makes sure).
revevidozi::Pool &pool_of(PoolLine &line);

// "local", "page" and "base" of a pool, as JSON fields.
void describe_pool(Json &json, const revevidozi::Wwn &base);

// Prints a JSON document on standard output.
inline void emit(const Json &json) {
    std::cout << json.str() << '\n';
}

} // namespace wwnpool
