#include "state_path.hpp"

#include "failure.hpp"
#include "text.hpp"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace wwnpool {
namespace fs = std::filesystem;

fs::path follow_symlinks(const fs::path &path) {
    fs::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
            return current; // changed under us; opening it will tell
        }
        target.resize(static_cast<std::size_t>(n));
        current = fs::path(target).is_absolute() ? fs::path(target) : current.parent_path() / target;
    }
    throw Failure(kBadState, "the state path '" + shown(path.string()) +
                                 "' is a loop of symbolic links; point it at a file, or choose another with --state");
}

} // namespace wwnpool
