// The fleet's registry: a PostgreSQL database in which every host claims the
// names it holds. A claim is a row of `names` keyed by the WWN, so the
// server's primary key makes it atomic across every host; a host's identity
// (its local WWN) is a row of `hosts` keyed the same way, bound to the host's
// machine id, so a clone that shares a MAC is caught at its first change.
#pragma once

#include "failure.hpp"

#include <revevidozi.hpp>

#include <optional>
#include <string>
#include <vector>

using PGconn = struct pg_conn;

namespace wwnpool {

// One machine: its local WWN, /etc/machine-id and host name.
struct Host {
    revevidozi::Wwn local;
    std::string machine_id;
    std::string hostname;
};

// A row of `names`: a name held on a host.
struct Claim {
    revevidozi::Wwn name;
    std::string owner;
    std::optional<revevidozi::Wwn> partner;
    std::optional<revevidozi::Wwn>
        pool_host;                   // the local WWN of the pool it comes from (read only; the server derives it)
    revevidozi::Wwn host{};          // the local WWN of the host it is held on
    std::string hostname;            // that host's name (read only)
    std::string state = "allocated"; // "allocated", or "moved" to the host it is held on
    std::string since;               // as the server writes it (read only)
};

// A claim of `host` on a name of its own pools.
inline Claim own_claim(const revevidozi::Wwn &name, const std::string &owner,
                       const std::optional<revevidozi::Wwn> &partner, const revevidozi::Wwn &host) {
    Claim claim;
    claim.name = name;
    claim.owner = owner;
    claim.partner = partner;
    claim.pool_host = host;
    claim.host = host;
    return claim;
}

// A clone found in the registry: a machine that claimed a local WWN held by another.
struct IdentityConflict {
    Host holder;
    Host claimant;
    std::string seen;
};

// The registry did not answer, or answered with an error: nothing that was
// asked of it is done.
struct RegistryDown : Failure {
    using Failure::Failure;
};

inline constexpr int kSchemaVersion = 1;

class Registry {
  public:
    // Connects; fails with kBadState, the server's answer in one line, when
    // it cannot.
    explicit Registry(const std::string &conninfo);
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;
    ~Registry();

    // Creates or upgrades the schema; returns the version it found (0: none).
    int init();

    // Claims `me`'s identity and, in the same transaction, each name of
    // `claims` for `me` (a name `me` already claims gets the owner and
    // partner given), then moves the claims on `moved` to the host `to`
    // (those `me` holds, and those of `me`'s pools: a VM that moves back).
    // Returns the claims of other hosts that stood in the way, after
    // rolling back: then nothing was claimed. A different machine id holding
    // `me`'s local WWN is refused (kBadState), naming it.
    std::vector<Claim> claim(const Host &me, const std::vector<Claim> &claims,
                             const std::vector<revevidozi::Wwn> &moved = {},
                             const std::optional<revevidozi::Wwn> &to = std::nullopt);

    // Drops `me`'s claims on the names; returns the names dropped.
    std::vector<revevidozi::Wwn> drop(const revevidozi::Wwn &me, const std::vector<revevidozi::Wwn> &names);

    // The claims on the names given.
    std::vector<Claim> claims_on(const std::vector<revevidozi::Wwn> &names);
    // The claims of an owner, on every host.
    std::vector<Claim> claims_of(const std::string &owner);
    // The claims on names of the pools of `local`, wherever they are held,
    // and those held on `local` whatever pool they come from.
    std::vector<Claim> claims_about(const revevidozi::Wwn &local);
    // The claims on names of the pools of `local` held on other hosts.
    std::vector<Claim> held_elsewhere(const revevidozi::Wwn &local);

    // The host named (by host name or local WWN). Fails with kBadUsage when
    // none or several are.
    Host host_named(const std::string &name);
    std::vector<IdentityConflict> identity_conflicts();

  private:
    void require_schema();
    std::vector<Claim> select_claims(const char *where, const std::vector<std::string> &params);
    void claim_identity(const Host &me);

    PGconn *conn_;
    bool schema_checked_ = false;
};

} // namespace wwnpool
