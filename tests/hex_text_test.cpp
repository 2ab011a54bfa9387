// Reading hex text against the C library itself: long runs of digits of
// either case with every character strtoul treats specially mixed in, so that
// the block-at-a-time path meets them all. Random bytes through both
// directions, against "%02x" and strtoul, are the hex fuzz target's.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::uint8_t strtoul_pair(char c0, char c1) {
    const char pair[3] = {c0, c1, '\0'};
    return static_cast<std::uint8_t>(std::strtoul(pair, nullptr, 16) & 0xFF);
}

TEST(HexText, RandomTextMatchesStrtoulPerPair) {
    // Mostly digits of either case, so that long runs parse in blocks, with
    // every kind of character that strtoul treats specially mixed in.
    const std::string alphabet = std::string("0123456789abcdefABCDEF", 22) + std::string(" \t\n+-xXzG\0\x80\xff", 12);
    testsupport::Rng rng(17);
    for (int round = 0; round < 20000; ++round) {
        const std::size_t n = rng.below(40);
        std::string text(2 * n, '0');
        const std::uint32_t odd_one_in = 1 + rng.below(60);
        for (auto &c : text) {
            c = alphabet[rng.below(odd_one_in) == 0 ? rng.below(static_cast<std::uint32_t>(alphabet.size()))
                                                    : rng.below(22)];
        }
        std::vector<std::uint8_t> got(n + 1, 0xee), expected(n + 1, 0xee);
        for (std::size_t i = 0; i < n; ++i) {
            expected[i] = strtoul_pair(text[2 * i], text[2 * i + 1]);
        }
        ASSERT_EQ(0U, string_to_hbytes(text.data(), got.data(), static_cast<std::uint32_t>(n)));
        ASSERT_EQ(expected, got) << text;
    }
}

// No NUL either: a caller may pass no room at all for n == 0.
TEST(HexText, ZeroLengthTouchesNothing) {
    char text[4] = "###";
    std::uint8_t bytes[2] = {0xee, 0xee};
    EXPECT_EQ(0U, hbytes_to_string(bytes, text, 0));
    EXPECT_STREQ("###", text);
    EXPECT_EQ(0U, string_to_hbytes("12", bytes, 0));
    EXPECT_EQ(0xee, bytes[0]);
}

} // namespace
