// A plain reference model of a pool block: the 152 bytes it must hold, with
// every bit, count and address worked out one index at a time, and a step
// that runs one operation on both the library and the model and compares
// every status, every delivered address and every byte. Shared by the model
// test and the pool fuzzer.
#pragma once

#include "revevidozi.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace reference {

inline std::uint64_t read_be(const std::uint8_t *p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v = v * 256 + p[i];
    }
    return v;
}

inline wwn_t to_wwn(std::uint64_t v) {
    wwn_t w{};
    for (int i = 7; i >= 0; --i) {
        w.bytes[i] = static_cast<std::uint8_t>(v % 256);
        v /= 256;
    }
    return w;
}

class Pool {
  public:
    explicit Pool(const wwn_pool_cfg &cfg) { std::memcpy(image_.data(), cfg.bytes, image_.size()); }

    const std::array<std::uint8_t, 152> &image() const { return image_; }
    std::uint64_t base() const { return read_be(&image_[8]); }

    bool used(std::uint32_t i) const { return (image_[byte_of(i)] >> (i % 8)) & 1U; }
    std::uint32_t used_count() const {
        std::uint32_t n = 0;
        for (std::uint32_t i = 0; i < 1024; ++i) {
            n += used(i);
        }
        return n;
    }

    // {status, index} of an address against this pool.
    std::pair<std::uint32_t, std::uint32_t> decode(std::uint64_t addr) const {
        std::uint32_t index = 0;
        std::uint64_t candidate = addr;
        switch (addr >> 60) {
        case 2:
            index = static_cast<std::uint32_t>((addr >> 48) % 1024);
            candidate -= std::uint64_t{index} << 48;
            break;
        case 5:
            index = static_cast<std::uint32_t>(addr % 1024);
            candidate -= index;
            break;
        default:
            return {WWN_POOL_ERR_BAD_NAA, 0};
        }
        return {candidate == base() ? WWN_POOL_OK : WWN_POOL_ERR_NOT_IN_POOL, index};
    }

    // The unlocked operations.
    std::uint32_t batch(std::int32_t count, std::vector<wwn_t> &out) {
        if (static_cast<std::int64_t>(1024 - used_count()) < count) {
            return WWN_POOL_ADDR_IN_USE;
        }
        std::int32_t delivered = 0;
        for (std::uint32_t i = 0; i < 1024 && delivered < count; ++i) {
            if (used(i)) {
                continue;
            }
            const std::uint64_t naa = base() >> 60;
            if (naa != 2 && naa != 5) {
                return WWN_POOL_ERR_BAD_BASE;
            }
            out[static_cast<std::size_t>(delivered++)] = to_wwn(base() + (naa == 2 ? std::uint64_t{i} << 48 : i));
            set(i, true);
        }
        return WWN_POOL_OK;
    }
    std::uint32_t take(std::uint64_t addr) {
        const auto [status, i] = decode(addr);
        if (status != WWN_POOL_OK) {
            return status;
        }
        if (used(i)) {
            return WWN_POOL_ADDR_IN_USE;
        }
        set(i, true);
        return WWN_POOL_OK;
    }
    std::uint32_t release(std::uint64_t addr) {
        const auto [status, i] = decode(addr);
        if (status != WWN_POOL_OK) {
            return status;
        }
        if (!used(i)) {
            return WWN_POOL_ADDR_FREE;
        }
        set(i, false);
        return WWN_POOL_OK;
    }
    std::uint32_t release_all() {
        std::memset(&image_[16], 0, 128);
        return WWN_POOL_OK;
    }
    std::uint32_t status(std::uint64_t addr) const {
        const auto [status, i] = decode(addr);
        return status != WWN_POOL_OK ? status : used(i) ? WWN_POOL_ADDR_IN_USE : WWN_POOL_ADDR_FREE;
    }

    // The guard of the locked operations, and the CRC they store afterwards.
    std::uint32_t guard() const {
        if (crc_of_contents() != read_be(&image_[144]) >> 32) {
            return WWN_POOL_ERR_CRC;
        }
        return image_[0] == 1 ? WWN_POOL_OK : WWN_POOL_ERR_CFG_VERSION;
    }
    template <typename Op> std::uint32_t locked(Op &&op) {
        const std::uint32_t g = guard();
        if (g != WWN_POOL_OK) {
            return g;
        }
        const std::uint32_t status = op();
        const std::uint32_t crc = crc_of_contents();
        for (int k = 0; k < 4; ++k) {
            image_[static_cast<std::size_t>(144 + k)] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        }
        return status;
    }

