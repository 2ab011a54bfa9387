// What the vport commands share: a vport found by its names, the owner the
// state gives it, how it is printed, and waiting for the kernel.
#pragma once

#include "args.hpp"
#include "fc_vports.hpp"
#include "json.hpp"
#include "output.hpp"
#include "state_file.hpp"

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace wwnpool {

using WwnPair = std::pair<revevidozi::Wwn, revevidozi::Wwn>; // port, node

// Asks `done` until it says yes or --wait (default 30 s) has passed; false
// when the time ran out.
bool wait_for(const Args &args, const std::function<bool()> &done);

// The vport that carries this pair now, if one does.
std::optional<Vport> live_vport(const WwnPair &pair);

// The owner of the pair an entry carries, when the state holds it as one.
std::optional<std::string> pair_owner(const StateFile &state, const FcEntry &entry);

// VPORT  PARENT  PORT  NODE  STATE  OWNER (a "-" for what is missing), the
// vport in a libvirt form, or a JSON document.
void print_vport(const Args &args, Output &out, const StateFile &state, const Vport &v);

// What --json says of a vport.
Json vport_json(const Args &args, const StateFile &state, const Vport &v);

} // namespace wwnpool
