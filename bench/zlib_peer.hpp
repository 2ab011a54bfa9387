// zlib's CRC-32, from a translation unit of its own: <zlib.h> declares a
// crc32 that differs from the library's function of that name.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bench {
std::uint32_t zlib_crc32(const std::uint8_t *data, std::size_t len);
}
