// A plain reference model of a pool block: its 152 bytes, with every bit and
// address worked out one index at a time, and a step that runs one operation
// on the library's block and on the model and compares every status, every
// delivered address and every byte. The pool fuzz target drives it, on its
// corpus and, as a test, on seeded random inputs.
#pragma once

#include "test_support.hpp"

#include <cstring>
#include <string>
#include <vector>

namespace reference {

inline constexpr std::size_t kBase = WWN_POOL_CFG_BASE_OFFSET;
inline constexpr std::size_t kBitmap = WWN_POOL_CFG_BITMAP_OFFSET;
inline constexpr std::size_t kCrc = WWN_POOL_CFG_CRC_OFFSET;

enum class OpKind { kBatch, kTake, kRelease, kReleaseAll, kStatus, kUsage };

struct Op {
    OpKind kind;
    bool locked;
    std::int32_t count; // kBatch
    std::uint64_t addr; // kTake, kRelease, kStatus
};

class Pool {
  public:
    explicit Pool(const wwn_pool_cfg &cfg) : cfg_(cfg) {}

    const std::uint8_t *bytes() const { return cfg_.bytes; }
    std::uint64_t base() const { return testsupport::value(*reinterpret_cast<const wwn_t *>(cfg_.bytes + kBase)); }
    bool used(std::uint32_t i) const { return ((cfg_.bytes[byte_of(i)] >> (i % 8)) & 1U) != 0; }
    std::uint32_t used_count() const {
        std::uint32_t n = 0;
        for (std::uint32_t i = 0; i < 1024; ++i) {
            n += used(i) ? 1 : 0;
        }
        return n;
    }

    // The check every locked operation makes first.
    std::uint32_t guard() const {
        if (crc32ForBuf(cfg_.bytes + kBase, kCrc - kBase) !=
            testsupport::value(*reinterpret_cast<const wwn_t *>(cfg_.bytes + kCrc)) >> 32) {
            return WWN_POOL_ERR_CRC;
        }
        return cfg_.bytes[0] == 1 ? WWN_POOL_OK : WWN_POOL_ERR_CFG_VERSION;
    }

    // The model's answer to `op`: its status, what it delivers into `out` or
    // `usage`, and the bytes it leaves.
    std::uint32_t run(const Op &op, wwn_t *out, wwn_pool_usage &usage) {
        if (op.locked && guard() != WWN_POOL_OK) {
            return guard();
        }
        if (op.kind == OpKind::kUsage) { // never renews the CRC
            usage = {1024 - used_count(), used_count()};
            return WWN_POOL_OK;
        }
        const std::uint32_t status = op.kind == OpKind::kBatch ? batch(op.count, out) : single(op.kind, op.addr);
        if (op.locked) {
            testsupport::renew_crc(cfg_);
        }
        return status;
    }

  private:
    static std::size_t byte_of(std::uint32_t i) { return kBitmap + 4 * (i / 32) + 3 - (i % 32) / 8; }
    static std::uint64_t offset(std::uint64_t naa, std::uint32_t i) { return naa == 2 ? std::uint64_t{i} << 48 : i; }
    void set(std::uint32_t i, bool on) {
        cfg_.bytes[byte_of(i)] =
            static_cast<std::uint8_t>((cfg_.bytes[byte_of(i)] & ~(1U << (i % 8))) | (on ? 1U << (i % 8) : 0U));
    }

    std::uint32_t batch(std::int32_t count, wwn_t *out) {
        if (count > static_cast<std::int32_t>(1024 - used_count())) {
            return WWN_POOL_ADDR_IN_USE;
        }
        const std::uint64_t naa = base() >> 60;
        for (std::uint32_t i = 0, n = 0; i < 1024 && static_cast<std::int32_t>(n) < count; ++i) {
            if (!used(i)) {
                if (naa != 2 && naa != 5) {
                    return WWN_POOL_ERR_BAD_BASE;
                }
                out[n++] = testsupport::wwn(base() + offset(naa, i));
                set(i, true);
            }
        }
        return WWN_POOL_OK;
    }

