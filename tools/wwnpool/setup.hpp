// What a command needs before it runs, said once per command in the command
// table (as git's builtins table does with its setup flags) and done here,
// so no command repeats it: the state file, opened to read or locked to
// change and checked; the host's local WWN; the rest period.
#pragma once

#include "args.hpp"
#include "local_wwn.hpp"
#include "output.hpp"
#include "state_file.hpp"

#include <cstdint>
#include <optional>

namespace wwnpool {

enum Needs : unsigned {
    kNoSetup = 0,
    kReadState = 1,   // the state file, read without a lock
    kChangeState = 2, // the state file, locked for a read-modify-write
    kTrusted = 4,     // refused unless every line of the state can be trusted
    kLocalWwn = 8,    // the host's local WWN (--local or $WWNPOOL_LOCAL checked up front)
    kRestPeriod = 16, // the rest period (--rest or $WWNPOOL_REST checked up front)
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

  private:
    unsigned needs_;
    StateLocation location_;
    std::optional<LocalIdentity> given_;
    std::int64_t rest_ = 0;
    std::optional<StateFile> state_;
    std::optional<LocalIdentity> local_;
};

using Runner = int (*)(Context &);

// Runs a command after its setup. A refusal over a line that cannot be
// trusted gets the advice that leads out of it.
int run_command(Runner run, unsigned needs, const Args &args, Output &out);

} // namespace wwnpool
