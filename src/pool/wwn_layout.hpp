// Address arithmetic of the pools: how a local WWN and a page give a pool's
// base, and how a pool address is taken apart again. Everything works on the
// WWN read as one 64-bit number, bit 63 the top bit of byte 0.
#pragma once

#include <cstdint>

namespace revevidozi::pool {

inline constexpr std::uint32_t kPagesPerHost = 8;
inline constexpr std::uint32_t kAddressesPerPool = 1024;

inline constexpr std::uint64_t kIeeeAddressMask = 0x0000'FFFF'FFFF'FFFFULL; // M, bits 47..0
inline constexpr std::uint64_t kLocalWwnPrefix = 0x1000'0000'0000'0000ULL;  // NAA 1, "10:00"

// NAA 2 (pages 0..3): 2 | page:2 | index:10 | M:48
inline constexpr int kNaa2PageShift = 58;
inline constexpr int kNaa2IndexShift = 48;
inline constexpr std::uint64_t kNaa2IndexMask = 0x3FFULL << kNaa2IndexShift;

// NAA 5 (pages 4..7): 5 | M:48 | page-4:2 | index:10
inline constexpr int kNaa5MShift = 12;
inline constexpr int kNaa5PageShift = 10;
inline constexpr std::uint64_t kNaa5IndexMask = 0x3FFULL;

inline constexpr unsigned naa_of(std::uint64_t wwn) noexcept {
    return static_cast<unsigned>(wwn >> 60);
}

// Base of the pool of `page` (0..7, already checked) of a local WWN.
std::uint64_t pool_base(std::uint64_t local_wwn, std::uint32_t page) noexcept;

// WWN_POOL_OK when `wwn` has a pool layout with a zero index field.
std::uint32_t validate_base(std::uint64_t wwn) noexcept;

// The index of `addr` within the pool of `base`: WWN_POOL_OK, or
// WWN_POOL_ERR_NOT_IN_POOL (index still written), or WWN_POOL_ERR_BAD_NAA.
std::uint32_t addr_to_index(std::uint64_t base, std::uint32_t &index, std::uint64_t addr) noexcept;

} // namespace revevidozi::pool
