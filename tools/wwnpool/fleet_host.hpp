// Where the fleet's registry is, and which machine this is.
#pragma once

#include <optional>
#include <string>

namespace wwnpool {

// The configuration file, unless $WWNPOOL_CONFIG names another.
inline constexpr const char *kConfigFile = "/etc/wwnpool.conf";

// The registry's libpq connection string: --registry (`option`), else
// $WWNPOOL_REGISTRY, else the configuration file's "registry = ..." line;
// nothing when none names one. A password on the command line is refused
// (kBadUsage): ps shows it to every user; libpq's ~/.pgpass, $PGPASSFILE
// and environment are the way. A configuration file that exists but cannot
// be read is refused too (kBadState): it may name a registry.
std::optional<std::string> registry_conninfo(const std::optional<std::string> &option);

// $WWNPOOL_MACHINE_ID, else /etc/machine-id: what tells two machines apart
// when they share a MAC. Fails with kBadState when there is none.
std::string machine_id();

// The host name, as the registry shows it to people.
std::string host_name();

} // namespace wwnpool
