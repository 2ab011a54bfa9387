// Arbitrary data split arbitrarily into a chain of records, each in a buffer
// of its own at an arbitrary offset: crc32_Ethernet must equal crc32ForBuf of
// the whole, crc32 the bit-serial model, and every flat routine its model.
//
// Input: 4 bytes of initial value, 2 of polynomial, 1 seed for the splits,
// then the message.
#include "fuzz_input.hpp"

#include <revevidozi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The reference every bit-serial routine is compared with, written from the
// definition: MSB first, one bit step at a time.
// Bit step: feedback = message bit XOR the register's top bit; shift; on
// feedback XOR the polynomial and set bit 0. The byte at `short_byte`
// contributes only its top six bits.
std::uint32_t bitwise_crc(unsigned width, std::uint32_t poly, std::uint32_t initial, const std::uint8_t *m,
                          std::size_t n, std::size_t short_byte = SIZE_MAX) {
    const std::uint32_t mask = width == 32 ? 0xFFFFFFFFU : (1U << width) - 1;
    std::uint32_t reg = initial & mask;
    for (std::size_t i = 0; i < n; ++i) {
        const int last_bit = i == short_byte ? 2 : 0;
        for (int b = 7; b >= last_bit; --b) {
            const std::uint32_t f = ((m[i] >> b) & 1U) ^ ((reg >> (width - 1)) & 1U);
            reg = (reg << 1) & mask;
            if (f != 0) {
                reg = ((reg ^ poly) | 1U) & mask;
            }
        }
    }
    return reg;
}

void expect(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    const auto initial = static_cast<std::uint32_t>(in.bytes(4));
    const auto poly = static_cast<std::uint32_t>(in.bytes(2));
    std::uint32_t seed = in.byte() * 2654435761U + 1;
    const std::size_t header = 7;
    const std::uint8_t *msg = size > header ? data + header : nullptr;
    const std::size_t len = size > header ? size - header : 0;

    // The chain.
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers;
    std::vector<crc_buf_desc> records;
    records.reserve(len + 8);
    const auto next_random = [&] { return seed = seed * 1103515245U + 12345U, seed >> 16; };
    for (std::size_t pos = 0; pos < len || records.empty();) {
        const std::size_t piece = std::min<std::size_t>(len - pos, next_random() % 37);
        const std::uint32_t offset = next_random() % 5;
        auto &buffer = buffers.emplace_back(std::make_unique<std::uint8_t[]>(offset + piece));
        if (piece > 0) {
            std::memcpy(buffer.get() + offset, msg + pos, piece);
        }
        records.push_back({buffer.get(), 0, offset, static_cast<std::uint32_t>(piece), 0, nullptr});
        pos += piece;
    }
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        records[i].next = &records[i + 1];
    }

    const auto n = static_cast<std::int32_t>(len);
    expect(crc32_Ethernet(records.data()) == crc32ForBuf(msg, static_cast<std::uint32_t>(len)));
    expect(crc32(records.data()) == (bitwise_crc(32, 0x04C11DB7, 0xFFFFFFFF, msg, len) ^ 0xFFFFFFFFU));
    expect(crc8_VOM(msg, n, initial) == (bitwise_crc(8, 0x07, initial, msg, len) ^ 0xFFU));
    expect(crc8_ZEK(msg, n, initial) == crc8_VOM(msg, n, initial));
    expect(crc10(msg, n, initial) == bitwise_crc(10, 0x233, initial, msg, len));
    expect(crc10_orbo_rte(msg, n, initial) == bitwise_crc(10, 0x233, initial, msg, len, 8));
    expect(crc16(msg, n, initial) == bitwise_crc(16, 0x8005, initial, msg, len));
    expect(crc16_pelk(msg, n, initial, poly) == bitwise_crc(16, poly, initial, msg, len));
    expect(crc32_orbo(msg, n, initial) == bitwise_crc(32, 0x04C11DB7, initial, msg, len));
    return 0;
}
