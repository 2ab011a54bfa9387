// The bit-serial CRC family: normal (MSB-first) CRCs of width 8, 10, 16 and
// 32, eight shift steps per byte and no table, for callers whose protocols
// name these models.
//
// The register is kept left-aligned in 32 bits, so every width shares one
// step and the bit shifted out is simply bit 31; the polynomial is applied
// through a mask made from that bit, so no step branches on the data. A
// feedback bit also sets bit 0, which only matters for a caller's even
// polynomial: it makes the effective polynomial (P | 1).
//
// A run of one byte's eight steps is a chain of eight dependent shifts, and
// that latency is what limits a plain loop. The steps are linear, and the
// register's low 24 bits only shift through them, so one byte's eight steps
// equal: shift by 8, then XOR in, for each set bit of (top byte XOR message
// byte), what eight steps make of that bit alone. Those eight values are
// worked out by the bit steps once per call, and the eight masked XORs of a
// byte are independent of each other: same result, a far shorter chain.
#include "crc32_table.hpp"
#include "crc_chain.hpp"

#include "revevidozi.h"

#include <algorithm>
#include <array>

namespace revevidozi::crc {
namespace {

template <unsigned Width> class MsbFirstCrc {
    static_assert(Width >= 8 && Width <= 32);
    static constexpr unsigned kAlign = 32 - Width;
    static constexpr std::uint32_t kMask = Width == 32 ? 0xFFFFFFFFU : (std::uint32_t{1} << Width) - 1;

  public:
    MsbFirstCrc(std::uint32_t initial, std::uint32_t poly) noexcept
        : reg_((initial & kMask) << kAlign), poly_(((poly | 1U) & kMask) << kAlign) {}

    // Feeds the top `bits` bits of `byte`, most significant first.
    void feed(std::uint8_t byte, unsigned bits = 8) noexcept {
        reg_ ^= std::uint32_t{byte} << 24;
#pragma GCC unroll 8
        for (unsigned k = 0; k < bits; ++k) {
            const std::uint32_t feedback = 0U - (reg_ >> 31);
            reg_ = (reg_ << 1) ^ (poly_ & feedback);
        }
    }

    void feed(const std::uint8_t *p, std::uint32_t len) noexcept {
        if (len < kSpreadFrom) {
            for (std::uint32_t i = 0; i < len; ++i) {
                feed(p[i]);
            }
            return;
        }
        std::array<std::uint32_t, 8> of_bit{};
        for (unsigned bit = 0; bit < 8; ++bit) {
            MsbFirstCrc alone(0, 0);
            alone.reg_ = std::uint32_t{1} << (24 + bit);
            alone.poly_ = poly_;
            alone.feed(std::uint8_t{0});
            of_bit[bit] = alone.reg_;
        }
        const auto term = [&](std::uint32_t top, unsigned bit) { return of_bit[bit] & (0U - ((top >> bit) & 1U)); };
        for (std::uint32_t i = 0; i < len; ++i) {
            const std::uint32_t top = (reg_ >> 24) ^ p[i];
            reg_ = (reg_ << 8) ^ ((term(top, 0) ^ term(top, 1)) ^ (term(top, 2) ^ term(top, 3))) ^
                   ((term(top, 4) ^ term(top, 5)) ^ (term(top, 6) ^ term(top, 7)));
        }
    }

    std::uint32_t value() const noexcept {
        return reg_ >> kAlign;
    }

  private:
    // Below this length the per-call set-up costs more than it saves.
    static constexpr std::uint32_t kSpreadFrom = 16;

    std::uint32_t reg_;
    std::uint32_t poly_;
};

// A flat-buffer routine: no byte is read for a length below 1.
template <unsigned Width>
std::uint32_t flat(const void *buf, std::int32_t len, std::uint32_t initial, std::uint32_t poly) noexcept {
    MsbFirstCrc<Width> crc(initial, poly);
    if (len > 0) {
        crc.feed(static_cast<const std::uint8_t *>(buf), static_cast<std::uint32_t>(len));
    }
    return crc.value();
}

constexpr std::uint32_t kCrc8Poly = 0x07;
constexpr std::uint32_t kCrc10Poly = 0x233;
constexpr std::uint32_t kCrc16Poly = 0x8005;
constexpr std::uint32_t kCrc32Poly = 0x04C11DB7;

std::uint32_t crc8(const void *buf, std::int32_t len, std::uint32_t initial) noexcept {
    return flat<8>(buf, len, initial, kCrc8Poly) ^ 0xFFU;
}

// crc10, except that the byte at index 8 contributes only its top six bits.
std::uint32_t crc10_truncated_ninth(const void *buf, std::int32_t len, std::uint32_t initial) noexcept {
    MsbFirstCrc<10> crc(initial, kCrc10Poly);
    if (len <= 0) {
        return crc.value();
    }
    constexpr std::uint32_t kShortByte = 8;
    const auto *p = static_cast<const std::uint8_t *>(buf);
    const auto n = static_cast<std::uint32_t>(len);
    crc.feed(p, std::min(n, kShortByte));
    if (n > kShortByte) {
        crc.feed(static_cast<std::uint8_t>(p[kShortByte] & 0xFCU), 6);
        crc.feed(p + kShortByte + 1, n - kShortByte - 1);
    }
    return crc.value();
}

std::uint32_t ieee_normal_poly() noexcept {
    std::uint32_t poly = 0;
    for (unsigned e : kIeeeExponents) {
        poly |= std::uint32_t{1} << e;
    }
    return poly;
}

std::uint32_t crc32_chain(const crc_buf_desc *chain) noexcept {
    MsbFirstCrc<32> crc(0xFFFFFFFFU, ieee_normal_poly());
    for_each_record(chain, [&](const std::uint8_t *p, std::uint32_t len) { crc.feed(p, len); });
    return crc.value() ^ 0xFFFFFFFFU;
}

} // namespace
} // namespace revevidozi::crc

using namespace revevidozi::crc;

extern "C" {

REVEVIDOZI_API uint32_t crc8_VOM(const void *buf, int32_t len, uint32_t initial) {
    return crc8(buf, len, initial);
}

REVEVIDOZI_API uint32_t crc8_ZEK(const void *buf, int32_t len, uint32_t initial) {
    return crc8(buf, len, initial);
}

REVEVIDOZI_API uint32_t crc10(const void *buf, int32_t len, uint32_t initial) {
    return flat<10>(buf, len, initial, kCrc10Poly);
}

REVEVIDOZI_API uint32_t crc10_orbo_rte(const void *buf, int32_t len, uint32_t initial) {
    return crc10_truncated_ninth(buf, len, initial);
}

REVEVIDOZI_API uint32_t crc16(const void *buf, int32_t len, uint32_t initial) {
    return flat<16>(buf, len, initial, kCrc16Poly);
}

REVEVIDOZI_API uint32_t crc16_pelk(const void *buf, int32_t len, uint32_t initial, uint32_t poly) {
    return flat<16>(buf, len, initial, poly);
}

REVEVIDOZI_API uint32_t crc32_orbo(const void *buf, int32_t len, uint32_t initial) {
    return flat<32>(buf, len, initial, kCrc32Poly);
}

REVEVIDOZI_API uint32_t crc32(const crc_buf_desc *chain) {
    return crc32_chain(chain);
}

} // extern "C"
