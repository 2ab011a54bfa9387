// The lock a change holds for its whole read-modify-write: an exclusive
// flock on a companion "<state>.lock" (the state file itself is replaced on
// every change, so it cannot carry the lock). Only those who may write the
// state may open it, so nobody else can hold it and stall the writers.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/types.h>

namespace wwnpool {

class StateLock {
  public:
    // Creates the folder and the lock file as needed and waits for the lock:
    // without a limit, saying on standard error who holds it once the wait
    // is more than a moment; with one, failing (nothing changed) after it.
    // `state_mode` is the state file's mode when it exists.
    StateLock(const std::filesystem::path &target, std::optional<mode_t> state_mode,
              std::optional<std::chrono::seconds> limit);
    ~StateLock();
    StateLock(const StateLock &) = delete;
    StateLock &operator=(const StateLock &) = delete;

  private:
    std::string holder() const;

    std::filesystem::path path_;
    int fd_ = -1;
};

// The mode a lock file gets: read and write for each class of users that may
// write the state, nobody else.
mode_t lock_mode(std::optional<mode_t> state_mode);

} // namespace wwnpool
