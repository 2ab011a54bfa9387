// What every part of wwnpool shares: exit codes, the error that carries one,
// the parsed command line and the output channel.
#pragma once

#include "address_format.hpp"

#include <revevidozi.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace wwnpool {

enum Exit : int {
    kDone = 0,     // the command did what was asked
    kRefused = 1,  // the pool refused: full, already allocated, already free
    kBadUsage = 2, // bad usage or bad input
    kBadState = 3, // the state file cannot be read, written or trusted
    kOutput = 4,   // the answer could not be written to standard output
};

// A refusal: one line saying what is wrong and what to do. `after_change`
// when the state had already been changed, so the message must say how.
struct Failure : std::runtime_error {
    Exit exit;
    bool after_change;
    Failure(Exit e, const std::string &message, bool changed = false)
        : std::runtime_error(message), exit(e), after_change(changed) {}
};

struct Args {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> state_path; // --state
    std::optional<std::string> local;      // --local
    std::optional<std::uint32_t> page;     // --page
    bool json = false;
    bool force = false;
    bool all = false;
    bool pair = false;                // alloc --pair
    bool long_list = false;           // list --long
    std::optional<std::string> owner; // --owner
    Style style;                      // --format, --upper
    std::optional<std::string> rest;  // --rest
};

// Parses a WWN operand or option value, or fails with kBadUsage.
revevidozi::Wwn parse_wwn(const std::string &text);

} // namespace wwnpool
