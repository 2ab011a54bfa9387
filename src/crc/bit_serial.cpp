// The bit-serial CRC family: normal (MSB-first) CRCs of width 8, 10, 16 and
// 32, eight shift steps per byte and no table, for callers whose protocols
// name these models.
//
// The register is kept left-aligned in 32 bits, so every width shares one
// step and the bit shifted out is simply bit 31; the polynomial is applied
// through a mask made from that bit, so no step branches on the data. A
// feedback bit also sets bit 0, which only matters for a caller's even
// polynomial: it makes the effective polynomial (P | 1).
#include "crc32_table.hpp"
#include "crc_chain.hpp"

#include "revevidozi.h"

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
        for (unsigned k = 0; k < bits; ++k) {
            const std::uint32_t feedback = 0U - (reg_ >> 31);
            reg_ = (reg_ << 1) ^ (poly_ & feedback);
        }
    }

    void feed(const std::uint8_t *p, std::uint32_t len) noexcept {
        for (std::uint32_t i = 0; i < len; ++i) {
            feed(p[i]);
        }
    }

    std::uint32_t value() const noexcept { return reg_ >> kAlign; }

private:
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
    const auto *p = static_cast<const std::uint8_t *>(buf);
    for (std::int32_t i = 0; i < len; ++i) {
        if (i == 8) {
            crc.feed(static_cast<std::uint8_t>(p[i] & 0xFCU), 6);
        } else {
            crc.feed(p[i]);
        }
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

REVEVIDOZI_API uint32_t crc8_VOM(const void *buf, int32_t len, uint32_t initial) { return crc8(buf, len, initial); }

REVEVIDOZI_API uint32_t crc8_ZEK(const void *buf, int32_t len, uint32_t initial) { return crc8(buf, len, initial); }

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

REVEVIDOZI_API uint32_t crc32(const crc_buf_desc *chain) { return crc32_chain(chain); }

} // extern "C"
