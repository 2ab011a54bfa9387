#include "state_file.hpp"

#include "fd_io.hpp"
#include "pool_address.hpp"
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

constexpr off_t kMaxFileSize = off_t{16} << 20;
constexpr int kMaxUnreadableLines = 1000;

// The pool of the partner a record line pairs its address with, if it reads.
std::optional<revevidozi::Wwn> partner_pool(const RecordLine &line) {
    return line.record && line.record->partner ? pool_base_of(*line.record->partner) : std::nullopt;
}

} // namespace

StateFile::StateFile(StateLocation location, Access access, std::optional<std::chrono::seconds> wait)
    : location_(std::move(location)), target_(follow_symlinks(location_.path)) {
    if (!target_.has_filename()) {
        throw Failure(kBadState, shown(location_.path.string()) +
                                     " ends in '/', so it names a folder, not a file; name the state file itself "
                                     "with --state");
    }
    struct stat st {};
    std::optional<mode_t> mode;
    if (::lstat(target_.c_str(), &st) == 0) {
        check_kind(st);
        mode = st.st_mode;
    } else if (errno != ENOENT) {
        fail_io("cannot read", target_, errno);
    }
    if (access == Access::kChange) {
        try {
            lock_.emplace(target_, mode, wait);
        } catch (const Failure &failure) {
            // Only the host's state gets advice on its permissions.
            if (!location_.host_default || failure.exit != kBadState) {
                throw;
            }
            const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
            if (::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EROFS)) {
                fail_io("cannot change", target_, errno);
            }
            throw;
        }
    }
    bool exists = false;
    const std::string data = read_all(&exists);
    text_ = parse_state_text(data, kMaxUnreadableLines);
    if (exists && text_.format == 0) {
        // A redirect into the state file empties it before the tool runs:
        // taken for a fresh state, it would hand out every name again.
        throw Failure(kBadState, shown(target_.string()) +
                                     (data.empty() ? " is empty" : " does not begin with a wwnpool state header") +
                                     ", so it is no state file; nothing was changed; check that --state names the "
                                     "right file, or remove it to begin a new state");
    }
    if (text_.unreadable > kMaxUnreadableLines) {
        throw Failure(kBadState, shown(target_.string()) + " has more than " + std::to_string(kMaxUnreadableLines) +
                                     " lines that are not pool blocks; check that --state names the right file");
    }
    check_pools();
    check_records();
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

std::string StateFile::read_all(bool *exists) {
    // O_NONBLOCK: a FIFO put there since the check must not hang the reader.
    const int fd = ::open(target_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            *exists = false;
            return {}; // no state yet
        }
        fail_io("cannot read", target_, errno);
    }
    *exists = true;
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
    return data;
}

// Two lines for one pool cannot both be right.
void StateFile::check_pools() {
    std::unordered_map<std::uint64_t, PoolLine *> first_of_pool;
    for (auto &line : text_.pools) {
        if (!line.base) {
            continue;
        }
        const auto [first, fresh] = first_of_pool.emplace(line.base->value(), &line);
        if (!fresh) {
            PoolLine &other = *first->second;
            line.problem = "the pool of line " + std::to_string(other.line) + " again";
            line.copy = line.pool.has_value();
            line.pool.reset();
            if (other.pool) {
                other.problem = "the same pool is on line " + std::to_string(line.line) + " too";
                other.copy = true;
                other.pool.reset();
            }
        }
    }
}

// A record is trusted only if what it says holds: one record an address, its
// address allocated in a trusted pool (free, for a rest record), and a
// partner that is the same index of the partner page and names this address
// back.
void StateFile::check_records() {
    for (auto &line : text_.records) {
        if (line.rest && !rests_.emplace(line.rest->address.value(), line.rest->since).second) {
            line.problem = "a second rest record for " + line.rest->address.str();
        } else if (line.record && !records_.emplace(line.record->address.value(), *line.record).second) {
            line.problem = "a second record for " + line.record->address.str();
        }
    }
    for (auto &line : text_.records) {
        if (!line.problem.empty()) {
            continue;
        }
        if (line.rest) {
            const revevidozi::Wwn &address = line.rest->address;
            const PoolLine *pool = find(*line.base);
            if (pool == nullptr || !pool->pool || allocated(address)) {
                line.problem = "a rest record of " + address.str() + ", which its pool does not hold free";
            }
            continue;
        }
        const AddressRecord &record = *line.record;
        if (!allocated(record.address)) {
            line.problem = "a record of " + record.address.str() + ", which its pool does not hold allocated";
        } else if (record.partner) {
            const auto back = records_.find(record.partner->value());
            if (back == records_.end() || back->second.partner != record.address || !allocated(*record.partner) ||
                !are_partners(record.address, *record.partner) || (record.node && back->second.node)) {
                line.problem = "a record pairing " + record.address.str() + " with " + record.partner->str() +
                               ", which is no partner of it";
            }
        }
    }
    for (const auto &line : text_.records) {
        if (!line.problem.empty()) {
            if (const auto address = record_address(line.text)) {
                (line.text.starts_with("R ") ? rests_.erase(address->value()) : records_.erase(address->value()));
            }
        }
    }
}

