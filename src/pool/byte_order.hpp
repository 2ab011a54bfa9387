// The pool's byte images store every number most significant byte first,
// whatever the host's byte order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace revevidozi::pool {

template <typename T> T to_big_endian(T v) noexcept {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    if constexpr (std::endian::native == std::endian::little) {
        if constexpr (sizeof(T) == 8) {
            return __builtin_bswap64(v);
        } else {
            return __builtin_bswap32(v);
        }
    }
    return v;
}

template <typename T> T load_be(const std::uint8_t *p) noexcept {
    T v = 0;
    std::memcpy(&v, p, sizeof v);
    return to_big_endian(v);
}

template <typename T> void store_be(std::uint8_t *p, T v) noexcept {
    v = to_big_endian(v);
    std::memcpy(p, &v, sizeof v);
}

inline std::uint64_t load_be64(const std::uint8_t *p) noexcept {
    return load_be<std::uint64_t>(p);
}
inline void store_be64(std::uint8_t *p, std::uint64_t v) noexcept {
    store_be(p, v);
}
inline std::uint32_t load_be32(const std::uint8_t *p) noexcept {
    return load_be<std::uint32_t>(p);
}
inline void store_be32(std::uint8_t *p, std::uint32_t v) noexcept {
    store_be(p, v);
}

} // namespace revevidozi::pool
