// Text against strtoul per pair, and arbitrary bytes through formatting
// (against "%02x") and back. When the first byte is odd, the text is spelt
// over an alphabet that is mostly hex digits of either case, with one odd
// character in 2 to 64 (a sign, a blank, "x", a NUL, a high byte), so that
// long runs of digits reach the block-at-a-time path with odd ones inside.
#include <revevidozi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    if (size > 1 && (data[0] & 1U) != 0) {
        static const std::string alphabet =
            std::string("0123456789abcdefABCDEF", 22) + std::string(" \t\n+-xXzG\0\x80\xff", 12);
        const unsigned odd_one_in = 2U << (data[0] >> 1 & 31U) % 6;
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint32_t r = (data[i] + 1U) * 2654435761U ^ static_cast<std::uint32_t>(i);
            text[i] = alphabet[(r >> 24) % odd_one_in == 0 ? (r >> 8) % alphabet.size() : (r >> 8) % 22];
        }
    }
    const auto n = static_cast<std::uint32_t>(size / 2);
    std::vector<std::uint8_t> parsed(n + 1, 0xA5);
    string_to_hbytes(text.data(), parsed.data(), n);
    for (std::size_t i = 0; i < n; ++i) {
        const char pair[3] = {text[2 * i], text[2 * i + 1], '\0'};
        if (parsed[i] != static_cast<std::uint8_t>(std::strtoul(pair, nullptr, 16))) {
            std::fprintf(stderr, "pair %zu (%02x %02x) parsed as %02x\n", i, static_cast<unsigned char>(pair[0]),
                         static_cast<unsigned char>(pair[1]), parsed[i]);
            std::abort();
        }
    }
    if (parsed[n] != 0xA5) {
        std::abort(); // wrote past n bytes
    }

    const auto m = static_cast<std::uint32_t>(size);
    std::vector<char> formatted(2 * size + 2, '#'), expected(2 * size + 2, '#');
    for (std::size_t i = 0; i < m; ++i) {
        std::snprintf(&expected[2 * i], 3, "%02x", data[i]);
    }
    if (hbytes_to_string(data, formatted.data(), m) != 2 * m || (m > 0 && formatted != expected) ||
        (m == 0 && formatted[0] != '#')) { // no bytes: nothing written, not even a NUL
        std::abort();
    }
    std::vector<std::uint8_t> back(size + 1, 0xA5);
    string_to_hbytes(formatted.data(), back.data(), m);
    if ((size != 0 && std::memcmp(back.data(), data, size) != 0) || back[size] != 0xA5) {
        std::abort();
    }
    return 0;
}
