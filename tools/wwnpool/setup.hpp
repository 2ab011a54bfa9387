// What a command needs before it runs, said once per command in the command
// table (as git's builtins table does with its setup flags) and done here,
// so no command repeats it: the state file, opened to read or locked to
// change and checked; the host's local WWN; the rest period; the registry.
// With a registry, every change of the state file is a change of this host's
// claims: names newly held are claimed before the file is replaced, names
// freed lose their claim after, so that a crash between the two leaves a
// claim without a name (which 'registry sync' drops), never the reverse.
#pragma once

#include "args.hpp"
#include "holdings.hpp"
#include "local_wwn.hpp"
#include "output.hpp"
#include "registry.hpp"
#include "state_file.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace wwnpool {

enum Needs : unsigned {
    kNoSetup = 0,
    kReadState = 1,   // the state file, read without a lock
    kChangeState = 2, // the state file, locked for a read-modify-write
    kTrusted = 4,     // refused unless every line of the state can be trusted
    kLocalWwn = 8,    // the host's local WWN (--local or $WWNPOOL_LOCAL checked up front)
    kRestPeriod = 16, // the rest period (--rest or $WWNPOOL_REST checked up front)
    kRegistry = 32,   // the fleet's registry, which the command cannot do without
};

class Context {
  public:
    // Checks what can be checked without touching a file: the local WWN the
    // user gave and the rest period, as `needs` asks.
    Context(const Args &args, Output &out, unsigned needs);

    const Args &args;
    Output &out;

    // The state file, opened the first time it is asked for, so that a
    // command checks its operands before any file is touched.
    StateFile &state();
    // The host's local WWN: the one given, else the state's, else an interface's.
    const LocalIdentity &local();
    // The same, or nothing when nothing names this host.
    std::optional<LocalIdentity> local_if_known();
    std::int64_t rest_period() const { return rest_; }

    // The fleet's registry, connected on first use; nullptr when none is
    // configured (a command that needs one, kRegistry, fails without).
    Registry *registry();
    // This machine as the registry knows it.
    Host host();
    // The names that must not be handed out here: those FC hosts carry
    // ("sysfs:ENTRY") and, with a registry, those of this host's pools that
    // other hosts hold (registry_mark()).
    std::map<std::uint64_t, std::string> names_in_use();
    // At the next save, this host's claims on `names` move to the host `to`.
    void move_claims(const std::vector<revevidozi::Wwn> &names, const revevidozi::Wwn &to);
    // Claims what the state holds now, before the save does: before names
    // reach the fabric. withdraw_claims() drops them when the change is
    // given up; both do nothing without a registry.
    void claim_now();
    void withdraw_claims();

  private:
    void join_registry();
    void claim_changes();
    void drop_freed();

    unsigned needs_;
    StateLocation location_;
    std::optional<LocalIdentity> given_;
    std::int64_t rest_ = 0;
    std::optional<StateFile> state_;
    std::optional<LocalIdentity> local_;
    std::optional<std::string> conninfo_;
    std::unique_ptr<Registry> registry_;
    // A change's claims: the holdings as read (or last saved), as claimed,
    // about to be saved; the claims of other hosts on this host's pools; a move.
    std::optional<Host> me_;
    Holdings saved_, claimed_, pending_;
    std::map<std::uint64_t, Claim> elsewhere_;
    std::vector<revevidozi::Wwn> moved_;
    std::optional<revevidozi::Wwn> move_to_;
};

using Runner = int (*)(Context &);

// Runs a command after its setup. A refusal over a line that cannot be
// trusted gets the advice that leads out of it.
int run_command(Runner run, unsigned needs, const Args &args, Output &out);

} // namespace wwnpool
