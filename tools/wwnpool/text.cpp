#include "text.hpp"

#include <revevidozi.h>

#include <algorithm>
#include <ctime>

namespace wwnpool {

std::size_t utf8_length(std::string_view s, std::size_t at) {
    const auto byte = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0U; };
    const unsigned lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned low = 0x80; // the second byte's bounds exclude overlong forms and surrogates
    unsigned high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

namespace {

// The code point of the well-formed sequence of `n` bytes at s[at].
char32_t code_point(std::string_view s, std::size_t at, std::size_t n) {
    static constexpr unsigned kLeadBits[] = {0, 0x7f, 0x1f, 0x0f, 0x07};
    char32_t cp = static_cast<unsigned char>(s[at]) & kLeadBits[n];
    for (std::size_t i = 1; i < n; ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(s[at + i]) & 0x3fU);
    }
    return cp;
}

// Unicode's format characters (general category Cf) and the line and
// paragraph separators: invisible, yet they reorder, join or break text.
bool format_character(char32_t cp) {
    static constexpr char32_t kRanges[][2] = {
        {0x00ad, 0x00ad},   {0x0600, 0x0605},   {0x061c, 0x061c},   {0x06dd, 0x06dd},   {0x070f, 0x070f},
        {0x0890, 0x0891},   {0x08e2, 0x08e2},   {0x180e, 0x180e},   {0x200b, 0x200f},   {0x2028, 0x202e},
        {0x2060, 0x2064},   {0x2066, 0x206f},   {0xfeff, 0xfeff},   {0xfff9, 0xfffb},   {0x110bd, 0x110bd},
        {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3}, {0x1d173, 0x1d17a}, {0xe0001, 0xe0001},
        {0xe0020, 0xe007f},
    };
    for (const auto &[first, last] : kRanges) {
        if (cp >= first && cp <= last) {
            return true;
        }
    }
    return false;
}

} // namespace

CharacterKind character_kind(std::string_view s, std::size_t at, std::size_t *length) {
    const std::size_t n = utf8_length(s, at);
    *length = n == 0 ? 1 : n;
    if (n == 0) {
        return CharacterKind::kNotUtf8;
    }
    const char32_t cp = code_point(s, at, n);
    if (cp < 0x20 || (cp >= 0x7f && cp < 0xa0)) { // C0, DEL and C1 steer terminals
        return CharacterKind::kControl;
    }
    return format_character(cp) ? CharacterKind::kFormat : CharacterKind::kPrintable;
}

std::string shown(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = 0;
        if (character_kind(s, i, &n) != CharacterKind::kPrintable) {
            for (const char byte : s.substr(i, n)) {
                const auto c = static_cast<unsigned char>(byte);
                char digits[3];
                hbytes_to_string(&c, digits, 1);
                out += "\\x";
                out += digits;
            }
            i += n;
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string shell_quoted(std::string_view s) {
    std::string out = "'";
    for (const char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string utc_time(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[32] = "?";
    if (::gmtime_r(&t, &parts) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    }
    return text;
}

std::string_view cut_at_character(std::string_view s, std::size_t bytes) {
    std::size_t size = std::min(s.size(), bytes);
    while (size < s.size() && size > 0 && (static_cast<unsigned char>(s[size]) & 0xc0U) == 0x80U) {
        --size; // not inside a character
    }
    return s.substr(0, size);
}

} // namespace wwnpool
