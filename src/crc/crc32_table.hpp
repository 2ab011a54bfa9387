// Table-driven CRC-32 used by the pool to guard its blocks, and exported.
#pragma once

#include "revevidozi.h"

#include <array>
#include <cstdint>

namespace revevidozi::crc {

// Exponents of the IEEE 802.3 generator's terms below x^32. Both the reflected
// polynomial of the table and the normal one of the bit-serial crc32 come
// from this single list, so the two can never drift apart.
inline constexpr std::array<unsigned, 14> kIeeeExponents = {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26};

// Byte-reversed standard CRC-32 of a flat buffer; 0 for a null pointer.
std::uint32_t crc32_for_buf(const void *buf, std::uint32_t len) noexcept;

// Byte-reversed standard CRC-32 of a chain's message; 0 for a null chain.
std::uint32_t crc32_ethernet(const crc_buf_desc *chain) noexcept;

} // namespace revevidozi::crc
