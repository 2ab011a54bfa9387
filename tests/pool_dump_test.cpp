#include "test_support.hpp"

#include <gtest/gtest.h>

using testsupport::Pool;

namespace {

std::string dump(const wwn_pool_cfg &cfg) {
    testing::internal::CaptureStdout();
    const std::uint32_t result = print_pool_info(&cfg);
    std::fflush(stdout);
    std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(0U, result);
    return text;
}

TEST(PoolDump, ShowsTheBlockAsItIs) {
    Pool fresh;
    Pool allocated;
    wwn_t out[4];
    ASSERT_EQ(WWN_POOL_OK, wwn_pool_addr_alloc(allocated.ctrl.get(), &allocated.cfg, 4, out));
    Pool damaged(4);
    damaged.cfg.bytes[0] = 0x07;
    damaged.cfg.bytes[1] = 0xab;
    damaged.cfg.bytes[2] = 0xcd;
    damaged.cfg.bytes[3] = 0xef;
    damaged.cfg.bytes[5] = 0x99;   // reserved: never shown
    damaged.cfg.bytes[143] = 0x01; // last bitmap byte, CRC now wrong
    damaged.cfg.bytes[150] = 0x99;

    const std::string zeros(256, '0');
    EXPECT_EQ("Version: 0x01   Mbz: 0x000000   Crc: 0xda2b043f\nPOOL_INFO:\n2000123456789abc" + zeros + " \n",
              dump(fresh.cfg));
    EXPECT_EQ("Version: 0x01   Mbz: 0x000000   Crc: 0xc11c3dd2\nPOOL_INFO:\n2000123456789abc0000000f" +
                  zeros.substr(8) + " \n",
              dump(allocated.cfg));
    const std::string crc = testsupport::hex(damaged.cfg.bytes + 144, 4);
    EXPECT_EQ("Version: 0x07   Mbz: 0xabcdef   Crc: 0x" + crc + "\nPOOL_INFO:\n5123456789abc000" + zeros.substr(2) +
                  "01 \n",
              dump(damaged.cfg));
}

} // namespace