bool StateFile::allocated(const revevidozi::Wwn &address) {
    const auto base = pool_base_of(address);
    PoolLine *line = base ? find(*base) : nullptr;
    return line != nullptr && line->pool && line->pool->in_use(address);
}

PoolLine *StateFile::find(const revevidozi::Wwn &base) {
    for (auto &line : text_.pools) {
        if (line.base == base) {
            return &line;
        }
    }
    return nullptr;
}

std::vector<StateFile::Untrusted> StateFile::untrusted() const {
    std::vector<Untrusted> found;
    std::map<std::uint64_t, bool> pool_trusted; // by base, for the lines that are there
    std::map<std::uint64_t, bool> copies_read;  // every line of the base reads on its own: a repair merges them
    for (const auto &line : text_.pools) {
        if (line.base) {
            const auto [entry, fresh] = pool_trusted.emplace(line.base->value(), line.pool.has_value());
            entry->second = entry->second && line.pool.has_value();
            const auto [copies, first] = copies_read.emplace(line.base->value(), line.copy);
            copies->second = copies->second && line.copy;
        }
    }
    for (const auto &line : text_.pools) {
        if (!line.pool) {
            const Remedy remedy = !line.base                           ? Remedy::kByHand
                                  : copies_read.at(line.base->value()) ? Remedy::kRepair
                                                                       : Remedy::kReset;
            found.push_back({line.line, line.problem, remedy, line.base, line.base, Untrusted::kPoolLine});
        }
    }
    const auto damaged_pool = [&](const std::optional<revevidozi::Wwn> &base) {
        const auto entry = base ? pool_trusted.find(base->value()) : pool_trusted.end();
        return entry != pool_trusted.end() && !entry->second;
    };
    for (const auto &line : text_.records) {
        if (line.problem.empty()) {
            continue;
        }
        // Resetting a damaged pool settles the records that depend on it.
        const auto partner_base = partner_pool(line);
        const auto reset_base = damaged_pool(line.base)      ? line.base
                                : damaged_pool(partner_base) ? partner_base
                                                             : std::nullopt;
        found.push_back({line.line, line.problem, reset_base ? Remedy::kReset : Remedy::kRepair,
                         reset_base ? reset_base : line.base, line.base, Untrusted::kRecordLine});
    }
    // A line damaged on its own changes the CRC too; its own problem says more.
    if (!text_.closing_problem.empty() && !(text_.only_changed && !found.empty())) {
        found.push_back({text_.closing_line, text_.closing_problem, Remedy::kRepair, std::nullopt, std::nullopt,
                         Untrusted::kClosingLine});
    }
    return found;
}

void StateFile::refuse(const Untrusted &line, const std::string &consequence) const {
    const std::string where = line.line == 0 ? "" : " line " + std::to_string(line.line);
    throw UntrustedLine(shown(location_.path.string()) + where + ": " + line.problem + consequence, line.remedy,
                        line.base);
}

PoolLine *StateFile::trusted(const revevidozi::Wwn &base) {
    // Asked once an operand: the lines are judged once, until one changes.
    if (!judged_) {
        judged_ = untrusted();
    }
    for (const auto &line : *judged_) {
        if (line.kind == Untrusted::kClosingLine || !line.spoils || line.spoils == base) {
            refuse(line, ", so nothing can be said about pool " + base.str());
        }
    }
    return find(base);
}

void StateFile::require_trustworthy(const std::optional<revevidozi::Wwn> &spared) const {
    for (const auto &line : untrusted()) {
        // A reset of `spared` drops its lines and the links into it.
        const bool settled =
            spared && line.kind != Untrusted::kClosingLine && (line.spoils == spared || line.base == spared);
        if (!settled) {
            refuse(line, "; the file is left as it is");
        }
    }
}

PoolLine &StateFile::add(revevidozi::Pool pool) {
    judged_.reset();
    PoolLine line;
    line.base = pool.base();
    line.pool = std::move(pool);
    text_.pools.push_back(std::move(line));
    return text_.pools.back();
}

