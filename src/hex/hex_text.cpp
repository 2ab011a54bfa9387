// Hex text conversions with the exact results of "%02x" per byte and of
// strtoul(pair, NULL, 16) per pair of characters, through small tables
// instead of a library call per byte. The tables are fixed at compile time
// with the C locale's notion of whitespace, so no setlocale() changes them.
#include "hex_text.hpp"

#include "revevidozi.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace revevidozi::hex {
namespace {

constexpr char kDigits[] = "0123456789abcdef";
constexpr std::uint8_t kNotHex = 0xFF;

constexpr std::array<char, 512> make_pairs() {
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = kDigits[b >> 4];
        pairs[2 * b + 1] = kDigits[b & 15];
    }
    return pairs;
}

constexpr std::array<std::uint8_t, 256> make_values() {
    std::array<std::uint8_t, 256> values{};
    for (unsigned c = 0; c < 256; ++c) {
        values[c] = c >= '0' && c <= '9'   ? static_cast<std::uint8_t>(c - '0')
                    : c >= 'a' && c <= 'f' ? static_cast<std::uint8_t>(c - 'a' + 10)
                    : c >= 'A' && c <= 'F' ? static_cast<std::uint8_t>(c - 'A' + 10)
                                           : kNotHex;
    }
    return values;
}

constexpr auto kPairs = make_pairs();
constexpr auto kValues = make_values();

constexpr bool is_c_space(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// strtoul(base 16) on the text c0 c1 NUL, low 8 bits. With only two
// characters the parse is: [space | sign] digit, or digit digit; anything
// else stops before a digit and gives 0 ("0x" included: the prefix alone
// parses as the 0).
std::uint8_t parse_pair(unsigned char c0, unsigned char c1) noexcept {
    const std::uint8_t v0 = kValues[c0];
    const std::uint8_t v1 = kValues[c1];
    if (v0 != kNotHex) {
        return v1 != kNotHex ? static_cast<std::uint8_t>(v0 << 4 | v1) : v0;
    }
    if (v1 == kNotHex) {
        return 0;
    }
    if (c0 == '-') {
        return static_cast<std::uint8_t>(-v1);
    }
    return c0 == '+' || is_c_space(c0) ? v1 : 0;
}

#if defined(__SSE2__)
// Sixteen characters (eight pairs) into eight bytes, or false when any of
// them is not a hex digit. Signed byte compares reject every character from
// 0x80 up along with the rest.
bool parse_eight_pairs(const char *text, std::uint8_t *bytes) noexcept {
    const auto splat = [](char c) { return _mm_set1_epi8(c); };
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text));
    const __m128i lower = _mm_or_si128(x, splat(0x20));
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(x, splat('0' - 1)), _mm_cmplt_epi8(x, splat('9' + 1)));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, splat('a' - 1)), _mm_cmplt_epi8(lower, splat('f' + 1)));
    if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xFFFF) {
        return false;
    }
    // Digits are their low nibble; letters their low nibble plus 9.
    const __m128i nibbles = _mm_add_epi8(_mm_and_si128(x, splat(0x0F)), _mm_and_si128(letter, splat(9)));
    // Each 16-bit lane holds a pair, first character in its low byte.
    const __m128i pairs =
        _mm_or_si128(_mm_and_si128(_mm_slli_epi16(nibbles, 4), _mm_set1_epi16(0x00F0)), _mm_srli_epi16(nibbles, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(bytes), _mm_packus_epi16(pairs, pairs));
    return true;
}
#endif

} // namespace

std::uint32_t bytes_to_text(const std::uint8_t *bytes, char *text, std::uint32_t n) noexcept {
    // No NUL for n == 0, on purpose: a caller may pass no room at all then.
    if (n == 0) {
        return 0;
    }
    // Indexes in size_t: 2n may not fit the 32 bits of n.
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t pair = std::size_t{2} * bytes[i];
        text[2 * i] = kPairs[pair];
        text[2 * i + 1] = kPairs[pair + 1];
    }
    text[std::size_t{2} * n] = '\0';
    return 2 * n;
}

void text_to_bytes(const char *text, std::uint8_t *bytes, std::uint32_t n) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Text that is all hex digits, the usual case, goes eight bytes at a
    // time; from the first block with anything else on, pair by pair.
    while (i + 8 <= n && parse_eight_pairs(text + 2 * i, bytes + i)) {
        i += 8;
    }
#endif
    const auto *t = reinterpret_cast<const unsigned char *>(text);
    for (; i < n; ++i) {
        bytes[i] = parse_pair(t[2 * i], t[2 * i + 1]);
    }
}

} // namespace revevidozi::hex

extern "C" {

REVEVIDOZI_API uint32_t hbytes_to_string(const void *bytes, char *text, uint32_t n) {
    return revevidozi::hex::bytes_to_text(static_cast<const std::uint8_t *>(bytes), text, n);
}

REVEVIDOZI_API uint32_t string_to_hbytes(const char *text, void *bytes, uint32_t n) {
    revevidozi::hex::text_to_bytes(text, static_cast<std::uint8_t *>(bytes), n);
    return 0;
}

} // extern "C"
