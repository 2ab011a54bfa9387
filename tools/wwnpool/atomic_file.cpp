#include "atomic_file.hpp"

#include "fd_io.hpp"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wwnpool {
namespace fs = std::filesystem;

namespace {

// A name no person would choose, so that cleaning up never removes a file
// someone keeps beside the state (".pools.backup", ".pools.old1").
std::string temp_prefix(const fs::path &target) {
    return "." + target.filename().string() + ".wwnpool-new-";
}

// mkstemp's suffix: six letters or digits.
bool is_own_temp(const std::string &name, const std::string &prefix) {
    if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

void remove_stale_temps(const fs::path &folder, const std::string &prefix) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        struct stat st {};
        if (is_own_temp(name, prefix) && ::lstat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::unlink(it->path().c_str());
        }
    }
}

[[noreturn]] void fail(const std::string &what) {
    throw std::system_error(errno, std::generic_category(), what);
}

mode_t default_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

} // namespace

void replace_file(const fs::path &target, const std::string &data, const std::optional<FileOwner> &keep) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = temp_prefix(target);
    remove_stale_temps(folder, prefix);

    std::string temp = (folder / (prefix + "XXXXXX")).string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        fail("cannot create a temporary file in " + folder.string());
    }
    try {
        // Owner first: changing it clears set-id bits that the mode restores.
        if (keep && ::fchown(fd, keep->uid, keep->gid) != 0 && errno != EPERM) {
            fail("cannot set the owner of " + temp);
        }
        if (::fchmod(fd, keep ? keep->mode : default_mode()) != 0) {
            fail("cannot set the mode of " + temp);
        }
        if (!write_fully(fd, data)) {
            fail("cannot write " + temp);
        }
        if (::fsync(fd) != 0) {
            fail("cannot flush " + temp);
        }
        const int closing = fd;
        fd = -1;
        if (::close(closing) != 0) {
            fail("cannot write " + temp);
        }
    } catch (...) {
        const int saved = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temp.c_str());
        errno = saved;
        throw;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        fail("cannot replace " + target.string());
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) {
        const int saved = errno;
        if (dir >= 0) {
            ::close(dir);
        }
        throw NotDurable(saved, std::generic_category(), "cannot flush the folder " + folder.string());
    }
    ::close(dir);
}

} // namespace wwnpool