    std::uint32_t single(OpKind kind, std::uint64_t addr) {
        if (kind == OpKind::kReleaseAll) {
            std::memset(cfg_.bytes + kBitmap, 0, WWN_POOL_CFG_BITMAP_SIZE);
            return WWN_POOL_OK;
        }
        const std::uint64_t naa = addr >> 60;
        if (naa != 2 && naa != 5) {
            return WWN_POOL_ERR_BAD_NAA;
        }
        const auto i = static_cast<std::uint32_t>((naa == 2 ? addr >> 48 : addr) % 1024);
        if (addr - offset(naa, i) != base()) {
            return WWN_POOL_ERR_NOT_IN_POOL;
        }
        const bool was_used = used(i);
        if ((kind == OpKind::kTake && was_used) || kind == OpKind::kStatus) {
            return was_used ? WWN_POOL_ADDR_IN_USE : WWN_POOL_ADDR_FREE;
        }
        if (kind == OpKind::kRelease && !was_used) {
            return WWN_POOL_ADDR_FREE;
        }
        set(i, kind == OpKind::kTake);
        return WWN_POOL_OK;
    }

    wwn_pool_cfg cfg_;
};

// Runs `op` on the library's block and on the model; returns what differs,
// or an empty string.
inline std::string run_and_compare(wwn_pool_ctrl *ctrl, wwn_pool_cfg &cfg, Pool &model, const Op &op) {
    constexpr std::size_t kRoom = 1100; // more than any batch may fill
    std::vector<wwn_t> out(kRoom, testsupport::wwn(0x5a5a5a5a5a5a5a5aULL)), expected_out = out;
    const wwn_t a = testsupport::wwn(op.addr);
    const auto *base = reinterpret_cast<const wwn_t *>(cfg.bytes + WWN_POOL_CFG_BASE_OFFSET);
    std::uint8_t *bm = cfg.bytes + WWN_POOL_CFG_BITMAP_OFFSET;
    const bool l = op.locked;
    std::uint32_t got = 0;
    wwn_pool_usage usage{7, 7}, expected_usage{7, 7};
    switch (op.kind) {
    case OpKind::kBatch:
        got = l ? wwn_pool_addr_alloc(ctrl, &cfg, op.count, out.data())
                : wwn_pool_proc_addr_alloc(base, bm, op.count, out.data());
        break;
    case OpKind::kTake:
        got = l ? wwn_pool_usr_addr_alloc(ctrl, &cfg, &a) : wwn_pool_proc_usr_addr_alloc(base, bm, &a);
        break;
    case OpKind::kRelease:
        got = l ? wwn_pool_addr_release(ctrl, &cfg, &a) : wwn_pool_proc_addr_release(base, bm, &a);
        break;
    case OpKind::kReleaseAll:
        got = l ? wwn_pool_addr_release_all(ctrl, &cfg) : wwn_pool_proc_addr_release_all(bm);
        break;
    case OpKind::kStatus:
        got = l ? wwn_pool_addr_status(ctrl, &cfg, &a) : wwn_pool_proc_addr_status(base, bm, &a);
        break;
    case OpKind::kUsage: // locked only
        got = wwn_pool_pool_status(ctrl, &cfg, &usage);
        break;
    }
    const std::uint32_t want = model.run(op, expected_out.data(), expected_usage);
    const bool same_out = std::memcmp(out.data(), expected_out.data(), kRoom * sizeof(wwn_t)) == 0;
    const bool same_usage =
        usage.free_count == expected_usage.free_count && usage.used_count == expected_usage.used_count;
    const bool same_block = std::memcmp(cfg.bytes, model.bytes(), WWN_POOL_CFG_SIZE) == 0;
    if (got == want && same_out && same_usage && same_block) {
        return "";
    }
    return "status " + std::to_string(got) + " (expected " + std::to_string(want) + ")" +
           (same_out ? "" : ", delivered addresses differ") + (same_usage ? "" : ", usage differs") +
           (same_block ? "" : ", block bytes differ");
}

} // namespace reference
