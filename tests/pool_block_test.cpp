#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstring>

using testsupport::Ctrl;
using testsupport::hex;
using testsupport::kLocal;
using testsupport::Pool;

namespace {

// The page 0 block of 10:00:12:34:56:78:9a:bc, bytes 8..143.
const std::string kFreshPoolInfo = "2000123456789abc" + std::string(256, '0');

TEST(PoolBlock, Sizes) {
    EXPECT_EQ(152U, wwn_pool_sizeof_pool_cfg());
    EXPECT_EQ(sizeof(wwn_pool_cfg), wwn_pool_sizeof_pool_cfg());
    EXPECT_GE(wwn_pool_sizeof_pool_ctrl(), 24U);
}

TEST(PoolBlock, FreshBlockImageKeepsReservedBytes) {
    Ctrl ctrl;
    wwn_pool_cfg cfg;
    std::memset(&cfg, 0xa5, sizeof cfg);
    ASSERT_EQ(WWN_POOL_OK, wwn_pool_init(ctrl.get(), &cfg, &kLocal, 0));
    EXPECT_EQ("01000000", hex(cfg.bytes, 4));
    EXPECT_EQ("a5a5a5a5", hex(cfg.bytes + 4, 4));
    EXPECT_EQ(kFreshPoolInfo, hex(cfg.bytes + 8, 136));
    EXPECT_EQ("da2b043f", hex(cfg.bytes + 144, 4));
    EXPECT_EQ("a5a5a5a5", hex(cfg.bytes + 148, 4));
}

TEST(PoolBlock, StoredCrcIsTheBlockCrcBigEndian) {
    Pool pool;
    pool.cfg.bytes[19] = 0x0f; // indexes 0..3 allocated
    const std::uint32_t crc = crc32ForBuf(pool.cfg.bytes + 8, 136);
    EXPECT_EQ(0xc11c3dd2U, crc);
}

TEST(PoolBlock, InitWithBadPageWritesOnlyVersionAndMbz) {
    Pool pool(3);
    wwn_pool_cfg before = pool.cfg;
    pool.cfg.bytes[0] = 7;
    pool.cfg.bytes[2] = 9;
    EXPECT_EQ(WWN_POOL_ERR_BAD_PAGE, wwn_pool_init(pool.ctrl.get(), &pool.cfg, &kLocal, 8));
    EXPECT_EQ(0, std::memcmp(&before, &pool.cfg, sizeof before));
    EXPECT_EQ(WWN_POOL_OK, wwn_pool_cfg_import(pool.ctrl.get(), &pool.cfg));
}

TEST(PoolBlock, InitRejectsNullPointersWithoutWriting) {
    Pool pool;
    const wwn_pool_cfg before = pool.cfg;
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_init(nullptr, &pool.cfg, &kLocal, 1));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_init(pool.ctrl.get(), nullptr, &kLocal, 1));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_init(pool.ctrl.get(), &pool.cfg, nullptr, 1));
    EXPECT_EQ(0, std::memcmp(&before, &pool.cfg, sizeof before));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_cfg_import(nullptr, &pool.cfg));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_cfg_import(pool.ctrl.get(), nullptr));
}

TEST(PoolBlock, ImportVerifiesCrcThenVersionAndNeverWrites) {
    Pool pool;
    pool.cfg.bytes[19] = 0x0f;
    const std::uint32_t crc = crc32ForBuf(pool.cfg.bytes + 8, 136);
    for (int i = 0; i < 4; ++i) {
        pool.cfg.bytes[144 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
    EXPECT_EQ("c11c3dd2", hex(pool.cfg.bytes + 144, 4));
    const wwn_pool_cfg good = pool.cfg;
    Ctrl fresh;
    EXPECT_EQ(WWN_POOL_OK, wwn_pool_cfg_import(fresh.get(), &good));

    for (std::size_t byte = 8; byte < 148; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            wwn_pool_cfg damaged = good;
            damaged.bytes[byte] ^= static_cast<std::uint8_t>(1U << bit);
            const wwn_pool_cfg copy = damaged;
            ASSERT_EQ(WWN_POOL_ERR_CRC, wwn_pool_cfg_import(fresh.get(), &damaged)) << byte << ":" << bit;
            ASSERT_EQ(0, std::memcmp(&copy, &damaged, sizeof copy));
        }
    }
    // Outside the CRC: version is checked after the CRC, mbz and reserved never.
    const struct {
        std::size_t byte;
        std::uint8_t value;
        std::uint32_t status;
    } cases[] = {{0, 2, WWN_POOL_ERR_CFG_VERSION},
                 {0, 0, WWN_POOL_ERR_CFG_VERSION},
                 {0, 0xff, WWN_POOL_ERR_CFG_VERSION},
                 {1, 1, WWN_POOL_OK},
                 {3, 0x80, WWN_POOL_OK},
                 {5, 0xff, WWN_POOL_OK},
                 {151, 0xff, WWN_POOL_OK}};
    for (const auto &c : cases) {
        wwn_pool_cfg block = good;
        block.bytes[c.byte] = c.value;
        EXPECT_EQ(c.status, wwn_pool_cfg_import(fresh.get(), &block)) << c.byte;
        block.bytes[20] ^= 1; // a damaged CRC wins over a wrong version
        EXPECT_EQ(WWN_POOL_ERR_CRC, wwn_pool_cfg_import(fresh.get(), &block)) << c.byte;
    }
}

TEST(PoolBlock, ReInitResetsAnyBlock) {
    Pool pool(2);
    std::memset(pool.cfg.bytes + 8, 0x5a, 140);
    ASSERT_EQ(WWN_POOL_OK, wwn_pool_init(pool.ctrl.get(), &pool.cfg, &kLocal, 0));
    EXPECT_EQ(kFreshPoolInfo, hex(pool.cfg.bytes + 8, 136));
    EXPECT_EQ(WWN_POOL_OK, wwn_pool_cfg_import(pool.ctrl.get(), &pool.cfg));
}

} // namespace
