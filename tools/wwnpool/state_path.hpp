// Where the state lives. The pools belong to the host (they derive from its
// MAC), so by default the state is the host's: /var/lib/wwnpool/pools.
#pragma once

#include <filesystem>

namespace wwnpool {

struct StateLocation {
    std::filesystem::path path; // as named
    bool host_default = false;  // neither --state nor $WWNPOOL_STATE named it
};

inline constexpr const char *kHostState = "/var/lib/wwnpool/pools";

// The file a path finally names, following symbolic links of its last part
// (also dangling ones: the target is where the file will be), so that every
// name of the state shares one lock and one file. Fails with kBadState on a
// loop.
std::filesystem::path follow_symlinks(const std::filesystem::path &path);

} // namespace wwnpool
