// The state file: one line of hex text per pool, holding the pool's whole
// 152-byte block. It is read under a lock on a companion "<state>.lock" file
// (the state file itself is replaced on every change, so it cannot carry the
// lock), shared for reading and exclusive for a whole read-modify-write, and
// written by replacing it atomically: a crash leaves the old or the new file,
// never a mix.
#pragma once

#include "cli.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace wwnpool {

// One pool line of the file.
struct PoolLine {
    int line = 0;                         // 1-based line number in the file
    std::string text;                     // as read; written back unchanged if not adopted
    std::optional<revevidozi::Wwn> base;  // the stored base, if the line holds 152 bytes
    std::optional<revevidozi::Pool> pool; // the adopted pool, if the library verified it
    std::string problem;                  // why not, for a line without a pool
};

enum class Access { kRead, kChange };

class StateFile {
  public:
    // Locks and reads the state at `path`; a missing file holds no pools.
    StateFile(std::filesystem::path path, Access access);
    ~StateFile();
    StateFile(const StateFile &) = delete;
    StateFile &operator=(const StateFile &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::vector<PoolLine> &pools() { return pools_; }

    // The line holding the pool of this base, if any.
    PoolLine *find(const revevidozi::Wwn &base);

    // Fails with kBadState naming the first damaged or unreadable line other
    // than `spared` (the one about to be reset), so nothing is rewritten over
    // a block that cannot be trusted.
    void require_trustworthy(const PoolLine *spared = nullptr) const;

    // A fresh pool for (local, page), added as a new line.
    PoolLine &add(revevidozi::Pool pool);

    // Writes every pool back, atomically.
    void save();

  private:
    std::filesystem::path path_;
    int lock_fd_ = -1;
    std::vector<PoolLine> pools_;
};

// A pool's block as the line of hex text the file holds.
std::string block_text(const revevidozi::Pool &pool);

// --state, else $WWNPOOL_STATE, else $XDG_STATE_HOME/wwnpool/pools, else
// ~/.local/state/wwnpool/pools.
std::filesystem::path state_path(const Args &args);

} // namespace wwnpool
