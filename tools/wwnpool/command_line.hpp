// The command line, parsed with CLI11: the command, its operands and options.
#pragma once

#include "args.hpp"
#include "setup.hpp"

#include <string>

namespace wwnpool {

struct CommandLine {
    Args args;
    Runner run = nullptr; // nullptr: print `text` (help or version) instead
    unsigned needs = kNoSetup;
    std::string text;
};

// Fails with kBadUsage, in one line, on anything CLI11 or the checks refuse.
CommandLine parse_command_line(int argc, char **argv);

// Whether --json is on the command line (before any --), so that even a
// failure to parse it answers with a JSON document.
bool wants_json(int argc, char **argv);

} // namespace wwnpool
