#include "state_file.hpp"

#include "output.hpp"
#include "text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <unordered_map>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace wwnpool {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlockDigits = std::size_t{2} * WWN_POOL_CFG_SIZE;
constexpr std::size_t kBaseDigitsFrom = std::size_t{2} * WWN_POOL_CFG_BASE_OFFSET;
constexpr std::size_t kBaseDigitsEnd = kBaseDigitsFrom + 16; // all up to and including the base
constexpr off_t kMaxFileSize = off_t{16} << 20;
constexpr int kMaxUnreadableLines = 1000;
// Format 1 had only pool lines; format 2 adds address records, which format 1
// tools refuse as damaged lines rather than drop.
// Every line of it starts with kOwnPrefix, so that it is told from the
// comments people add, which are kept.
constexpr std::string_view kOwnPrefix = "# wwnpool state";
constexpr const char *kHeader =
    "# wwnpool state, format 2: a pool per line, its 152-byte block as 304 hex digits; then\n"
    "# wwnpool state: A <address> <partner or -> <owner as hex or -> <CRC-32>: an owner, a pair;\n"
    "# wwnpool state: R <address> <released at, seconds since 1970> <CRC-32>: an address that rests.\n";

// The base of the pool an address belongs to, if it is a pool address.
std::optional<revevidozi::Wwn> pool_base_of(const revevidozi::Wwn &address) {
    std::error_code ec;
    const auto origin = revevidozi::origin_of(address, ec);
    return origin ? revevidozi::pool_base(origin->local, origin->page, ec) : std::nullopt;
}

bool is_rest(const RecordLine &line) {
    return line.text.starts_with("R ");
}

bool all_hex(std::string_view s) {
    return s.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// The base a line names in its base digits, if they are there and are a
// pool base: a cut line still tells which pool it was.
std::optional<revevidozi::Wwn> claimed_base(std::string_view text) {
    if (text.size() < kBaseDigitsEnd || !all_hex(text.substr(0, kBaseDigitsEnd))) {
        return std::nullopt;
    }
    const auto base = revevidozi::Wwn::parse(text.substr(kBaseDigitsFrom, 16));
    const wwn_t raw = base->raw();
    return wwn_pool_validate_base_addr(&raw) == WWN_POOL_OK ? base : std::nullopt;
}

// Only zeros where this tool never writes anything else: a block the library
// verifies but that has other bytes there was not written by this tool.
bool unused_bytes_zero(const revevidozi::Pool::Block &block) {
    const auto zero = [&](std::size_t from, std::size_t to) {
        return std::all_of(block.begin() + static_cast<std::ptrdiff_t>(from),
                           block.begin() + static_cast<std::ptrdiff_t>(to), [](std::uint8_t b) { return b == 0; });
    };
    return zero(WWN_POOL_CFG_VERSION_OFFSET + 1, WWN_POOL_CFG_BASE_OFFSET) &&
           zero(WWN_POOL_CFG_RESERVED_OFFSET, WWN_POOL_CFG_SIZE);
}

PoolLine read_line(int number, std::string_view text) {
    PoolLine line{number, std::string(text), claimed_base(text), std::nullopt, {}};
    if (text.size() != kBlockDigits || !all_hex(text)) {
        line.problem = "not a pool block (expected " + std::to_string(kBlockDigits) + " hex digits, found " +
                       std::to_string(text.size()) + " characters)";
        return line;
    }
    revevidozi::Pool::Block block{};
    string_to_hbytes(text.data(), block.data(), WWN_POOL_CFG_SIZE);
    std::error_code ec;
    auto pool = revevidozi::Pool::adopt(block, ec);
    if (ec) {
        line.problem = ec.message();
    } else if (!line.base) {
        line.problem = "its base " + pool->base().str() + " is not the base of a pool";
    } else if (!unused_bytes_zero(block)) {
        line.problem = "bytes that must be zero are not";
    } else {
        line.pool = std::move(pool);
    }
    return line;
}

} // namespace

