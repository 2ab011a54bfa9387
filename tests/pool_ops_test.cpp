// Known answers of the pool operations, and the integrity guard of the locked
// ones. Every status of every operation on fresh, random and odd blocks is
// the pool fuzz target's, against the reference model; these are the answers
// a reader can check by hand.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using testsupport::hex;
using testsupport::kLocal;
using testsupport::Pool;
using testsupport::value;
using testsupport::wwn;

namespace {

std::vector<std::uint64_t> batch(Pool &pool, std::int32_t count, std::uint32_t expect = WWN_POOL_OK) {
    std::vector<wwn_t> out(static_cast<std::size_t>(count > 0 ? count : 1), wwn(0xeeee));
    EXPECT_EQ(expect, wwn_pool_addr_alloc(pool.ctrl.get(), &pool.cfg, count, out.data())) << count;
    std::vector<std::uint64_t> values;
    values.reserve(out.size());
    for (const auto &w : out) {
        values.push_back(value(w));
    }
    return values;
}

TEST(PoolOps, BatchesTakeTheLowestFreeIndexes) {
    Pool pool;
    EXPECT_EQ((std::vector<std::uint64_t>{0x2000'1234'5678'9abcULL, 0x2001'1234'5678'9abcULL, 0x2002'1234'5678'9abcULL,
                                          0x2003'1234'5678'9abcULL}),
              batch(pool, 4));
    EXPECT_EQ("0000000f", hex(pool.cfg.bytes + WWN_POOL_CFG_BITMAP_OFFSET, 4));
    EXPECT_EQ("c11c3dd2", hex(pool.cfg.bytes + WWN_POOL_CFG_CRC_OFFSET, 4));
    const wwn_t second = wwn(0x2001'1234'5678'9abcULL);
    EXPECT_EQ(WWN_POOL_OK, wwn_pool_addr_release(pool.ctrl.get(), &pool.cfg, &second));
    EXPECT_EQ((std::vector<std::uint64_t>{0x2001'1234'5678'9abcULL, 0x2004'1234'5678'9abcULL}), batch(pool, 2));
    Pool page7(7);
    EXPECT_EQ((std::vector<std::uint64_t>{0x5123'4567'89ab'cc00ULL, 0x5123'4567'89ab'cc01ULL}), batch(page7, 2));
}

TEST(PoolOps, NullPointersAreRefusedBeforeLocking) {
    Pool pool;
    wwn_t a = wwn(0x2000'1234'5678'9abcULL);
    wwn_pool_usage usage{};
    auto *c = pool.ctrl.get();
    auto *g = &pool.cfg;
    const std::uint32_t results[] = {
        wwn_pool_addr_alloc(nullptr, g, 1, &a),   wwn_pool_addr_alloc(c, nullptr, 1, &a),
        wwn_pool_addr_alloc(c, g, 1, nullptr),    wwn_pool_addr_alloc(c, g, 0, nullptr),
        wwn_pool_usr_addr_alloc(nullptr, g, &a),  wwn_pool_usr_addr_alloc(c, nullptr, &a),
        wwn_pool_usr_addr_alloc(c, g, nullptr),   wwn_pool_addr_release(nullptr, g, &a),
        wwn_pool_addr_release(c, nullptr, &a),    wwn_pool_addr_release(c, g, nullptr),
        wwn_pool_addr_release_all(nullptr, g),    wwn_pool_addr_release_all(c, nullptr),
        wwn_pool_addr_status(nullptr, g, &a),     wwn_pool_addr_status(c, nullptr, &a),
        wwn_pool_addr_status(c, g, nullptr),      wwn_pool_pool_status(nullptr, g, &usage),
        wwn_pool_pool_status(c, nullptr, &usage), wwn_pool_pool_status(c, g, nullptr),
    };
    for (std::uint32_t r : results) {
        EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, r);
    }
    EXPECT_EQ(0, std::memcmp(Pool().cfg.bytes, pool.cfg.bytes, 152));
}

// Every locked operation on `pool`, and adopting its block, in turn.
std::vector<std::uint32_t> every_locked_op(Pool &pool) {
    const wwn_t a = wwn(0x2005'1234'5678'9abcULL);
    const wwn_t held = wwn(0x2000'1234'5678'9abcULL);
    wwn_t out[2]{};
    wwn_pool_usage usage{};
    auto *c = pool.ctrl.get();
    testsupport::Ctrl fresh;
    return {wwn_pool_cfg_import(fresh.get(), &pool.cfg), wwn_pool_addr_alloc(c, &pool.cfg, 2, out),
            wwn_pool_usr_addr_alloc(c, &pool.cfg, &a),   wwn_pool_addr_release(c, &pool.cfg, &held),
            wwn_pool_addr_status(c, &pool.cfg, &held),   wwn_pool_pool_status(c, &pool.cfg, &usage),
            wwn_pool_addr_release_all(c, &pool.cfg)};
}

TEST(PoolOps, DamagedOrForeignBlocksAreRefusedAndLeftAlone) {
    Pool pool;
    batch(pool, 3);
    const wwn_pool_cfg good = pool.cfg;
    for (std::size_t byte = WWN_POOL_CFG_BASE_OFFSET; byte < WWN_POOL_CFG_RESERVED_OFFSET; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            pool.cfg = good;
            pool.cfg.bytes[byte] ^= static_cast<std::uint8_t>(1U << bit);
            const wwn_pool_cfg damaged = pool.cfg;
            for (std::uint32_t status : every_locked_op(pool)) {
                ASSERT_EQ(WWN_POOL_ERR_CRC, status) << byte << ":" << bit;
            }
            ASSERT_EQ(0, std::memcmp(&damaged, &pool.cfg, sizeof damaged)) << byte << ":" << bit;
        }
    }
    pool.cfg = good;
    pool.cfg.bytes[0] = 2;
    const wwn_pool_cfg foreign = pool.cfg;
    EXPECT_EQ(std::vector<std::uint32_t>(7, WWN_POOL_ERR_CFG_VERSION), every_locked_op(pool));
    EXPECT_EQ(0, std::memcmp(&foreign, &pool.cfg, sizeof foreign));
    // Re-initialising makes the block usable again, every address free.
    ASSERT_EQ(WWN_POOL_OK, wwn_pool_init(pool.ctrl.get(), &pool.cfg, &kLocal, 0));
    EXPECT_EQ((std::vector<std::uint32_t>{WWN_POOL_OK, WWN_POOL_OK, WWN_POOL_OK, WWN_POOL_OK, WWN_POOL_ADDR_FREE,
                                          WWN_POOL_OK, WWN_POOL_OK}),
              every_locked_op(pool));
}

} // namespace
