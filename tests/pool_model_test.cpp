// The pool operations against a plain reference model: a std::bitset of the
// 1024 indexes, the address arithmetic written out bit by bit, and the block
// image the operations must leave behind.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <bitset>
#include <cstring>
#include <vector>

using testsupport::hex;
using testsupport::kLocal;
using testsupport::Pool;
using testsupport::Rng;
using testsupport::value;
using testsupport::wwn;

namespace {

constexpr std::uint32_t kOk = WWN_POOL_OK;

struct Model {
    std::uint64_t base = 0;
    std::bitset<1024> used;
    std::uint8_t version = 1;
    std::array<std::uint8_t, 4> crc{}; // as stored
    wwn_pool_cfg reserved{};            // supplies bytes 4..7 and 148..151

    // Where an address lands in this pool: {status, index}.
    std::pair<std::uint32_t, std::uint32_t> decode(std::uint64_t addr) const {
        const unsigned naa = static_cast<unsigned>(addr >> 60);
        std::uint32_t index = 0;
        std::uint64_t candidate = addr;
        if (naa == 2) {
            index = static_cast<std::uint32_t>((addr >> 48) & 1023);
            candidate &= ~(std::uint64_t{1023} << 48);
        } else if (naa == 5) {
            index = static_cast<std::uint32_t>(addr & 1023);
            candidate &= ~std::uint64_t{1023};
        } else {
            return {WWN_POOL_ERR_BAD_NAA, 0};
        }
        return {candidate == base ? kOk : WWN_POOL_ERR_NOT_IN_POOL, index};
    }

    std::uint64_t address(std::uint32_t index) const {
        return (base >> 60) == 2 ? base + (std::uint64_t{index} << 48) : base + index;
    }

    // The block's 152 bytes as the operations must leave them; bytes 4..7 and
    // 148..151 are whatever `reserved` says.
    wwn_pool_cfg image() const {
        wwn_pool_cfg cfg = reserved;
        cfg.bytes[0] = version;
        cfg.bytes[1] = cfg.bytes[2] = cfg.bytes[3] = 0;
        const wwn_t b = wwn(base);
        std::memcpy(cfg.bytes + 8, b.bytes, 8);
        std::memset(cfg.bytes + 16, 0, 128);
        for (std::uint32_t i = 0; i < 1024; ++i) {
            if (used[i]) {
                cfg.bytes[16 + 4 * (i / 32) + 3 - (i % 32) / 8] |= static_cast<std::uint8_t>(1U << (i % 8));
            }
        }
        std::memcpy(cfg.bytes + 144, crc.data(), 4);
        return cfg;
    }

    // What a locked operation does with the CRC: stamp the contents.
    std::array<std::uint8_t, 4> content_crc() const {
        const wwn_pool_cfg cfg = image();
        const std::uint32_t c = crc32ForBuf(cfg.bytes + 8, 136);
        return {static_cast<std::uint8_t>(c >> 24), static_cast<std::uint8_t>(c >> 16),
                static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)};
    }
    void stamp() { crc = content_crc(); }

    std::uint32_t guard() const {
        if (crc != content_crc()) {
            return WWN_POOL_ERR_CRC;
        }
        return version == 1 ? kOk : WWN_POOL_ERR_CFG_VERSION;
    }
};

// An address of one of several kinds, most of them near the pool.
std::uint64_t random_address(Rng &rng, const Model &m) {
    const std::uint32_t index = rng.below(1024);
    switch (rng.below(8)) {
    case 0:
        return (std::uint64_t{rng()} << 32) | rng(); // anything
    case 1:
        return m.address(index) ^ (std::uint64_t{1} << rng.below(64)); // one bit off
    case 2: { // another page of this host
        wwn_t b{};
        wwn_pool_get_local_base_wwn(&kLocal, rng.below(8), &b);
        return value(b) + ((value(b) >> 60) == 2 ? std::uint64_t{index} << 48 : index);
    }
    default:
        return m.address(index);
    }
}

struct Step {
    const char *name;
    std::uint32_t status;
};