std::string block_text(const revevidozi::Pool &pool) {
    const auto block = pool.block();
    std::string text(kBlockDigits + 1, '\0');
    hbytes_to_string(block.data(), text.data(), WWN_POOL_CFG_SIZE);
    text.pop_back();
    return text;
}

StateFile::StateFile(StateLocation location, Access access)
    : location_(std::move(location)), target_(follow_symlinks(location_.path)) {
    struct stat st {};
    if (::lstat(target_.c_str(), &st) == 0) {
        check_kind(st);
    } else if (errno != ENOENT) {
        fail_io("cannot read", target_, errno);
    }
    if (access == Access::kChange) {
        lock();
    }
    read();
}

StateFile::~StateFile() {
    if (lock_fd_ >= 0) {
        ::close(lock_fd_); // releases the lock
    }
}

void StateFile::check_kind(const struct stat &st) const {
    if (!S_ISREG(st.st_mode)) {
        throw Failure(kBadState,
                      shown(target_.string()) + " is not a regular file; name the state file itself with --state");
    }
    if (st.st_nlink > 1) {
        throw Failure(kBadState, shown(target_.string()) + " has " + std::to_string(st.st_nlink) +
                                     " hard links; the state must be one file: keep one name and remove the others, "
                                     "or use a symbolic link");
    }
}

void StateFile::lock() {
    const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        fail_io("cannot create the folder of", target_, ec.value());
    }
    // Refused now rather than after the work: the new file is made in there.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0) {
        fail_io("cannot change files in", folder, errno);
    }
    // Never follow a link here: one planted as the lock would make root
    // create or open any file it points to.
    const fs::path lock = target_.string() + ".lock";
    constexpr int kFlags = O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    lock_fd_ = ::open(lock.c_str(), O_RDWR | kFlags, 0644);
    if (lock_fd_ < 0 && errno == EACCES) {
        lock_fd_ = ::open(lock.c_str(), O_RDONLY | kFlags, 0644); // flock needs no write access
    }
    if (lock_fd_ < 0 && errno == ELOOP) {
        throw Failure(kBadState, shown(lock.string()) + " is a symbolic link, which is never followed; remove it, "
                                                        "then try again");
    }
    if (lock_fd_ < 0) {
        fail_io("cannot open the lock file", lock, errno);
    }
    struct stat st {};
    if (::fstat(lock_fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        throw Failure(kBadState, shown(lock.string()) + " is not a regular file; remove it, then try again");
    }
    while (::flock(lock_fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            fail_io("cannot lock", lock, errno);
        }
    }
}

