// What the commands that change pools share: finding or creating a pool's
// line, keeping to this host's pools, and the names FC hosts carry.
#pragma once

#include "local_wwn.hpp"
#include "state_file.hpp"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace wwnpool {

// The line of the pool of page `page` of this host (`identity`): the
// existing one, or, if `create`, a fresh pool; nullptr when there is none and
// none is made. Lines stay where they are when others are added. A file
// holds the pools of one host, and only the host's own state takes its
// identity from its interfaces: creating a pool against either fails.
PoolLine *pool_line(StateFile &state, const LocalIdentity &identity, std::uint32_t page, bool create);

// The pool of a line known to hold one (every change first makes sure).
revevidozi::Pool &pool_of(PoolLine &line);

// Fails with kBadUsage when an address belongs to another host's pools: a
// typo in one digit must not quietly create a pool of another host.
void require_own(const revevidozi::Wwn &address, const LocalIdentity &local);

// The FC entry that carries each name now: a vport's name rather than that
// of the FC host the kernel made for it.
std::map<std::uint64_t, std::string> carriers();

// Fails (kRefused) when an FC host or vport of this host carries one of the
// addresses: a name on the fabric is never freed, --force or not.
void require_not_live(const std::vector<revevidozi::Wwn> &addresses);

// The names this host's FC hosts and vports carry now, with the owner
// "sysfs:<entry>" that records them.
std::map<std::uint64_t, std::string> names_in_use();

// Marks the names in use that fall in `pool` and are free there as taken,
// with their sysfs owner, so that no allocation hands them out.
void claim_names_in_use(StateFile &state, revevidozi::Pool &pool, const std::map<std::uint64_t, std::string> &users);

} // namespace wwnpool
