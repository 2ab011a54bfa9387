// The bit-serial CRC family against its published check values and against
// one plain bit-at-a-time reference written from the definition.
#include "crc_reference.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using testsupport::Rng;

namespace {

using reference::bitwise_crc;

using Flat = std::function<std::uint32_t(const std::vector<std::uint8_t> &, std::uint32_t initial, std::uint32_t poly)>;

std::int32_t len(const std::vector<std::uint8_t> &m) {
    return static_cast<std::int32_t>(m.size());
}

struct Routine {
    const char *name;
    Flat routine;
    Flat model;
    std::uint32_t carry; // XOR that turns a result into the next piece's initial value
};

const std::vector<Routine> &routines() {
    static const std::vector<Routine> all = {
        {"crc8_VOM", [](auto &m, auto i, auto) { return crc8_VOM(m.data(), len(m), i); },
         [](auto &m, auto i, auto) { return bitwise_crc(8, 0x07, i, m) ^ 0xFF; }, 0xFF},
        {"crc8_ZEK", [](auto &m, auto i, auto) { return crc8_ZEK(m.data(), len(m), i); },
         [](auto &m, auto i, auto) { return bitwise_crc(8, 0x07, i, m) ^ 0xFF; }, 0xFF},
        {"crc10", [](auto &m, auto i, auto) { return crc10(m.data(), len(m), i); },
         [](auto &m, auto i, auto) { return bitwise_crc(10, 0x233, i, m); }, 0},
        {"crc10_orbo_rte", [](auto &m, auto i, auto) { return crc10_orbo_rte(m.data(), len(m), i); },
         [](auto &m, auto i, auto) { return bitwise_crc(10, 0x233, i, m, 8); }, 0},
        {"crc16", [](auto &m, auto i, auto) { return crc16(m.data(), len(m), i); },
         [](auto &m, auto i, auto) { return bitwise_crc(16, 0x8005, i, m); }, 0},
        {"crc16_pelk", [](auto &m, auto i, auto p) { return crc16_pelk(m.data(), len(m), i, p); },
         [](auto &m, auto i, auto p) { return bitwise_crc(16, p & 0xFFFF, i, m); }, 0},
        {"crc32_orbo", [](auto &m, auto i, auto) { return crc32_orbo(m.data(), len(m), i); },
         [](auto &m, auto i, auto) { return bitwise_crc(32, 0x04C11DB7, i, m); }, 0},
        {"crc32 (one record)",
         [](auto &m, auto, auto) {
             crc_buf_desc record{m.data(), 0, 0, static_cast<std::uint32_t>(m.size()), 0, nullptr};
             return crc32(&record);
         },
         [](auto &m, auto, auto) { return bitwise_crc(32, 0x04C11DB7, 0xFFFFFFFF, m) ^ 0xFFFFFFFF; }, 0},
    };
    return all;
}

const std::vector<std::uint8_t> kCheck = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

TEST(BitSerial, CheckValuesOf123456789) {
    const struct {
        std::uint32_t got, expected;
        const char *what;
    } cases[] = {
        {crc8_VOM(kCheck.data(), 9, 0), 0x0B, "crc8_VOM 0"},
        {crc8_ZEK(kCheck.data(), 9, 0), 0x0B, "crc8_ZEK 0"},
        {crc8_VOM(kCheck.data(), 9, 0xFF), 0x04, "crc8_VOM ff"},
        {crc8_ZEK(kCheck.data(), 9, 0xFF), 0x04, "crc8_ZEK ff"},
        {crc10(kCheck.data(), 9, 0), 0x199, "crc10 0"},
        {crc10(kCheck.data(), 9, 0x3FF), 0x058, "crc10 3ff"},
        {crc10_orbo_rte(kCheck.data(), 9, 0), 0x3F3, "crc10_orbo_rte 0"},
        {crc10_orbo_rte(kCheck.data(), 9, 0x3FF), 0x116, "crc10_orbo_rte 3ff"},
        {crc16(kCheck.data(), 9, 0), 0xFEE8, "crc16 0"},
        {crc16(kCheck.data(), 9, 0xFFFF), 0xAEE7, "crc16 ffff"},
        {crc16_pelk(kCheck.data(), 9, 0, 0x8005), 0xFEE8, "pelk umts"},
        {crc16_pelk(kCheck.data(), 9, 0xFFFF, 0x1021), 0x29B1, "pelk ibm-3740"},
        {crc16_pelk(kCheck.data(), 9, 0, 0x1021), 0x31C3, "pelk xmodem"},
        {crc32_orbo(kCheck.data(), 9, 0xFFFFFFFF), 0x0376E6E7, "crc32_orbo mpeg-2"},
        {crc32_orbo(kCheck.data(), 9, 0), 0x89A1897F, "crc32_orbo 0"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.expected, c.got) << c.what;
    }
    crc_buf_desc tail{"3456789", 0, 0, 7, 0, nullptr}, empty{nullptr, 0, 0, 0, 0, &tail},
        head{"12", 0, 0, 2, 0, &empty};
    EXPECT_EQ(0xFC891918U, crc32(&head));
    EXPECT_EQ(0U, crc32(nullptr));
    empty.next = nullptr;
    EXPECT_EQ(0U, crc32(&empty));
}

TEST(BitSerial, EdgeCases) {
    const std::uint8_t eight_30[] = {'1', '2', '3', '4', '5', '6', '7', '8', 0x30};
    const std::uint8_t eight_33[] = {'1', '2', '3', '4', '5', '6', '7', '8', 0x33};
    const std::uint8_t ten[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0xFF};
    const struct {
        std::uint32_t got, expected;
        const char *what;
    } cases[] = {
        {crc8_VOM(nullptr, 0, 0), 0xFF, "crc8 empty"},
        {crc8_VOM(nullptr, -3, 0x1234), 0xCB, "crc8 negative length"},
        {crc8_VOM(kCheck.data(), 9, 0x1234), 0x60, "crc8 initial masked"},
        {crc8_VOM(kCheck.data(), 9, 0x34), 0x60, "crc8 initial"},
        {crc10(nullptr, 0, 0x7FF), 0x3FF, "crc10 empty"},
        {crc10_orbo_rte(nullptr, INT32_MIN, 0xFFFF), 0x3FF, "crc10_orbo_rte empty"},
        {crc16(nullptr, -1, 0x12345), 0x2345, "crc16 empty"},
        {crc16_pelk(nullptr, 0, 0xABCDE, 0x1021), 0xBCDE, "pelk empty"},
        {crc32_orbo(nullptr, 0, 0x12345678), 0x12345678, "crc32_orbo empty"},
        {crc16_pelk(kCheck.data(), 9, 0, 0x18005), 0xFEE8, "pelk high poly bits"},
        {crc16_pelk(kCheck.data(), 9, 0, 0x1020), 0x31C3, "pelk even poly"},
        {crc10_orbo_rte(kCheck.data(), 8, 0), 0x0F7, "orbo_rte 8 bytes"},
        {crc10(kCheck.data(), 8, 0), 0x0F7, "crc10 8 bytes"},
        {crc10_orbo_rte(eight_30, 9, 0), 0x1A6, "orbo_rte ...0x30"},
        {crc10_orbo_rte(eight_33, 9, 0), 0x1A6, "orbo_rte ...0x33"},
        {crc10(eight_30, 9, 0), 0x0AB, "crc10 ...0x30"},
        {crc10_orbo_rte(ten, 10, 0), 0x366, "orbo_rte 10 bytes"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.expected, c.got) << c.what;
    }
}

TEST(BitSerial, RandomMessagesMatchTheReference) {
    Rng rng(4242);
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> m(rng.below(100));
        for (auto &b : m) {
            b = static_cast<std::uint8_t>(rng());
        }
        const std::uint32_t initial = rng();
        const std::uint32_t poly = rng();
        for (const auto &r : routines()) {
            ASSERT_EQ(r.model(m, initial, poly), r.routine(m, initial, poly)) << r.name << " round " << round;
        }
        ASSERT_EQ(crc8_VOM(m.data(), len(m), initial), crc8_ZEK(m.data(), len(m), initial));
    }
}

