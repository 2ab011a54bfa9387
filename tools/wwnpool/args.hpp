// The parsed command line. Only the command layer (command_line, setup,
// cmd_*, report, output) sees it; the layers below get plain values.
#pragma once

#include "address_format.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wwnpool {

struct Args {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> state_path; // --state
    std::optional<std::string> local;      // --local
    std::optional<std::uint32_t> page;     // --page
    bool json = false;
    bool force = false;
    bool all = false;
    bool pair = false;                   // alloc --pair
    bool more = false;                   // alloc --more: more names for an owner who holds some
    bool long_list = false;              // list --long
    std::optional<std::string> owner;    // --owner
    std::optional<std::string> to;       // relabel --to: the new owner
    Style style;                         // --format, --upper
    std::optional<std::string> parent;   // --parent, as libvirt names it (scsi_host5)
    std::optional<std::string> rest;     // --rest
    std::optional<unsigned> wait;        // --wait, seconds
    std::optional<std::string> registry; // --registry: libpq's connection string
    std::optional<std::string> host;     // relabel --host: where the owner's names are held now
};

} // namespace wwnpool