std::filesystem::path StateFile::keep_damaged(const revevidozi::Wwn &base) const {
    std::string lines;
    for (const auto &line : text_.pools) {
        if (line.base == base && !line.pool) {
            lines += line.text + '\n';
        }
    }
    for (const auto &line : text_.records) {
        const bool linked = partner_pool(line) == base;
        if (!line.problem.empty() && (line.base == base || linked)) {
            lines += line.text + '\n';
        }
    }
    char bare[17];
    std::snprintf(bare, sizeof bare, "%016llx", static_cast<unsigned long long>(base.value()));
    return lines.empty() ? fs::path()
                         : keep_lines("the damaged lines of pool " + base.str() + " in " + target_.string() +
                                          ", as they were when the pool was reset",
                                      bare, lines);
}

fs::path StateFile::keep_lines(const std::string &what, const std::string &tag, const std::string &lines) const {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);
    const std::string text = "# " + what + "\n" + lines;
    const std::string stem = target_.string() + ".damaged-" + stamp + "-" + tag;
    // A name of its own even for a second keep within the same second.
    for (int n = 0;; ++n) {
        fs::path copy = n == 0 ? fs::path(stem) : fs::path(stem + "." + std::to_string(n));
        const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST && n < 1000) {
            continue;
        }
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
}

PoolLine &StateFile::reset(revevidozi::Pool pool) {
    judged_.reset();
    const revevidozi::Wwn base = pool.base();
    PoolLine *first = find(base);
    if (first == nullptr) {
        return add(std::move(pool));
    }
    first->pool = std::move(pool);
    first->problem.clear();
    std::erase_if(text_.pools, [&](const PoolLine &l) { return l.base == base && &l != first; });
    for (const auto &line : text_.records) {
        // A name elsewhere paired with one of this pool keeps its owner; only the link goes.
        const bool linked = partner_pool(line) == base;
        if (linked && line.base != base && !line.problem.empty() && allocated(line.record->address) &&
            !line.record->owner.empty() && !records_.contains(line.record->address.value())) {
            records_[line.record->address.value()] = {line.record->address, std::nullopt, line.record->owner};
        }
    }
    std::erase_if(text_.records, [&](const RecordLine &l) { return l.base == base || partner_pool(l) == base; });
    // Its addresses are free now: they have no owners, and no partners elsewhere.
    std::erase_if(records_, [&](const auto &entry) { return pool_base_of(entry.second.address) == base; });
    std::erase_if(rests_, [&](const auto &entry) { return pool_base_of(revevidozi::Wwn(entry.first)) == base; });
    for (auto &[address, record] : records_) {
        if (record.partner && pool_base_of(*record.partner) == base) {
            record.partner.reset();
            record.node = false;
            record.vport.clear();
        }
    }
    std::erase_if(records_, [](const auto &entry) { return !entry.second.partner && entry.second.owner.empty(); });
    return *first;
}

