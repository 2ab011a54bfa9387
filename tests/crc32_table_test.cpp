// zlib is the oracle here, and zlib declares its own crc32.
#define REVEVIDOZI_NO_CRC32
#include "test_support.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
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

const std::uint8_t *u8(const char *s) {
    return reinterpret_cast<const std::uint8_t *>(s);
}

TEST(Crc32Table, OracleIsZlib) {
    ASSERT_EQ(0xCBF43926U, crc32_z(0, u8("123456789"), 9));
}

TEST(Crc32Table, KnownAnswers) {
    EXPECT_EQ(0x2639F4CBU, crc32ForBuf("123456789", 9));
    EXPECT_EQ(0U, crc32ForBuf(nullptr, 5));
    EXPECT_EQ(0U, crc32ForBuf("abc", 0));
    EXPECT_EQ(0U, crc32_Ethernet(nullptr));

    crc_buf_desc c{}, b{}, a{};
    a = {"1234", 0, 0, 4, 0, &b};
    b = {"", 0, 0, 0, 0, &c};
    c = {"56789", 0, 0, 5, 0, nullptr};
    EXPECT_EQ(0x2639F4CBU, crc32_Ethernet(&a));
    crc_buf_desc shifted{"xyz123456789", 0, 3, 9, 0, nullptr};
    EXPECT_EQ(0x2639F4CBU, crc32_Ethernet(&shifted));
    crc_buf_desc empty2{nullptr, 0, 0, 0, 0, nullptr}, empty1{nullptr, 0, 7, 0, 0, &empty2};
    EXPECT_EQ(0U, crc32_Ethernet(&empty1));
}

TEST(Crc32Table, EveryLengthUpTo300MatchesZlib) {
    testsupport::Rng rng(12345);
    std::vector<std::uint8_t> data(300 + 8);
    for (std::uint32_t len = 0; len <= 300; ++len) {
        for (auto &byte : data) {
            byte = static_cast<std::uint8_t>(rng());
        }
        const std::size_t misalign = len % 8; // every start alignment too
        ASSERT_EQ(oracle(data.data() + misalign, len), crc32ForBuf(data.data() + misalign, len)) << len;
    }
}

TEST(Crc32Table, RandomChainsMatchTheFlatMessage) {
    testsupport::Rng rng(777);
    for (int round = 0; round < 500; ++round) {
        const std::size_t len = rng() % 600;
        std::vector<std::uint8_t> message(len);
        for (auto &byte : message) {
            byte = static_cast<std::uint8_t>(rng());
        }
        // Each record copies its piece into its own buffer at a random offset,
        // with empty records sprinkled in.
        std::vector<std::vector<std::uint8_t>> buffers;
        std::vector<crc_buf_desc> records;
        records.reserve(len + 64);
        const auto add_record = [&](std::size_t pos, std::size_t piece) {
            const std::uint32_t offset = rng() % 9;
            auto &buffer = buffers.emplace_back(offset + piece + 1, std::uint8_t{0xee});
            if (piece != 0) {
                std::memcpy(buffer.data() + offset, message.data() + pos, piece);
            }
            records.push_back({buffer.data(), rng(), offset, static_cast<std::uint32_t>(piece), rng(), nullptr});
        };
        for (std::size_t pos = 0; pos < len;) {
            const std::size_t piece = rng() % 3 == 0 ? 0 : std::min<std::size_t>(len - pos, rng() % 70);
            add_record(pos, piece);
            pos += piece;
        }
        if (rng() % 2 == 0) {
            add_record(len, 0);
        }
        for (std::size_t i = 0; i + 1 < records.size(); ++i) {
            records[i].next = &records[i + 1];
        }
        const crc_buf_desc *head = records.empty() ? nullptr : records.data();
        ASSERT_EQ(oracle(message.data(), len), crc32_Ethernet(head)) << round;
        ASSERT_EQ(crc32ForBuf(message.data(), static_cast<std::uint32_t>(len)), crc32_Ethernet(head));
    }
}

} // namespace
