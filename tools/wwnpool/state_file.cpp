#include "state_file.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace wwnpool {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlockDigits = std::size_t{2} * WWN_POOL_CFG_SIZE;
constexpr const char *kHeader = "# wwnpool state: one pool per line, its 152-byte block as hex text\n";

[[noreturn]] void fail_io(const std::string &what, const fs::path &path) {
    throw Failure(kBadState, what + " " + path.string() + ": " + std::strerror(errno) +
                                 "; check the path and its permissions, or choose another with --state");
}

bool all_hex(const std::string &s) {
    return s.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

PoolLine read_line(int number, const std::string &text) {
    PoolLine line;
    line.line = number;
    line.text = text;
    if (text.size() != kBlockDigits || !all_hex(text)) {
        line.problem = "not a pool block (expected " + std::to_string(kBlockDigits) + " hex digits)";
        return line;
    }
    revevidozi::Pool::Block block{};
    string_to_hbytes(text.data(), block.data(), WWN_POOL_CFG_SIZE);
    std::uint64_t base = 0;
    for (int i = 8; i < 16; ++i) {
        base = (base << 8) | block[static_cast<std::size_t>(i)];
    }
    line.base = revevidozi::Wwn(base);
    std::error_code ec;
    line.pool = revevidozi::Pool::adopt(block, ec);
    if (ec) {
        line.problem = ec.message();
    }
    return line;
}

void write_all(int fd, const std::string &data, const fs::path &path) {
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail_io("cannot write", path);
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::string block_text(const revevidozi::Pool &pool) {
    const auto block = pool.block();
    std::string text(kBlockDigits + 1, '\0');
    hbytes_to_string(block.data(), text.data(), WWN_POOL_CFG_SIZE);
    text.pop_back();
    return text;
}

fs::path state_path(const Args &args) {
    if (args.state_path) {
        return *args.state_path;
    }
    const auto env = [](const char *name) -> std::optional<std::string> {
        const char *v = std::getenv(name);
        return v != nullptr && *v != '\0' ? std::optional<std::string>(v) : std::nullopt;
    };
    if (auto p = env("WWNPOOL_STATE")) {
        return *p;
    }
    if (auto p = env("XDG_STATE_HOME")) {
        return fs::path(*p) / "wwnpool" / "pools";
    }
    if (auto p = env("HOME")) {
        return fs::path(*p) / ".local" / "state" / "wwnpool" / "pools";
    }
    throw Failure(kBadState, "cannot place the state file: HOME is not set; give one with --state PATH");
}

StateFile::StateFile(fs::path path, Access access) : path_(std::move(path)) {
    const fs::path folder = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
    std::error_code ec;
    if (access == Access::kChange) {
        fs::create_directories(folder, ec);
        if (ec) {
            errno = ec.value();
            fail_io("cannot create the folder of", path_);
        }
    }
    if (fs::exists(folder, ec)) {
        const fs::path lock = path_.string() + ".lock";
        lock_fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lock_fd_ < 0 && access == Access::kRead) {
            lock_fd_ = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
        }
        if (lock_fd_ < 0 && (access == Access::kChange || errno != ENOENT)) {
            fail_io("cannot open the lock file", lock);
        }
        while (lock_fd_ >= 0 && ::flock(lock_fd_, access == Access::kChange ? LOCK_EX : LOCK_SH) != 0) {
            if (errno != EINTR) {
                fail_io("cannot lock", lock);
            }
        }
    }

    std::ifstream file(path_);
    if (!file) {
        if (fs::exists(path_, ec)) {
            fail_io("cannot read", path_);
        }
        return; // no state yet
    }
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
            text.pop_back();
        }
        if (!text.empty() && text.front() != '#') {
            pools_.push_back(read_line(number, text));
        }
    }
    if (file.bad()) {
        fail_io("cannot read", path_);
    }
    // Two lines for one pool cannot both be right.
    for (std::size_t i = 0; i < pools_.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (pools_[i].base && pools_[i].base == pools_[j].base && pools_[i].problem.empty()) {
                pools_[i].problem = "a second block for the pool of line " + std::to_string(pools_[j].line);
                pools_[i].pool.reset();
            }
        }
    }
}

StateFile::~StateFile() {
    if (lock_fd_ >= 0) {
        ::close(lock_fd_); // releases the lock
    }
}

PoolLine *StateFile::find(const revevidozi::Wwn &base) {
    for (auto &line : pools_) {
        if (line.base == base) {
            return &line;
        }
    }
    return nullptr;
}

void StateFile::require_trustworthy(const PoolLine *spared) const {
    for (const auto &line : pools_) {
        if (!line.pool && &line != spared) {
            std::string hint = line.base ? "; if it is the pool of page P of this host, reset it with 'wwnpool init "
                                           "--page P --force' (all its addresses become free)"
                                         : "; repair or remove that line by hand";
            throw Failure(kBadState, path_.string() + " line " + std::to_string(line.line) + ": " + line.problem +
                                         "; the file is left as it is" + hint);
        }
    }
}

PoolLine &StateFile::add(revevidozi::Pool pool) {
    PoolLine line;
    line.base = pool.base();
    line.pool = std::move(pool);
    pools_.push_back(std::move(line));
    return pools_.back();
}

void StateFile::save() {
    std::string data = kHeader;
    for (const auto &line : pools_) {
        data += line.pool ? block_text(*line.pool) : line.text;
        data += '\n';
    }
    const fs::path folder = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
    const std::string temp_prefix = "." + path_.filename().string() + ".";
    // Under the exclusive lock no other writer is at work, so any temporary
    // file left here is from one that was killed: remove it.
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == temp_prefix.size() + 6 && name.starts_with(temp_prefix)) {
            fs::remove(entry.path(), ec);
        }
    }
    std::string temp = (folder / (temp_prefix + "XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        fail_io("cannot create a temporary file beside", path_);
    }
    try {
        write_all(fd, data, temp);
        if (::fsync(fd) != 0) {
            fail_io("cannot flush", temp);
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    ::close(fd);
    if (::rename(temp.c_str(), path_.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        fail_io("cannot replace", path_);
    }
    // The rename itself must reach the disk too.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace wwnpool
