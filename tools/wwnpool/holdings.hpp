// The names a state file holds allocated, with their owners and partners:
// what the registry must hold as this host's claims.
#pragma once

#include "state_file.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace wwnpool {

struct Held {
    std::string owner;
    std::optional<revevidozi::Wwn> partner;
    bool operator==(const Held &) const = default;
};

using Holdings = std::map<std::uint64_t, Held>;

// Every allocated name of the pools that can be trusted.
Holdings holdings(StateFile &state);

// The owner that marks a name taken here because another host holds it in
// the registry: "registry:HOST:OWNER", cut to an owner's 128 bytes.
std::string registry_mark(const std::string &hostname, const std::string &owner);
bool is_registry_mark(const std::string &owner);

} // namespace wwnpool
