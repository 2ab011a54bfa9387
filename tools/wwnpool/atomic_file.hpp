// Replacing a file so that a crash leaves the old or the new one, never a
// mix: a temporary file beside it, flushed, renamed over it, and the folder
// flushed. Only this tool's own temporary files are ever removed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include <sys/types.h>

namespace wwnpool {

struct FileOwner {
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

// Thrown when the new file is in place but the folder could not be flushed:
// the change is visible, yet may not survive a crash.
struct NotDurable : std::system_error {
    using std::system_error::system_error;
};

// Writes `data` as the file `target`, with the mode (and owner and group,
// where the process may set them) of `keep`, or for a new file the default
// mode under the umask. Removes temporary files of killed writers first (the
// caller holds the lock that keeps live writers out). Throws
// std::system_error before the rename (the old file stands), NotDurable after.
void replace_file(const std::filesystem::path &target, const std::string &data, const std::optional<FileOwner> &keep);

} // namespace wwnpool