TEST(BitSerial, SplitMessagesCarryTheResultAsInitialValue) {
    Rng rng(5151);
    for (int round = 0; round < 500; ++round) {
        std::vector<std::uint8_t> m(1 + rng.below(60));
        for (auto &b : m) {
            b = static_cast<std::uint8_t>(rng());
        }
        const auto cut = static_cast<std::ptrdiff_t>(rng.below(static_cast<std::uint32_t>(m.size()) + 1));
        const std::vector<std::uint8_t> head(m.begin(), m.begin() + cut), tail(m.begin() + cut, m.end());
        const std::uint32_t initial = rng(), poly = rng();
        for (const auto &r : routines()) {
            if (std::string(r.name) == "crc10_orbo_rte" || std::string(r.name).starts_with("crc32 (")) {
                continue; // position-dependent, or takes no initial value
            }
            const std::uint32_t whole = r.routine(m, initial, poly);
            const std::uint32_t first = r.routine(head, initial, poly);
            ASSERT_EQ(whole, r.routine(tail, first ^ r.carry, poly)) << r.name << " cut " << cut;
        }
        // The chained crc32 gives the same result however the message is split.
        crc_buf_desc second{tail.data(), 0, 0, static_cast<std::uint32_t>(tail.size()), 0, nullptr};
        crc_buf_desc first{head.data(), 0, 0, static_cast<std::uint32_t>(head.size()), 0, &second};
        crc_buf_desc whole{m.data(), 0, 0, static_cast<std::uint32_t>(m.size()), 0, nullptr};
        ASSERT_EQ(crc32(&whole), crc32(&first));
    }
}

} // namespace