Repair StateFile::repair() {
    judged_.reset();
    Repair done;
    done.resealed = !text_.closing_problem.empty();
    text_.closing_problem.clear();
    std::string dropped_lines;
    // Copies of one pool that each read: every name in use in either stays in use.
    for (auto &line : text_.pools) {
        std::vector<PoolLine *> copies;
        for (auto &other : text_.pools) {
            if (other.base && other.base == line.base) {
                copies.push_back(&other);
            }
        }
        std::vector<PoolLine> reread;
        reread.reserve(copies.size());
        for (const PoolLine *copy : copies) {
            reread.push_back(read_pool_line(copy->line, copy->text));
        }
        if (copies.size() < 2 || &line != copies.front() ||
            !std::all_of(reread.begin(), reread.end(), [](const PoolLine &l) { return l.pool.has_value(); })) {
            continue;
        }
        revevidozi::Pool merged = std::move(*reread.front().pool);
        for (std::size_t i = 1; i < reread.size(); ++i) {
            for (const auto &address : reread[i].pool->allocated()) {
                if (!merged.in_use(address)) {
                    merged.take(address);
                }
            }
        }
        for (std::size_t i = 1; i < copies.size(); ++i) {
            dropped_lines += copies[i]->text + '\n';
        }
        line.pool = std::move(merged);
        line.problem.clear();
        std::erase_if(text_.pools, [&](const PoolLine &l) { return l.base == line.base && &l != &line; });
        ++done.merged;
    }
    // The records again, from the lines, the first of an address winning.
    const auto pool_damaged = [&](const std::optional<revevidozi::Wwn> &base) {
        const PoolLine *line = base ? find(*base) : nullptr;
        return line != nullptr && !line->pool;
    };
    records_.clear();
    rests_.clear();
    std::vector<RecordLine> waiting; // on a damaged pool, whose reset settles them
    for (auto &line : text_.records) {
        const auto partner_base = partner_pool(line);
        if (pool_damaged(line.base) || pool_damaged(partner_base)) {
            waiting.push_back(line);
            continue;
        }
        const auto address = record_address(line.text);
        if (line.record && allocated(line.record->address) && !records_.contains(line.record->address.value())) {
            records_.emplace(line.record->address.value(), *line.record);
        } else if (line.rest && address && !allocated(*address) && !rests_.contains(address->value())) {
            rests_.emplace(address->value(), line.rest->since);
        } else if (line.text.starts_with("R ") && address && !line.rest && pool_base_of(*address) &&
                   find(*pool_base_of(*address)) != nullptr && !allocated(*address) &&
                   !rests_.contains(address->value())) {
            // Since when it rests is lost; resting from now keeps it out of use the longest.
            rests_.emplace(address->value(), static_cast<std::int64_t>(std::time(nullptr)));
            dropped_lines += line.text + '\n';
            ++done.rested;
        } else {
            dropped_lines += line.text + '\n';
            ++done.dropped;
        }
    }
    // A link must hold both ways; otherwise each side keeps only its owner.
    std::vector<std::uint64_t> unlink;
    for (const auto &[address, record] : records_) {
        if (record.partner) {
            const auto back = records_.find(record.partner->value());
            if (back == records_.end() || back->second.partner != record.address ||
                !are_partners(record.address, *record.partner) || (record.node && back->second.node)) {
                unlink.push_back(address);
            }
        }
    }
    for (const std::uint64_t address : unlink) {
        AddressRecord &record = records_.at(address);
        dropped_lines += record_text(record) + '\n';
        record.partner.reset();
        record.node = false;
        record.vport.clear();
        ++(record.owner.empty() ? done.dropped : done.unlinked);
        if (record.owner.empty()) {
            records_.erase(address);
        }
    }
    text_.records = std::move(waiting);
    if (!dropped_lines.empty()) {
        done.kept = keep_lines("the lines of " + target_.string() + " that a repair dropped or changed, as they were",
                               "repair", dropped_lines);
    }
    return done;
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

void StateFile::put_pair(const revevidozi::Wwn &port, const revevidozi::Wwn &node, const std::string &owner) {
    put_record({port, node, owner, false});
    put_record({node, port, owner, true});
}

const char *StateFile::role(const revevidozi::Wwn &address) const {
    const AddressRecord *own = record(address);
    if (own == nullptr || !own->partner) {
        return nullptr;
    }
    const AddressRecord *other = record(*own->partner);
    if (own->node || (other != nullptr && other->node)) {
        return own->node ? "node" : "port";
    }
    std::error_code ec;
    const auto origin = revevidozi::origin_of(address, ec);
    return origin && origin->page % 2 == 1 ? "node" : "port";
}

void StateFile::hold(revevidozi::Pool &pool, const AddressRecord &record) {
    pool.take(record.address);
    drop_rest(record.address);
    put_record(record);
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
    for (const auto &line : text_.pools) {
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
    if (hooks_.before) {
        hooks_.before();
    }
    const std::string data = state_text(text_.comments, text_.pools, records_, rests_, text_.records);
    try {
        replace_file(target_, data, owner_);
    } catch (const NotDurable &e) {
        if (hooks_.after) {
            try {
                hooks_.after(); // the file was replaced: the change stands
            } catch (const Failure &) {
                // This failure is the one to report; what the hook left undone, it left safe.
            }
        }
        throw Failure(kBadState,
                      shown(target_.string()) + " was rewritten, but " + e.what() +
                          ", so the change may not survive a crash; check the disk",
                      true);
    } catch (const std::system_error &e) {
        if (hooks_.abandoned) {
            hooks_.abandoned();
        }
        const int error = e.code().value();
        if (location_.host_default && (error == EACCES || error == EPERM || error == EROFS)) {
            fail_io("cannot change", target_, error);
        }
        throw Failure(kBadState, shown(e.what()) +
                                     "; nothing was changed; check the disk and the folder's permissions, or "
                                     "choose another state file with --state");
    }
    if (hooks_.after) {
        hooks_.after();
    }
}

void StateFile::fail_io(const std::string &what, const fs::path &file, int error) const {
    const std::string why = std::strerror(error);
    if (location_.host_default && (error == EACCES || error == EPERM || error == EROFS)) {
        throw Failure(kBadState,
                      std::string("the pools belong to this host and live in ") + kHostState +
                          ", which this user may not " + (what.starts_with("cannot read") ? "read" : "change") + " (" +
                          why +
                          "); run as root (or as a member of a group given write access there); the host's names "
                          "have this one ledger, and a private or test state (--state PATH) needs a "
                          "made-up --local WWN of its own");
    }
    throw Failure(kBadState, what + " " + shown(file.string()) + ": " + why +
                                 "; check the path and its permissions, or choose another with --state");
}

} // namespace wwnpool
