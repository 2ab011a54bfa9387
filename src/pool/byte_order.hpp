// The pool's byte images store every number most significant byte first,
// whatever the host's byte order.
#pragma once

#include <cstdint>

namespace revevidozi::pool {

inline std::uint64_t load_be64(const std::uint8_t *p) noexcept {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v = (v << 8) | p[i];
    }
    return v;
}

inline void store_be64(std::uint8_t *p, std::uint64_t v) noexcept {
    for (int i = 7; i >= 0; --i, v >>= 8) {
        p[i] = static_cast<std::uint8_t>(v);
    }
}

inline std::uint32_t load_be32(const std::uint8_t *p) noexcept {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

inline void store_be32(std::uint8_t *p, std::uint32_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

} // namespace revevidozi::pool
