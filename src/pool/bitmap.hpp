// The allocation bitmap: 32 words of 32 bits, each stored big-endian; address
// index i is bit (i mod 32) of word (i div 32), 1 meaning allocated. Counting
// and searching go a word at a time; nothing about the bitmap is cached.
#pragma once

#include "block_layout.hpp"
#include "byte_order.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

namespace revevidozi::pool::bitmap {

inline constexpr std::uint32_t kWords = kAddressesPerPool / 32;
static_assert(std::size_t{kWords} * 4 == kBitmapSize);

inline std::size_t byte_of(std::uint32_t index) noexcept {
    return 4 * (index / 32) + 3 - (index % 32) / 8;
}
inline std::uint8_t mask_of(std::uint32_t index) noexcept {
    return static_cast<std::uint8_t>(1U << (index % 8));
}

inline bool is_set(const std::uint8_t *bm, std::uint32_t index) noexcept {
    return (bm[byte_of(index)] & mask_of(index)) != 0;
}
inline void set(std::uint8_t *bm, std::uint32_t index) noexcept {
    bm[byte_of(index)] |= mask_of(index);
}
inline void clear(std::uint8_t *bm, std::uint32_t index) noexcept {
    bm[byte_of(index)] &= static_cast<std::uint8_t>(~mask_of(index));
}
inline void clear_all(std::uint8_t *bm) noexcept {
    std::memset(bm, 0, kBitmapSize);
}

inline std::uint32_t word(const std::uint8_t *bm, std::uint32_t j) noexcept {
    return load_be32(bm + std::size_t{4} * j);
}
inline bool all_set(const std::uint8_t *bm, std::uint32_t j) noexcept {
    std::uint32_t raw = 0; // byte order does not matter for "all ones"
    std::memcpy(&raw, bm + std::size_t{4} * j, sizeof raw);
    return raw == 0xFFFFFFFFU;
}
inline void store_word(std::uint8_t *bm, std::uint32_t j, std::uint32_t w) noexcept {
    store_be32(bm + std::size_t{4} * j, w);
}

// Set bits over all 1024 indexes. A word's byte order does not change how
// many bits it holds, so the bytes are counted as they lie, 64 bits at a
// time: per-byte counts are summed across the 16 chunks (at most 128 per byte
// lane, no overflow) and folded once at the end, with no POPCNT instruction.
inline std::uint32_t used_count(const std::uint8_t *bm) noexcept {
    constexpr std::uint64_t k55 = 0x5555555555555555ULL, k33 = 0x3333333333333333ULL, k0f = 0x0F0F0F0F0F0F0F0FULL;
    std::uint64_t byte_counts = 0;
    for (std::size_t off = 0; off < kBitmapSize; off += 8) {
        std::uint64_t x = 0;
        std::memcpy(&x, bm + off, sizeof x);
        x -= (x >> 1) & k55;
        x = (x & k33) + ((x >> 2) & k33);
        byte_counts += (x + (x >> 4)) & k0f;
    }
    constexpr std::uint64_t k00ff = 0x00FF00FF00FF00FFULL;
    const std::uint64_t pair_counts = (byte_counts & k00ff) + ((byte_counts >> 8) & k00ff); // <= 256 each
    return static_cast<std::uint32_t>((pair_counts * 0x0001000100010001ULL) >> 48);
}

// The first word, at or after word j, that has a clear bit; kWords if none.
// Whole 64-bit chunks of allocated addresses are skipped at once, and the
// walk does not wait for the count, so both can run side by side.
inline std::uint32_t first_open_word(const std::uint8_t *bm, std::uint32_t j) noexcept {
    for (; j + 1 < kWords; j += 2) {
        std::uint64_t two = 0;
        std::memcpy(&two, bm + std::size_t{4} * j, sizeof two);
        if (two != ~0ULL) {
            break;
        }
    }
    while (j < kWords && all_set(bm, j)) {
        ++j;
    }
    return j;
}

} // namespace revevidozi::pool::bitmap