void StateFile::read() {
    // O_NONBLOCK: a FIFO put there since the check must not hang the reader.
    const int fd = ::open(target_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return; // no state yet
        }
        fail_io("cannot read", target_, errno);
    }
    std::string data;
    try {
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            fail_io("cannot read", target_, errno);
        }
        check_kind(st);
        owner_ = FileOwner{static_cast<mode_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
        // The size is only a hint: the file may grow while it is read.
        data.reserve(static_cast<std::size_t>(std::min(st.st_size, kMaxFileSize)) + 1);
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                fail_io("cannot read", target_, errno);
            }
            if (n == 0) {
                break;
            }
            data.append(chunk, static_cast<std::size_t>(n));
            if (data.size() > static_cast<std::size_t>(kMaxFileSize)) {
                throw Failure(kBadState, shown(target_.string()) +
                                             " is larger than 16 MiB, far more than any state file; check that "
                                             "--state names the right file");
            }
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);

    std::unordered_map<std::uint64_t, std::size_t> first_of_pool;
    int unreadable = 0;
    std::string_view rest = data;
    for (int number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        std::string_view text = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
            text.remove_suffix(1);
        }
        if (text.empty()) {
            continue;
        }
        if (text.front() == '#') {
            if (!text.starts_with(kOwnPrefix)) {
                comments_.emplace_back(text);
            }
            continue;
        }
        if (is_record_line(text)) {
            RecordLine line{number, std::string(text), std::nullopt, {}};
            if (const auto address = record_address(text)) {
                line.base = pool_base_of(*address);
            }
            if (is_rest(line)) {
                if (const auto rest = parse_rest(text, &line.problem); rest && line.base) {
                    if (!rests_.emplace(rest->address.value(), rest->since).second) {
                        line.problem = "a second rest record for " + rest->address.str();
                    }
                } else if (line.problem.empty()) {
                    line.problem = "rest record of an address that is in no pool";
                }
            } else if (const auto record = parse_record(text, &line.problem); record && line.base) {
                if (!records_.emplace(record->address.value(), *record).second) {
                    line.problem = "a second record for " + record->address.str();
                }
            } else if (line.problem.empty()) {
                line.problem = "address record of an address that is in no pool";
            }
            if (!line.base && ++unreadable > kMaxUnreadableLines) {
                throw Failure(kBadState, shown(target_.string()) + " has too many lines that cannot be read");
            }
            record_lines_.push_back(std::move(line));
            continue;
        }
        PoolLine line = read_line(number, text);
        if (!line.base && ++unreadable > kMaxUnreadableLines) {
            throw Failure(kBadState, shown(target_.string()) + " has more than " + std::to_string(kMaxUnreadableLines) +
                                         " lines that are not pool blocks; check that --state names the right file");
        }
        if (line.base) {
            const auto [first, fresh] = first_of_pool.emplace(line.base->value(), pools_.size());
            if (!fresh) {
                // Two lines for one pool cannot both be right.
                PoolLine &other = pools_[first->second];
                line.problem = "the pool of line " + std::to_string(other.line) + " again";
                line.pool.reset();
                if (other.pool) {
                    other.problem = "the same pool is on line " + std::to_string(line.line) + " too";
                    other.pool.reset();
                }
            }
        }
        pools_.push_back(std::move(line));
    }
    check_records();
}

