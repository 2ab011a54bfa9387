// How wwnpool fails: an exit code, and one line saying what is wrong and what
// to do. Every layer throws these; main turns them into its answer.
#pragma once

#include <stdexcept>
#include <string>

namespace wwnpool {

enum Exit : int {
    kDone = 0,     // the command did what was asked
    kRefused = 1,  // the pool refused: full, already allocated, already free
    kBadUsage = 2, // bad usage or bad input
    kBadState = 3, // the state file cannot be read, written or trusted
    kOutput = 4,   // the answer could not be written to standard output
};

// A refusal. `after_change` when the state had already been changed, so the
// message must say how.
struct Failure : std::runtime_error {
    Exit exit;
    bool after_change;
    Failure(Exit e, const std::string &message, bool changed = false)
        : std::runtime_error(message), exit(e), after_change(changed) {}
};

} // namespace wwnpool
