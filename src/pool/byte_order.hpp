// The pool's byte images store every number most significant byte first,
// whatever the host's byte order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace revevidozi::pool {

inline std::uint64_t to_big_endian(std::uint64_t v) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return __builtin_bswap64(v);
    }
    return v;
}

inline std::uint32_t to_big_endian(std::uint32_t v) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        return __builtin_bswap32(v);
    }
    return v;
}

inline std::uint64_t load_be64(const std::uint8_t *p) noexcept {
    std::uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return to_big_endian(v);
}

inline void store_be64(std::uint8_t *p, std::uint64_t v) noexcept {
    v = to_big_endian(v);
    std::memcpy(p, &v, sizeof v);
}

inline std::uint32_t load_be32(const std::uint8_t *p) noexcept {
    std::uint32_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return to_big_endian(v);
}

inline void store_be32(std::uint8_t *p, std::uint32_t v) noexcept {
    v = to_big_endian(v);
    std::memcpy(p, &v, sizeof v);
}

} // namespace revevidozi::pool
