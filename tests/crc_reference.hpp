// One plain bit-at-a-time CRC, written from the definition, that every
// bit-serial routine is compared with: MSB first, one bit step at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference {

// Bit step: feedback = message bit XOR the register's top bit; shift; on
// feedback XOR the polynomial and set bit 0. The byte at `short_byte`
// contributes only its top six bits.
inline std::uint32_t bitwise_crc(unsigned width, std::uint32_t poly, std::uint32_t initial, const std::uint8_t *m,
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

inline std::uint32_t bitwise_crc(unsigned width, std::uint32_t poly, std::uint32_t initial,
                                 const std::vector<std::uint8_t> &m, std::size_t short_byte = SIZE_MAX) {
    return bitwise_crc(width, poly, initial, m.data(), m.size(), short_byte);
}

} // namespace reference
