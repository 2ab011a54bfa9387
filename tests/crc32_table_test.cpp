// The table-driven CRC-32 against zlib for every length and alignment, and
// its chained form on known answers; random chains are the crc fuzz target's.
// zlib declares its own crc32, hence REVEVIDOZI_NO_CRC32.
#define REVEVIDOZI_NO_CRC32
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

std::uint32_t byte_reversed(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xff00U) | ((v << 8) & 0xff0000U) | (v << 24);
}

// zlib's standard CRC-32, byte-reversed like crc32ForBuf. crc32_z, never
// crc32: that name is also the library's bit-serial routine.
std::uint32_t oracle(const std::uint8_t *p, std::size_t n) {
    return byte_reversed(static_cast<std::uint32_t>(crc32_z(0, p, n)));
}

TEST(Crc32Table, KnownAnswers) {
    EXPECT_EQ(0x2639F4CBU, crc32ForBuf("123456789", 9));
    EXPECT_EQ(0U, crc32ForBuf(nullptr, 5));
    EXPECT_EQ(0U, crc32ForBuf("abc", 0));
    EXPECT_EQ(0U, crc32_Ethernet(nullptr));

    crc_buf_desc c{"56789", 0, 0, 5, 0, nullptr}, b{"", 0, 0, 0, 0, &c}, a{"1234", 0, 0, 4, 0, &b};
    EXPECT_EQ(0x2639F4CBU, crc32_Ethernet(&a));
    crc_buf_desc shifted{"xyz123456789", 0, 3, 9, 0, nullptr};
    EXPECT_EQ(0x2639F4CBU, crc32_Ethernet(&shifted));
    crc_buf_desc empty2{nullptr, 0, 0, 0, 0, nullptr}, empty1{nullptr, 0, 7, 0, 0, &empty2};
    EXPECT_EQ(0U, crc32_Ethernet(&empty1));
}

TEST(Crc32Table, EveryLengthUpTo300MatchesZlib) {
    std::mt19937 rng(12345);
    std::vector<std::uint8_t> data(300 + 8);
    for (std::uint32_t len = 0; len <= 300; ++len) {
        for (auto &byte : data) {
            byte = static_cast<std::uint8_t>(rng());
        }
        const std::size_t misalign = len % 8; // every start alignment too
        ASSERT_EQ(oracle(data.data() + misalign, len), crc32ForBuf(data.data() + misalign, len)) << len;
    }
}

} // namespace
