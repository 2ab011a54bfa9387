// A pool block's life: its image when created, what adopting a stored one
// checks, and its dump.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstring>

using testsupport::Ctrl;
using testsupport::hex;
using testsupport::kLocal;
using testsupport::Pool;

namespace {

TEST(PoolBlock, CreatedImageKeepsReservedBytes) {
    EXPECT_EQ(152U, wwn_pool_sizeof_pool_cfg());
    EXPECT_GE(wwn_pool_sizeof_pool_ctrl(), 24U);
    Ctrl ctrl;
    wwn_pool_cfg cfg;
    std::memset(&cfg, 0xa5, sizeof cfg); // also a block being reset: every field is rewritten
    ASSERT_EQ(WWN_POOL_OK, wwn_pool_init(ctrl.get(), &cfg, &kLocal, 0));
    EXPECT_EQ("01000000a5a5a5a52000123456789abc" + std::string(256, '0') + "da2b043fa5a5a5a5", hex(cfg.bytes, 152));
}

// Kept as callers have always seen it: a bad page still writes the version
// and the must-be-zero bytes, and leaves the rest.
TEST(PoolBlock, InitWithBadPageWritesOnlyVersionAndMbz) {
    Pool pool(3);
    const wwn_pool_cfg before = pool.cfg;
    pool.cfg.bytes[0] = 7;
    pool.cfg.bytes[2] = 9;
    EXPECT_EQ(WWN_POOL_ERR_BAD_PAGE, wwn_pool_init(pool.ctrl.get(), &pool.cfg, &kLocal, 8));
    EXPECT_EQ(0, std::memcmp(&before, &pool.cfg, sizeof before));
}

TEST(PoolBlock, NullPointersWriteNothing) {
    Pool pool;
    const wwn_pool_cfg before = pool.cfg;
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_init(nullptr, &pool.cfg, &kLocal, 1));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_init(pool.ctrl.get(), nullptr, &kLocal, 1));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_init(pool.ctrl.get(), &pool.cfg, nullptr, 1));
    EXPECT_EQ(0, std::memcmp(&before, &pool.cfg, sizeof before));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_cfg_import(nullptr, &pool.cfg));
    EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_cfg_import(pool.ctrl.get(), nullptr));
}

// Bytes the CRC does not cover: the version is checked after the CRC, the
// must-be-zero and reserved bytes never. (Damage the CRC covers is the
// operations test's.)
TEST(PoolBlock, AdoptingChecksCrcThenVersion) {
    const Pool good;
    Ctrl fresh;
    const struct {
        std::size_t byte;
        std::uint8_t value;
        std::uint32_t status;
    } cases[] = {{0, 1, WWN_POOL_OK},     {0, 2, WWN_POOL_ERR_CFG_VERSION}, {0, 0, WWN_POOL_ERR_CFG_VERSION},
                 {1, 1, WWN_POOL_OK},     {3, 0x80, WWN_POOL_OK},           {5, 0xff, WWN_POOL_OK},
                 {151, 0xff, WWN_POOL_OK}};
    for (const auto &c : cases) {
        wwn_pool_cfg block = good.cfg;
        block.bytes[c.byte] = c.value;
        EXPECT_EQ(c.status, wwn_pool_cfg_import(fresh.get(), &block)) << c.byte;
        block.bytes[20] ^= 1; // a damaged CRC wins over a wrong version
        const wwn_pool_cfg damaged = block;
        EXPECT_EQ(WWN_POOL_ERR_CRC, wwn_pool_cfg_import(fresh.get(), &block)) << c.byte;
        EXPECT_EQ(0, std::memcmp(&damaged, &block, sizeof block));
    }
}

std::string dump(const wwn_pool_cfg &cfg) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(0U, print_pool_info(&cfg));
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// The dump shows a block as it is, valid or not; reserved bytes never.
TEST(PoolBlock, DumpShowsTheBlockAsItIs) {
    Pool damaged(4);
    const std::uint8_t header[] = {0x07, 0xab, 0xcd, 0xef, 0x00, 0x99};
    std::memcpy(damaged.cfg.bytes, header, sizeof header);
    damaged.cfg.bytes[143] = 0x01; // last bitmap byte, CRC now wrong
    damaged.cfg.bytes[150] = 0x99;
    const std::string zeros(256, '0');
    EXPECT_EQ("Version: 0x01   Mbz: 0x000000   Crc: 0xda2b043f\nPOOL_INFO:\n2000123456789abc" + zeros + " \n",
              dump(Pool().cfg));
    EXPECT_EQ("Version: 0x07   Mbz: 0xabcdef   Crc: 0x" + hex(damaged.cfg.bytes + WWN_POOL_CFG_CRC_OFFSET, 4) +
                  "\nPOOL_INFO:\n5123456789abc000" + zeros.substr(2) + "01 \n",
              dump(damaged.cfg));
}

} // namespace