  private:
    static std::size_t byte_of(std::uint32_t i) { return 16 + 4 * (i / 32) + 3 - (i % 32) / 8; }
    void set(std::uint32_t i, bool on) {
        const auto mask = static_cast<std::uint8_t>(1U << (i % 8));
        image_[byte_of(i)] = static_cast<std::uint8_t>(on ? image_[byte_of(i)] | mask : image_[byte_of(i)] & ~mask);
    }
    std::uint32_t crc_of_contents() const { return crc32ForBuf(&image_[8], 136); }

    std::array<std::uint8_t, 152> image_{};
};

enum class OpKind { kBatch, kTake, kRelease, kReleaseAll, kStatus, kUsage };

struct Op {
    OpKind kind;
    bool locked;
    std::int32_t count; // kBatch
    std::uint64_t addr; // kTake, kRelease, kStatus
};

// Runs `op` on the library's block and on the model; returns what differs,
// or an empty string.
inline std::string run_and_compare(wwn_pool_ctrl *ctrl, wwn_pool_cfg &cfg, Pool &model, const Op &op) {
    constexpr std::size_t kRoom = 1100; // more than any batch may fill
    std::vector<wwn_t> out(kRoom, to_wwn(0x5a5a5a5a5a5a5a5aULL)), expected_out = out;
    const wwn_t addr = to_wwn(op.addr);
    const auto *base = reinterpret_cast<const wwn_t *>(cfg.bytes + 8);
    std::uint8_t *bitmap = cfg.bytes + 16;
    std::uint32_t got = 0;
    std::uint32_t want = 0;
    wwn_pool_usage usage{7, 7}, expected_usage{7, 7};
    const auto by_model = [&](auto &&inner) { return op.locked ? model.locked(inner) : inner(); };
    switch (op.kind) {
    case OpKind::kBatch:
        got = op.locked ? wwn_pool_addr_alloc(ctrl, &cfg, op.count, out.data())
                        : wwn_pool_proc_addr_alloc(base, bitmap, op.count, out.data());
        want = by_model([&] { return model.batch(op.count, expected_out); });
        break;
    case OpKind::kTake:
        got =
            op.locked ? wwn_pool_usr_addr_alloc(ctrl, &cfg, &addr) : wwn_pool_proc_usr_addr_alloc(base, bitmap, &addr);
        want = by_model([&] { return model.take(op.addr); });
        break;
    case OpKind::kRelease:
        got = op.locked ? wwn_pool_addr_release(ctrl, &cfg, &addr) : wwn_pool_proc_addr_release(base, bitmap, &addr);
        want = by_model([&] { return model.release(op.addr); });
        break;
    case OpKind::kReleaseAll:
        got = op.locked ? wwn_pool_addr_release_all(ctrl, &cfg) : wwn_pool_proc_addr_release_all(bitmap);
        want = by_model([&] { return model.release_all(); });
        break;
    case OpKind::kStatus:
        got = op.locked ? wwn_pool_addr_status(ctrl, &cfg, &addr) : wwn_pool_proc_addr_status(base, bitmap, &addr);
        want = by_model([&] { return model.status(op.addr); });
        break;
    case OpKind::kUsage: // locked only, and it never renews the CRC
        got = wwn_pool_pool_status(ctrl, &cfg, &usage);
        want = model.guard();
        if (want == WWN_POOL_OK) {
            expected_usage = {1024 - model.used_count(), model.used_count()};
        }
        break;
    }
    std::string problems;
    if (got != want) {
        problems += "status " + std::to_string(got) + ", expected " + std::to_string(want) + "; ";
    }
    if (std::memcmp(out.data(), expected_out.data(), kRoom * sizeof(wwn_t)) != 0) {
        problems += "delivered addresses differ; ";
    }
    if (usage.free_count != expected_usage.free_count || usage.used_count != expected_usage.used_count) {
        problems += "usage differs; ";
    }
    if (std::memcmp(cfg.bytes, model.image().data(), 152) != 0) {
        problems += "block bytes differ; ";
    }
    return problems;
}

} // namespace reference