// A record is trusted only if what it says holds: its address is allocated in
// a trusted pool, and a partner is the same index of the partner page and
// names this address back.
void StateFile::check_records() {
    const auto allocated = [&](const revevidozi::Wwn &address) {
        const auto base = pool_base_of(address);
        PoolLine *line = base ? find(*base) : nullptr;
        return line != nullptr && line->pool && line->pool->in_use(address);
    };
    for (auto &line : record_lines_) {
        if (!line.problem.empty()) {
            continue;
        }
        if (is_rest(line)) {
            const revevidozi::Wwn address = *record_address(line.text);
            const auto base = pool_base_of(address);
            const PoolLine *pool = base ? find(*base) : nullptr;
            if (pool == nullptr || !pool->pool || allocated(address)) {
                line.problem = "a rest record of " + address.str() + ", which its pool does not hold free";
            }
            continue;
        }
        const AddressRecord &record = records_.at(record_address(line.text)->value());
        if (!allocated(record.address)) {
            line.problem = "a record of " + record.address.str() + ", which its pool does not hold allocated";
        } else if (record.partner) {
            const auto back = records_.find(record.partner->value());
            const auto mine = revevidozi::origin_of(record.address);
            const auto theirs = revevidozi::origin_of(*record.partner);
            if (back == records_.end() || back->second.partner != record.address || !allocated(*record.partner) ||
                mine.local != theirs.local || (mine.page ^ 1U) != theirs.page ||
                revevidozi::index_of(record.address) != revevidozi::index_of(*record.partner)) {
                line.problem = "a record pairing " + record.address.str() + " with " + record.partner->str() +
                               ", which is no partner of it";
            }
        }
    }
    for (const auto &line : record_lines_) {
        if (!line.problem.empty()) {
            if (const auto address = record_address(line.text)) {
                (is_rest(line) ? rests_.erase(address->value()) : records_.erase(address->value()));
            }
        }
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

std::string StateFile::reset_advice(const std::optional<revevidozi::Wwn> &base) const {
    if (!base) {
        return "; it cannot tell which pool it held, so repair or remove that line by hand";
    }
    const revevidozi::PoolOrigin origin = revevidozi::origin_of(*base);
    const std::string state = location_.host_default ? "" : " --state '" + shown(location_.path.string()) + "'";
    return "; to give up its addresses, reset that pool with 'wwnpool" + state + " --local " + origin.local.str() +
           " init --page " + std::to_string(origin.page) + " --force' (all its addresses become free)";
}

PoolLine *StateFile::trusted(const revevidozi::Wwn &base) {
    for (const auto &line : record_lines_) {
        if (!line.problem.empty() && (!line.base || line.base == base)) {
            throw Failure(kBadState, shown(location_.path.string()) + " line " + std::to_string(line.line) + ": " +
                                         line.problem + ", so nothing can be said about pool " + base.str() +
                                         reset_advice(line.base));
        }
    }
    PoolLine *found = nullptr;
    for (auto &line : pools_) {
        if (!line.base || (line.base == base && !line.pool)) {
            throw Failure(kBadState, shown(location_.path.string()) + " line " + std::to_string(line.line) + ": " +
                                         line.problem + ", so nothing can be said about pool " + base.str() +
                                         reset_advice(line.base));
        }
        if (line.base == base && found == nullptr) {
            found = &line;
        }
    }
    return found;
}

void StateFile::require_trustworthy(const std::optional<revevidozi::Wwn> &spared) const {
    const auto refuse = [&](int number, const std::string &problem, const std::optional<revevidozi::Wwn> &base) {
        throw Failure(kBadState, shown(location_.path.string()) + " line " + std::to_string(number) + ": " + problem +
                                     "; the file is left as it is" + reset_advice(base));
    };
    for (const auto &line : pools_) {
        if (!line.pool && !(spared && line.base == spared)) {
            refuse(line.line, line.problem, line.base);
        }
    }
    for (const auto &line : record_lines_) {
        if (!line.problem.empty() && !(spared && line.base == spared)) {
            refuse(line.line, line.problem, line.base);
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

std::filesystem::path StateFile::keep_damaged(const revevidozi::Wwn &base) const {
    std::string lines;
    for (const auto &line : pools_) {
        if (line.base == base && !line.pool) {
            lines += line.text + '\n';
        }
    }
    for (const auto &line : record_lines_) {
        if (line.base == base && !line.problem.empty()) {
            lines += line.text + '\n';
        }
    }
    if (lines.empty()) {
        return {};
    }
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);
    char bare[17];
    std::snprintf(bare, sizeof bare, "%016llx", static_cast<unsigned long long>(base.value()));
    fs::path copy = target_.string() + ".damaged-" + stamp + "-" + bare;
    const std::string text = "# the damaged lines of pool " + base.str() + " in " + target_.string() +
                             ", as they were when the pool was reset\n" + lines;
    const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || !write_fully(fd, text) || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
            ::unlink(copy.c_str());
        }
        throw Failure(kBadState, "cannot keep the damaged lines in " + shown(copy.string()) + ": " +
                                     std::strerror(error) + "; nothing was changed");
    }
    ::close(fd);
    return copy;
}

PoolLine &StateFile::reset(revevidozi::Pool pool) {
    const revevidozi::Wwn base = pool.base();
    PoolLine *first = find(base);
    if (first == nullptr) {
        return add(std::move(pool));
    }
    first->pool = std::move(pool);
    first->problem.clear();
    const int keep = first->line;
    std::erase_if(pools_, [&](const PoolLine &l) { return l.base == base && l.line != keep; });
    std::erase_if(record_lines_, [&](const RecordLine &l) { return l.base == base; });
    // Its addresses are free now: they have no owners, and no partners elsewhere.
    std::erase_if(records_, [&](const auto &entry) { return pool_base_of(entry.second.address) == base; });
    std::erase_if(rests_, [&](const auto &entry) { return pool_base_of(revevidozi::Wwn(entry.first)) == base; });
    for (auto &[address, record] : records_) {
        if (record.partner && pool_base_of(*record.partner) == base) {
            record.partner.reset();
        }
    }
    std::erase_if(records_, [](const auto &entry) { return !entry.second.partner && entry.second.owner.empty(); });
    return *find(base);
}

const AddressRecord *StateFile::record(const revevidozi::Wwn &address) const {
    const auto found = records_.find(address.value());
    return found == records_.end() ? nullptr : &found->second;
}

void StateFile::put_record(const AddressRecord &record) {
    if (record.partner || !record.owner.empty()) {
        records_[record.address.value()] = record;
    } else {
        records_.erase(record.address.value());
    }
}

void StateFile::drop_record(const revevidozi::Wwn &address) {
    records_.erase(address.value());
}

std::optional<std::int64_t> StateFile::resting_since(const revevidozi::Wwn &address) const {
    const auto found = rests_.find(address.value());
    return found == rests_.end() ? std::nullopt : std::optional(found->second);
}

void StateFile::put_rest(const RestRecord &rest) {
    rests_[rest.address.value()] = rest.since;
}

void StateFile::drop_rest(const revevidozi::Wwn &address) {
    rests_.erase(address.value());
}

std::vector<RestRecord> StateFile::rests() const {
    std::vector<RestRecord> out;
    for (const auto &[address, since] : rests_) {
        out.push_back({revevidozi::Wwn(address), since});
    }
    return out;
}

std::vector<AddressRecord> StateFile::records() const {
    std::vector<AddressRecord> out;
    for (const auto &entry : records_) {
        out.push_back(entry.second);
    }
    return out;
}

std::optional<revevidozi::Wwn> StateFile::recorded_local() const {
    std::optional<revevidozi::Wwn> local;
    for (const auto &line : pools_) {
        if (line.base) {
            const revevidozi::Wwn own = revevidozi::origin_of(*line.base).local;
            if (local && *local != own) {
                return std::nullopt;
            }
            local = own;
        }
    }
    return local;
}

void StateFile::save() {
    std::string data = kHeader;
    for (const auto &comment : comments_) {
        data += comment + '\n';
    }
    for (const auto &line : pools_) {
        data += line.pool ? block_text(*line.pool) : line.text;
        data += '\n';
    }
    for (const auto &entry : records_) {
        data += record_text(entry.second) + '\n';
    }
    for (const auto &[address, since] : rests_) {
        data += rest_text({revevidozi::Wwn(address), since}) + '\n';
    }
    try {
        replace_file(target_, data, owner_);
    } catch (const NotDurable &e) {
        throw Failure(kBadState,
                      shown(target_.string()) + " was rewritten, but " + e.what() + " (" + e.code().message() +
                          "), so the change may not survive a crash; check the disk",
                      true);
    } catch (const std::system_error &e) {
        const int error = e.code().value();
        if (location_.host_default && (error == EACCES || error == EPERM || error == EROFS)) {
            fail_io("cannot change", target_, error);
        }
        throw Failure(kBadState, shown(e.what()) +
                                     "; nothing was changed; check the disk and the folder's permissions, or "
                                     "choose another state file with --state");
    }
}

void StateFile::fail_io(const std::string &what, const fs::path &file, int error) const {
    const std::string why = std::strerror(error);
    if (location_.host_default && (error == EACCES || error == EPERM || error == EROFS)) {
        throw Failure(kBadState, std::string("the pools belong to this host and live in ") + kHostState +
                                     ", which this user may not " +
                                     (what.starts_with("cannot read") ? "read" : "change") + " (" + why +
                                     "); run as root (or as a member of a group given write access there), or keep a "
                                     "private state with --state PATH, which no one else shares");
    }
    throw Failure(kBadState, what + " " + shown(file.string()) + ": " + why +
                                 "; check the path and its permissions, or choose another with --state");
}

} // namespace wwnpool
