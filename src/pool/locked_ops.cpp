// The pool's public working interface. Every operation is one critical
// section on the pool's mutex: verify the block, run the unlocked operation,
// renew the CRC. A block that fails verification is reported and left exactly
// as found; only wwn_pool_init makes it valid again.
#include "bitmap.hpp"
#include "block_layout.hpp"
#include "pool_ctrl.hpp"
#include "unlocked_ops.hpp"

namespace revevidozi::pool {
namespace {

inline void cpu_relax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

// A critical section lasts well under a microsecond, much less than a futex
// sleep and wake-up, so a contended lock is first retried, with exponential
// backoff, before the thread blocks. The backoff lets the holder run several
// operations in a row instead of handing the block's cache lines over after
// each one; it is bounded (about 4000 pauses, tens of microseconds) so that a
// waiter falls back to the fair, sleeping lock soon.
class PoolLock {
  public:
    explicit PoolLock(wwn_pool_ctrl &ctrl) noexcept : mutex_(ctrl.mutex) {
        for (int attempt = 0; attempt < kSpinAttempts; ++attempt) {
            if (pthread_mutex_trylock(&mutex_) == 0) {
                return;
            }
            for (int pause = 0; pause < (1 << attempt) * 4; ++pause) {
                cpu_relax();
            }
        }
        pthread_mutex_lock(&mutex_);
    }
    ~PoolLock() { pthread_mutex_unlock(&mutex_); }
    PoolLock(const PoolLock &) = delete;
    PoolLock &operator=(const PoolLock &) = delete;

  private:
    static constexpr int kSpinAttempts = 10;
    pthread_mutex_t &mutex_;
};

// Runs op(base, bitmap) on a verified block and renews the CRC afterwards,
// whatever op returned.
template <typename Op> std::uint32_t guarded(wwn_pool_ctrl &ctrl, wwn_pool_cfg &cfg, Op &&op) noexcept {
    const PoolLock lock(ctrl);
    std::uint32_t status = check_block(cfg);
    if (status == WWN_POOL_OK) {
        status = op(base_of(cfg), bitmap_of(cfg));
        renew_block_crc(cfg);
    }
    return status;
}

std::uint32_t pool_usage(wwn_pool_ctrl &ctrl, const wwn_pool_cfg &cfg, wwn_pool_usage &usage) noexcept {
    const PoolLock lock(ctrl);
    const std::uint32_t status = check_block(cfg);
    if (status == WWN_POOL_OK) {
        const std::uint32_t used = bitmap::used_count(bitmap_of(cfg));
        usage.free_count = kAddressesPerPool - used;
        usage.used_count = used;
    }
    return status;
}

} // namespace
} // namespace revevidozi::pool

using namespace revevidozi::pool;

extern "C" {

REVEVIDOZI_API uint32_t wwn_pool_addr_alloc(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, int32_t count, wwn_t *out) {
    if (ctrl == nullptr || cfg == nullptr || out == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return guarded(*ctrl, *cfg,
                   [&](std::uint8_t *base, std::uint8_t *bitmap) { return alloc_batch(base, bitmap, count, out); });
}

REVEVIDOZI_API uint32_t wwn_pool_usr_addr_alloc(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *addr) {
    if (ctrl == nullptr || cfg == nullptr || addr == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return guarded(*ctrl, *cfg,
                   [&](std::uint8_t *base, std::uint8_t *bitmap) { return alloc_chosen(base, bitmap, *addr); });
}

REVEVIDOZI_API uint32_t wwn_pool_addr_release(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *addr) {
    if (ctrl == nullptr || cfg == nullptr || addr == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return guarded(*ctrl, *cfg, [&](std::uint8_t *base, std::uint8_t *bitmap) { return release(base, bitmap, *addr); });
}

REVEVIDOZI_API uint32_t wwn_pool_addr_release_all(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg) {
    if (ctrl == nullptr || cfg == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return guarded(*ctrl, *cfg, [](std::uint8_t *, std::uint8_t *bitmap) { return release_all(bitmap); });
}

REVEVIDOZI_API uint32_t wwn_pool_addr_status(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *addr) {
    if (ctrl == nullptr || cfg == nullptr || addr == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return guarded(*ctrl, *cfg,
                   [&](std::uint8_t *base, std::uint8_t *bitmap) { return status_of(base, bitmap, *addr); });
}

REVEVIDOZI_API uint32_t wwn_pool_pool_status(wwn_pool_ctrl *ctrl, const wwn_pool_cfg *cfg, wwn_pool_usage *usage) {
    if (ctrl == nullptr || cfg == nullptr || usage == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return pool_usage(*ctrl, *cfg, *usage);
}

} // extern "C"
