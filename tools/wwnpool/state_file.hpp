// The state file: the pools of one host and the records beside them (text
// format in state_text.hpp). A change holds the state's lock (state_lock.hpp)
// for its whole read-modify-write, and replaces the file atomically. Reading
// needs no lock: a reader sees the old file or the new one, whole.
#pragma once

#include "atomic_file.hpp"
#include "failure.hpp"
#include "state_lock.hpp"
#include "state_path.hpp"
#include "state_text.hpp"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace wwnpool {

// A line that cannot be trusted stands in the way. Its remedy: a damaged
// pool line costs its pool (reset `base`, every name free); records and the
// closing line are repaired, keeping every block; a line that names no pool
// is mended by hand.
enum class Remedy { kReset, kRepair, kByHand };

struct UntrustedLine : Failure {
    Remedy remedy;
    std::optional<revevidozi::Wwn> base;
    UntrustedLine(const std::string &message, Remedy how, const std::optional<revevidozi::Wwn> &pool)
        : Failure(kBadState, message), remedy(how), base(pool) {}
};

// What a repair did.
struct Repair {
    std::filesystem::path kept; // the dropped lines, as they were; empty when none
    int dropped = 0;            // records gone
    int unlinked = 0;           // records kept without their partner
    int rested = 0;             // damaged rest records whose address now rests from now on
    int merged = 0;             // pools whose copies were merged
    bool resealed = false;      // the closing line was missing or wrong
};

enum class Access { kRead, kChange };

class StateFile {
  public:
    // Checks, locks (for a change) and reads the state; a missing file holds
    // no pools. A file that is not one regular file of sane size is refused
    // before anything is created, locked or read.
    StateFile(StateLocation location, Access access, std::optional<std::chrono::seconds> wait = std::nullopt);
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

    // A fresh pool in place of every line of its base. A record elsewhere
    // that pairs an address with one of this pool keeps its owner and loses
    // the link.
    PoolLine &reset(revevidozi::Pool pool);

    // Drops the records that fail their checks (keeping the owner of one
    // whose only fault is its partner), rests afresh a free address whose rest
    // record is damaged, merges copies of a pool that each read (a name in use
    // in either stays in use), and seals the file anew. Pool lines that
    // cannot be read stay as they are: only a reset gets past them.
    Repair repair();

    // Every line that cannot be trusted, in file order: its number, problem
    // and remedy.
    struct Untrusted {
        int line; // 0: none (the closing line is missing)
        std::string problem;
        Remedy remedy;
        std::optional<revevidozi::Wwn> base;                     // the pool to reset, for Remedy::kReset
        std::optional<revevidozi::Wwn> spoils;                   // the pool whose answers it spoils; none: every pool
        enum Kind { kPoolLine, kRecordLine, kClosingLine } kind; // a closing line spoils every pool
    };
    std::vector<Untrusted> untrusted() const;

    // The owner and partner recorded for an allocated address, if any.
    const AddressRecord *record(const revevidozi::Wwn &address) const;
    // Records `record` for its address (an allocated one), replacing any.
    void put_record(const AddressRecord &record);
    void drop_record(const revevidozi::Wwn &address);
    // Records a port/node pair: each name's record names the other.
    void put_pair(const revevidozi::Wwn &port, const revevidozi::Wwn &node, const std::string &owner);
    // "port" or "node" for a name of a recorded pair, nullptr for any other
    // address. In pairs recorded before the node was marked, the name of the
    // even page is the port, as 'alloc --pair' gives it by default.
    const char *role(const revevidozi::Wwn &address) const;
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
    // What save() does first (a failure there leaves the file as it was),
    // once the file is replaced, and when it could not be: the registry's
    // part in a change.
    struct SaveHooks {
        std::function<void()> before, after, abandoned;
    };
    void on_save(SaveHooks hooks) { hooks_ = std::move(hooks); }

  private:
    [[noreturn]] void fail_io(const std::string &what, const std::filesystem::path &file, int error) const;
    [[noreturn]] void refuse(const Untrusted &line, const std::string &consequence) const;
    std::filesystem::path keep_lines(const std::string &what, const std::string &tag, const std::string &lines) const;
    bool allocated(const revevidozi::Wwn &address);
    void check_kind(const struct stat &st) const;
    std::string read_all(bool *exists);
    void check_pools();
    void check_records();

    StateLocation location_;
    std::filesystem::path target_;                   // the file the path finally names
    std::optional<StateLock> lock_;                  // held by a change
    std::optional<std::vector<Untrusted>> judged_;   // untrusted(), kept while no line changes
    StateText text_;                                 // as read, damaged lines included
    std::map<std::uint64_t, AddressRecord> records_; // the trusted ones, by address
    std::map<std::uint64_t, std::int64_t> rests_;    // trusted rest records: address, since
    std::optional<FileOwner> owner_;                 // of the file as read
    SaveHooks hooks_;
};

} // namespace wwnpool
