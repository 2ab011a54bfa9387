// The IEEE 802.3 CRC-32, reflected, one 256-entry table lookup per byte.
//
// The table is computed from the generator's exponent list on first use rather
// than stored, and built exactly once under pthread_once so that the first
// calls from several threads (pools under different mutexes verifying their
// blocks at the same moment) all wait for one complete table. Results are
// returned byte-reversed: that is the number the pool stores big-endian, which
// puts the frame check sequence in the order IEEE 802.3 transmits it.
#include "crc32_table.hpp"

#include "crc_chain.hpp"

#include <pthread.h>

namespace revevidozi::crc {
namespace {

std::array<std::uint32_t, 256> table;
pthread_once_t table_once = PTHREAD_ONCE_INIT;

void build_table() noexcept {
    std::uint32_t poly = 0;
    for (unsigned e : kIeeeExponents) {
        poly |= std::uint32_t{1} << (31 - e);
    }
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1U) != 0 ? (c >> 1) ^ poly : c >> 1;
        }
        table[n] = c;
    }
}

const std::array<std::uint32_t, 256> &ready_table() noexcept {
    pthread_once(&table_once, build_table);
    return table;
}

inline std::uint32_t step(const std::array<std::uint32_t, 256> &t, std::uint32_t crc, std::uint8_t byte) noexcept {
    return t[(crc ^ byte) & 0xFFU] ^ (crc >> 8);
}

std::uint32_t feed(const std::array<std::uint32_t, 256> &t, std::uint32_t crc, const std::uint8_t *p,
                   std::uint32_t len) noexcept {
    for (; len >= 8; len -= 8, p += 8) {
        crc = step(t, crc, p[0]);
        crc = step(t, crc, p[1]);
        crc = step(t, crc, p[2]);
        crc = step(t, crc, p[3]);
        crc = step(t, crc, p[4]);
        crc = step(t, crc, p[5]);
        crc = step(t, crc, p[6]);
        crc = step(t, crc, p[7]);
    }
    for (; len != 0; --len, ++p) {
        crc = step(t, crc, *p);
    }
    return crc;
}

// The result's bytes reversed: not a slip but the order every stored pool
// block's CRC has; changing it would make them all fail to import.
std::uint32_t finish(std::uint32_t crc) noexcept {
    const std::uint32_t r = ~crc;
    return (r >> 24) | ((r >> 8) & 0xFF00U) | ((r << 8) & 0xFF0000U) | (r << 24);
}

} // namespace

std::uint32_t crc32_for_buf(const void *buf, std::uint32_t len) noexcept {
    const auto &t = ready_table();
    if (buf == nullptr) {
        return 0;
    }
    return finish(feed(t, 0xFFFFFFFFU, static_cast<const std::uint8_t *>(buf), len));
}

std::uint32_t crc32_ethernet(const crc_buf_desc *chain) noexcept {
    const auto &t = ready_table();
    std::uint32_t crc = 0xFFFFFFFFU;
    for_each_record(chain, [&](const std::uint8_t *p, std::uint32_t len) { crc = feed(t, crc, p, len); });
    return finish(crc);
}

} // namespace revevidozi::crc

extern "C" {

REVEVIDOZI_API uint32_t crc32ForBuf(const void *buf, uint32_t len) {
    return revevidozi::crc::crc32_for_buf(buf, len);
}

REVEVIDOZI_API uint32_t crc32_Ethernet(const crc_buf_desc *chain) {
    return revevidozi::crc::crc32_ethernet(chain);
}

} // extern "C"