TEST(PoolModel, RandomSequencesMatchTheModel) {
    Rng rng(20261205);
    std::vector<wwn_t> out(1100), expected_out(1100);
    for (int run = 0; run < 24; ++run) {
        const std::uint32_t page = static_cast<std::uint32_t>(run % 8);
        const wwn_t local = run < 8 ? kLocal : wwn((std::uint64_t{rng()} << 32) | rng());
        Pool pool(page, local);
        std::memset(pool.cfg.bytes + 4, static_cast<int>(rng() & 0xff), 4);
        std::memset(pool.cfg.bytes + 148, static_cast<int>(rng() & 0xff), 4);
        Model m;
        m.reserved = pool.cfg;
        wwn_t b{};
        wwn_pool_get_local_base_wwn(&local, page, &b);
        m.base = value(b);
        m.stamp();
        ASSERT_EQ(0, std::memcmp(m.image().bytes, pool.cfg.bytes, 152));

        for (int step = 0; step < 3000; ++step) {
            const wwn_t addr = wwn(random_address(rng, m));
            const auto [decode_status, index] = m.decode(value(addr));
            const bool locked = rng.below(4) != 0;
            const std::uint32_t guard = locked ? m.guard() : kOk;
            const wwn_t *base = reinterpret_cast<const wwn_t *>(pool.cfg.bytes + 8);
            std::uint8_t *bitmap = pool.cfg.bytes + 16;
            Step got{"", 0};
            std::uint32_t want = guard;
            std::int32_t delivered = 0;
            switch (rng.below(9)) {
            case 0:
            case 1: { // batch, mostly small, sometimes 0, negative or too many
                const std::int32_t counts[] = {static_cast<std::int32_t>(rng.below(8)),
                                               static_cast<std::int32_t>(rng.below(300)),
                                               static_cast<std::int32_t>(rng.below(1100)),
                                               -static_cast<std::int32_t>(rng.below(5)), INT32_MIN, INT32_MAX};
                const std::int32_t count = counts[rng.below(6)];
                for (auto &w : out) {
                    w = wwn(0x5a5a5a5a5a5a5a5aULL);
                }
                expected_out = out;
                got = {"batch", locked ? wwn_pool_addr_alloc(pool.ctrl.get(), &pool.cfg, count, out.data())
                                       : wwn_pool_proc_addr_alloc(base, bitmap, count, out.data())};
                if (want == kOk) {
                    if (static_cast<std::int64_t>(1024 - m.used.count()) < count) {
                        want = WWN_POOL_ADDR_IN_USE;
                    }
                    for (std::uint32_t i = 0; want == kOk && i < 1024 && delivered < count; ++i) {
                        if (!m.used[i]) {
                            m.used[i] = true;
                            expected_out[static_cast<std::size_t>(delivered++)] = wwn(m.address(i));
                        }
                    }
                }
                break;
            }
            case 2:
                got = {"take", locked ? wwn_pool_usr_addr_alloc(pool.ctrl.get(), &pool.cfg, &addr)
                                      : wwn_pool_proc_usr_addr_alloc(base, bitmap, &addr)};
                if (want == kOk) {
                    want = decode_status != kOk ? decode_status : m.used[index] ? WWN_POOL_ADDR_IN_USE : kOk;
                    m.used[index] = m.used[index] || want == kOk;
                }
                break;
            case 3:
            case 4:
                got = {"release", locked ? wwn_pool_addr_release(pool.ctrl.get(), &pool.cfg, &addr)
                                         : wwn_pool_proc_addr_release(base, bitmap, &addr)};
                if (want == kOk) {
                    want = decode_status != kOk ? decode_status : m.used[index] ? kOk : WWN_POOL_ADDR_FREE;
                    m.used[index] = m.used[index] && want != kOk;
                }
                break;
            case 5:
                got = {"status", locked ? wwn_pool_addr_status(pool.ctrl.get(), &pool.cfg, &addr)
                                        : wwn_pool_proc_addr_status(base, bitmap, &addr)};
                if (want == kOk) {
                    want = decode_status != kOk ? decode_status
                           : m.used[index]      ? WWN_POOL_ADDR_IN_USE
                                                : WWN_POOL_ADDR_FREE;
                }
                break;
            case 6: {
                wwn_pool_usage usage{7, 7};
                got = {"usage", wwn_pool_pool_status(pool.ctrl.get(), &pool.cfg, &usage)};
                want = m.guard();
                const wwn_pool_usage expected =
                    want == kOk ? wwn_pool_usage{static_cast<std::uint32_t>(1024 - m.used.count()),
                                                 static_cast<std::uint32_t>(m.used.count())}
                                : wwn_pool_usage{7, 7};
                ASSERT_EQ(expected.free_count, usage.free_count) << step;
                ASSERT_EQ(expected.used_count, usage.used_count) << step;
                ASSERT_EQ(want, got.status) << step;
                ASSERT_EQ(0, std::memcmp(m.image().bytes, pool.cfg.bytes, 152)) << step;
                continue; // never renews the CRC
            }
            case 7:
                if (rng.below(10) != 0) {
                    continue;
                }
                got = {"release all", locked ? wwn_pool_addr_release_all(pool.ctrl.get(), &pool.cfg)
                                             : wwn_pool_proc_addr_release_all(bitmap)};
                if (want == kOk) {
                    m.used.reset();
                }
                break;
            default: // what a caller of the unlocked layer does afterwards, or damage
                switch (rng.below(3)) {
                case 0: {
                    const std::uint32_t c = crc32ForBuf(pool.cfg.bytes + 8, 136);
                    for (int i = 0; i < 4; ++i) {
                        pool.cfg.bytes[144 + i] = static_cast<std::uint8_t>(c >> (24 - 8 * i));
                    }
                    m.stamp();
                    break;
                }
                case 1:
                    m.version = pool.cfg.bytes[0] = rng.below(3) == 0 ? static_cast<std::uint8_t>(rng()) : 1;
                    break;
                default:
                    if (rng.below(20) == 0) {
                        wwn_pool_init(pool.ctrl.get(), &pool.cfg, &local, page);
                        m.used.reset();
                        m.version = 1;
                        m.stamp();
                    }
                    break;
                }
                ASSERT_EQ(0, std::memcmp(m.image().bytes, pool.cfg.bytes, 152)) << step;
                continue;
            }
            if (locked && guard == kOk) {
                m.stamp(); // the unlocked layer leaves the CRC as it was
            }
            ASSERT_EQ(want, got.status) << got.name << " at step " << step << (locked ? " locked" : " unlocked");
            ASSERT_EQ(0, std::memcmp(expected_out.data(), out.data(), out.size() * sizeof(wwn_t)))
                << got.name << " at step " << step;
            ASSERT_EQ(hex(m.image().bytes, 152), hex(pool.cfg.bytes, 152))
                << got.name << " at step " << step;
        }
    }
}

} // namespace
