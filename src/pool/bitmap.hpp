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
static_assert(kWords * 4 == kBitmapSize);

inline std::size_t byte_of(std::uint32_t index) noexcept { return 4 * (index / 32) + 3 - (index % 32) / 8; }
inline std::uint8_t mask_of(std::uint32_t index) noexcept { return static_cast<std::uint8_t>(1U << (index % 8)); }

inline bool is_set(const std::uint8_t *bm, std::uint32_t index) noexcept {
    return (bm[byte_of(index)] & mask_of(index)) != 0;
}
inline void set(std::uint8_t *bm, std::uint32_t index) noexcept { bm[byte_of(index)] |= mask_of(index); }
inline void clear(std::uint8_t *bm, std::uint32_t index) noexcept {
    bm[byte_of(index)] &= static_cast<std::uint8_t>(~mask_of(index));
}
inline void clear_all(std::uint8_t *bm) noexcept { std::memset(bm, 0, kBitmapSize); }

inline std::uint32_t word(const std::uint8_t *bm, std::uint32_t j) noexcept { return load_be32(bm + 4 * j); }
inline void store_word(std::uint8_t *bm, std::uint32_t j, std::uint32_t w) noexcept { store_be32(bm + 4 * j, w); }

// Set bits over all 1024 indexes. A word's byte order does not change how
// many bits it holds, so the bytes are counted as they lie.
inline std::uint32_t used_count(const std::uint8_t *bm) noexcept {
    std::uint32_t used = 0;
    for (std::size_t off = 0; off < kBitmapSize; off += 8) {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, bm + off, sizeof chunk);
        used += static_cast<std::uint32_t>(std::popcount(chunk));
    }
    return used;
}

} // namespace revevidozi::pool::bitmap
