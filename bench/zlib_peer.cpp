#include "zlib_peer.hpp"

#include <zlib.h>

namespace bench {
std::uint32_t zlib_crc32(const std::uint8_t *data, std::size_t len) {
    return static_cast<std::uint32_t>(crc32_z(0, data, len));
}
} // namespace bench
