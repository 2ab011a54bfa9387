#include "state_lock.hpp"

#include "failure.hpp"
#include "fd_io.hpp"
#include "text.hpp"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace wwnpool {
namespace fs = std::filesystem;

namespace {

constexpr auto kMoment = std::chrono::seconds(1);
constexpr auto kPoll = std::chrono::milliseconds(10); // a change holds the lock for milliseconds

[[noreturn]] void fail(const std::string &what, const fs::path &file, int error) {
    throw Failure(kBadState, what + " " + shown(file.string()) + ": " + std::strerror(error) +
                                 "; check the path and its permissions, or choose another with --state");
}

} // namespace

mode_t lock_mode(std::optional<mode_t> state_mode) {
    mode_t mode = S_IRUSR | S_IWUSR;
    if (state_mode && (*state_mode & S_IWGRP) != 0) {
        mode |= S_IRGRP | S_IWGRP;
    }
    if (state_mode && (*state_mode & S_IWOTH) != 0) {
        mode |= S_IROTH | S_IWOTH;
    }
    return mode;
}

StateLock::StateLock(const fs::path &target, std::optional<mode_t> state_mode,
                     std::optional<std::chrono::seconds> limit)
    : path_(target.string() + ".lock") {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        fail("cannot create the folder of", target, ec.value());
    }
    // Refused now rather than after the work: the new file is made in there.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0) {
        fail("cannot change files in", folder, errno);
    }
    // Never follow a link here: one planted as the lock would make root
    // create or open any file it points to. Opened for writing only by those
    // who may write: flock works on any descriptor, so a lock others could
    // read would be one they could hold.
    const mode_t mode = lock_mode(state_mode);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd_ < 0 && errno == ELOOP) {
        throw Failure(kBadState, shown(path_.string()) + " is a symbolic link, which is never followed; remove it, "
                                                         "then try again");
    }
    if (fd_ < 0) {
        fail("cannot open the lock file", path_, errno);
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw Failure(kBadState, shown(path_.string()) + " is not a regular file; remove it, then try again");
    }
    // A lock made by an earlier version could be read by anyone; the state's
    // mode may have changed since.
    if ((st.st_mode & 07777) != mode && st.st_uid == ::geteuid()) {
        ::fchmod(fd_, mode);
    }
    const auto start = std::chrono::steady_clock::now();
    bool said = false;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(fd_);
            fail("cannot lock", path_, error);
        }
        const auto waited = std::chrono::steady_clock::now() - start;
        if (limit && waited >= *limit) {
            const std::string who = holder();
            ::close(fd_);
            throw Failure(kBadState, "gave up after " + std::to_string(limit->count()) + " s waiting for the lock " +
                                         shown(path_.string()) + who + "; nothing was changed");
        }
        if (!said && waited >= kMoment) {
            said = true;
            write_fully(STDERR_FILENO, "wwnpool: waiting for the lock " + shown(path_.string()) + holder() +
                                           (limit ? "" : "; --wait SECONDS limits the wait") + "\n");
        }
        std::this_thread::sleep_for(kPoll);
    }
}

StateLock::~StateLock() {
    ::close(fd_); // releases the lock
}

// ", held by process PID (NAME)", as /proc/locks tells, or nothing.
std::string StateLock::holder() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        return {};
    }
    char id[64];
    std::snprintf(id, sizeof id, "%02x:%02x:%ju", major(st.st_dev), minor(st.st_dev),
                  static_cast<std::uintmax_t>(st.st_ino));
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        char pid_text[32] = "";
        char file_text[64] = "";
        if (std::sscanf(line.c_str(), "%*s FLOCK %*s %*s %31s %63s", pid_text, file_text) == 2 &&
            std::strcmp(file_text, id) == 0) {
            std::ifstream comm("/proc/" + std::string(pid_text) + "/comm");
            std::string name;
            std::getline(comm, name);
            return ", held by process " + std::string(pid_text) + (name.empty() ? "" : " (" + shown(name) + ")");
        }
    }
    return {};
}

} // namespace wwnpool
