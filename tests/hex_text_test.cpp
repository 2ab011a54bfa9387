// The hex conversions against the C library itself, over every input.
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

TEST(HexText, FormatsEveryByteAsSprintfDoes) {
    for (unsigned b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        char expected[8];
        std::memset(expected, '#', sizeof expected);
        std::snprintf(expected, 3, "%02x", b);
        char got[8];
        std::memset(got, '#', sizeof got);
        ASSERT_EQ(2U, hbytes_to_string(&byte, got, 1));
        ASSERT_EQ(0, std::memcmp(expected, got, sizeof got)) << b;
    }
}

TEST(HexText, ParsesEveryPairAsStrtoulDoes) {
    for (unsigned c0 = 0; c0 < 256; ++c0) {
        for (unsigned c1 = 0; c1 < 256; ++c1) {
            // The pair is followed by more digits: only two characters count.
            const char text[4] = {static_cast<char>(c0), static_cast<char>(c1), '7', '7'};
            std::uint8_t got[2] = {0xAA, 0xBB};
            ASSERT_EQ(0U, string_to_hbytes(text, got, 1));
            ASSERT_EQ(strtoul_pair(text[0], text[1]), got[0]) << c0 << "," << c1;
            ASSERT_EQ(0xBB, got[1]);
        }
    }
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

TEST(HexText, KnownAnswers) {
    const struct {
        const char *text;
        std::uint32_t n;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"00ab7F", 3, {0x00, 0xab, 0x7f}},
        {"00ab7F", 2, {0x00, 0xab}},
        {"zz", 1, {0x00}},
        {"-1", 1, {0xff}},
        {"-f", 1, {0xf1}},
        {"-0", 1, {0x00}},
        {"0x", 1, {0x00}},
        {" 7", 1, {0x07}},
        {"\t7+9", 2, {0x07, 0x09}},
        {"7z", 1, {0x07}},
        {"Ff", 1, {0xff}},
        {"a\0", 1, {0x0a}},
        {"\0a", 1, {0x00}},
        {"+-", 1, {0x00}},
        {" -", 1, {0x00}},
    };
    for (const auto &c : cases) {
        std::vector<std::uint8_t> got(c.n + 1, 0xee);
        EXPECT_EQ(0U, string_to_hbytes(c.text, got.data(), c.n));
        std::vector<std::uint8_t> expected = c.bytes;
        expected.push_back(0xee);
        EXPECT_EQ(expected, got) << c.text;
    }
    const std::uint8_t bytes[] = {0x00, 0xAB, 0x7F};
    char text[8];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(6U, hbytes_to_string(bytes, text, 3));
    EXPECT_STREQ("00ab7f", text);
    EXPECT_EQ('#', text[7]);
}

TEST(HexText, ZeroLengthTouchesNothing) {
    char text[4] = "###";
    std::uint8_t bytes[2] = {0xee, 0xee};
    EXPECT_EQ(0U, hbytes_to_string(bytes, text, 0));
    EXPECT_STREQ("###", text);
    EXPECT_EQ(0U, string_to_hbytes("12", bytes, 0));
    EXPECT_EQ(0xee, bytes[0]);
}

TEST(HexText, RandomBuffersRoundTripThroughTheCLibrary) {
    testsupport::Rng rng(99);
    for (int round = 0; round < 200; ++round) {
        const std::size_t n = rng.below(300);
        std::vector<std::uint8_t> bytes(n);
        for (auto &b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        std::vector<char> text(2 * n + 1, '#'), expected(2 * n + 1, '#');
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(&expected[2 * i], 3, "%02x", bytes[i]);
        }
        const auto n32 = static_cast<std::uint32_t>(n);
        ASSERT_EQ(2 * n32, hbytes_to_string(bytes.data(), text.data(), n32));
        ASSERT_EQ(expected, text);

        // Read back by strtoul, and by the library from upper-case text.
        std::vector<std::uint8_t> back(n, 0xee);
        for (std::size_t i = 0; i < n; ++i) {
            back[i] = strtoul_pair(text[2 * i], text[2 * i + 1]);
            text[2 * i] = static_cast<char>(std::toupper(text[2 * i]));
        }
        ASSERT_EQ(bytes, back);
        std::vector<std::uint8_t> parsed(n, 0xee);
        ASSERT_EQ(0U, string_to_hbytes(text.data(), parsed.data(), n32));
        ASSERT_EQ(bytes, parsed);
    }
}

} // namespace
