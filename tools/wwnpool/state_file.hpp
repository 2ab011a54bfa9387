// The state file: the pools of one host and the records beside them (text
// format in state_text.hpp). A change holds an exclusive lock on a companion
// "<state>.lock" file (the state file itself is replaced on every change, so
// it cannot carry the lock) for its whole read-modify-write, and replaces the
// file atomically. Reading needs no lock: a reader sees the old file or the
// new one, whole.
#pragma once

#include "atomic_file.hpp"
#include "failure.hpp"
#include "state_path.hpp"
#include "state_text.hpp"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace wwnpool {

// A line that cannot be trusted stands in the way: `base` is the pool it
// belongs to, when that can be told, so that the caller can say how to
// reset it.
struct UntrustedLine : Failure {
    std::optional<revevidozi::Wwn> base;
    UntrustedLine(const std::string &message, const std::optional<revevidozi::Wwn> &pool)
        : Failure(kBadState, message), base(pool) {}
};

enum class Access { kRead, kChange };

class StateFile {
  public:
    // Checks, locks (for a change) and reads the state; a missing file holds
    // no pools. A file that is not one regular file of sane size is refused
    // before anything is created, locked or read.
    StateFile(StateLocation location, Access access);
    ~StateFile();
    StateFile(const StateFile &) = delete;
    StateFile &operator=(const StateFile &) = delete;

    const std::filesystem::path &path() const { return location_.path; }
    const StateLocation &location() const { return location_; }
    std::list<PoolLine> &pools() { return text_.pools; }
    const std::vector<RecordLine> &record_lines() const { return text_.records; }

    // The first line that claims the pool of this base, trusted or not.
    PoolLine *find(const revevidozi::Wwn &base);

    // The line of this pool for an answer: nullptr when the file has no such
    // pool; fails with UntrustedLine when the pool's line is damaged or
    // present twice, or a line that cannot be told apart could be this pool.
    PoolLine *trusted(const revevidozi::Wwn &base);

    // Fails with UntrustedLine naming the first line that cannot be trusted,
    // other than those of the pool `spared` (about to be reset), so nothing
    // is rewritten over a block that cannot be trusted.
    void require_trustworthy(const std::optional<revevidozi::Wwn> &spared = {}) const;

    // A fresh pool, added as a new line; lines already held stay where they are.
    PoolLine &add(revevidozi::Pool pool);
    // Keeps the damaged lines of a pool in a new file beside the state, so
    // that the names in use can be recovered by hand after a reset; returns
    // its path, or an empty one when the pool has no damaged line.
    std::filesystem::path keep_damaged(const revevidozi::Wwn &base) const;

    // A fresh pool in place of every line of its base.
    PoolLine &reset(revevidozi::Pool pool);

    // The owner and partner recorded for an allocated address, if any.
    const AddressRecord *record(const revevidozi::Wwn &address) const;
    // Records `record` for its address (an allocated one), replacing any.
    void put_record(const AddressRecord &record);
    void drop_record(const revevidozi::Wwn &address);
    // Every record, in address order.
    std::vector<AddressRecord> records() const;

    // Since when a released address rests (seconds since 1970), if it does.
    std::optional<std::int64_t> resting_since(const revevidozi::Wwn &address) const;
    void put_rest(const RestRecord &rest);
    void drop_rest(const revevidozi::Wwn &address);
    std::vector<RestRecord> rests() const;

    // Marks a free address of `pool` allocated, for `record` (its owner and
    // partner): it no longer rests.
    void hold(revevidozi::Pool &pool, const AddressRecord &record);

    // The local WWN of every pool in the file, when they share one.
    std::optional<revevidozi::Wwn> recorded_local() const;

    // Writes every pool back, atomically.
    void save();

  private:
    [[noreturn]] void fail_io(const std::string &what, const std::filesystem::path &file, int error) const;
    [[noreturn]] void refuse(int line, const std::string &problem, const std::optional<revevidozi::Wwn> &base,
                             const std::string &consequence) const;
    void check_kind(const struct stat &st) const;
    void lock();
    std::string read_all();
    void check_pools();
    void check_records();

    StateLocation location_;
    std::filesystem::path target_; // the file the path finally names
    int lock_fd_ = -1;
    StateText text_;                                 // as read, damaged lines included
    std::map<std::uint64_t, AddressRecord> records_; // the trusted ones, by address
    std::map<std::uint64_t, std::int64_t> rests_;    // trusted rest records: address, since
    std::optional<FileOwner> owner_;                 // of the file as read
};

} // namespace wwnpool
