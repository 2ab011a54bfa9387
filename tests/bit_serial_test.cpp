// Known answers of the bit-serial CRC family: the published check values on
// "123456789", and the edges of lengths, initial values, polynomials and the
// short ninth byte of crc10_orbo_rte. Random messages, initial values and
// chains are compared with the bit-at-a-time reference by the crc fuzz target,
// which replays seeded random inputs as a test.
#include "test_support.hpp"

#include <gtest/gtest.h>

namespace {

TEST(BitSerial, KnownAnswers) {
    const char *check = "123456789";
    const std::uint8_t eight_30[] = {'1', '2', '3', '4', '5', '6', '7', '8', 0x30};
    const std::uint8_t eight_33[] = {'1', '2', '3', '4', '5', '6', '7', '8', 0x33};
    const std::uint8_t ten[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0xFF};
    const struct {
        std::uint32_t got, expected;
        const char *what;
    } cases[] = {
        {crc8_VOM(check, 9, 0), 0x0B, "crc8_VOM 0"},
        {crc8_ZEK(check, 9, 0), 0x0B, "crc8_ZEK 0"},
        {crc8_VOM(check, 9, 0xFF), 0x04, "crc8_VOM ff"},
        {crc8_ZEK(check, 9, 0xFF), 0x04, "crc8_ZEK ff"},
        {crc10(check, 9, 0), 0x199, "crc10 0"},
        {crc10(check, 9, 0x3FF), 0x058, "crc10 3ff"},
        {crc10_orbo_rte(check, 9, 0), 0x3F3, "crc10_orbo_rte 0"},
        {crc10_orbo_rte(check, 9, 0x3FF), 0x116, "crc10_orbo_rte 3ff"},
        {crc16(check, 9, 0), 0xFEE8, "crc16 0"},
        {crc16(check, 9, 0xFFFF), 0xAEE7, "crc16 ffff"},
        {crc16_pelk(check, 9, 0, 0x8005), 0xFEE8, "pelk umts"},
        {crc16_pelk(check, 9, 0xFFFF, 0x1021), 0x29B1, "pelk ibm-3740"},
        {crc16_pelk(check, 9, 0, 0x1021), 0x31C3, "pelk xmodem"},
        {crc32_orbo(check, 9, 0xFFFFFFFF), 0x0376E6E7, "crc32_orbo mpeg-2"},
        {crc32_orbo(check, 9, 0), 0x89A1897F, "crc32_orbo 0"},
        {crc8_VOM(nullptr, 0, 0), 0xFF, "crc8 empty"},
        {crc8_VOM(nullptr, -3, 0x1234), 0xCB, "crc8 negative length"},
        {crc8_VOM(check, 9, 0x1234), 0x60, "crc8 initial masked"},
        {crc10(nullptr, 0, 0x7FF), 0x3FF, "crc10 empty"},
        {crc10_orbo_rte(nullptr, INT32_MIN, 0xFFFF), 0x3FF, "crc10_orbo_rte empty"},
        {crc16(nullptr, -1, 0x12345), 0x2345, "crc16 empty"},
        {crc16_pelk(nullptr, 0, 0xABCDE, 0x1021), 0xBCDE, "pelk empty"},
        {crc32_orbo(nullptr, 0, 0x12345678), 0x12345678, "crc32_orbo empty"},
        {crc16_pelk(check, 9, 0, 0x18005), 0xFEE8, "pelk high poly bits"},
        {crc16_pelk(check, 9, 0, 0x1020), 0x31C3, "pelk even poly"},
        {crc10_orbo_rte(check, 8, 0), 0x0F7, "orbo_rte 8 bytes"},
        {crc10(check, 8, 0), 0x0F7, "crc10 8 bytes"},
        {crc10_orbo_rte(eight_30, 9, 0), 0x1A6, "orbo_rte ...0x30"},
        {crc10_orbo_rte(eight_33, 9, 0), 0x1A6, "orbo_rte ...0x33"},
        {crc10(eight_30, 9, 0), 0x0AB, "crc10 ...0x30"},
        {crc10_orbo_rte(ten, 10, 0), 0x366, "orbo_rte 10 bytes"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.expected, c.got) << c.what;
    }
    crc_buf_desc tail{"3456789", 0, 0, 7, 0, nullptr}, empty{nullptr, 0, 0, 0, 0, &tail},
        head{"12", 0, 0, 2, 0, &empty};
    EXPECT_EQ(0xFC891918U, crc32(&head)); // CRC-32/BZIP2, across records
    EXPECT_EQ(0U, crc32(nullptr));
    empty.next = nullptr;
    EXPECT_EQ(0U, crc32(&empty));
}

} // namespace
