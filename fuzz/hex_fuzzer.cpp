// Arbitrary text against strtoul per pair, and arbitrary bytes through
// formatting (against "%02x") and back.
#include <revevidozi.h>

#include <cstdint>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto n = static_cast<std::uint32_t>(size / 2);
    const char *text = reinterpret_cast<const char *>(data);
    std::vector<std::uint8_t> parsed(n + 1, 0xA5);
    string_to_hbytes(text, parsed.data(), n);
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
        (m == 0 && formatted[0] != '#')) {
        std::abort();
    }
    std::vector<std::uint8_t> back(size + 1, 0xA5);
    string_to_hbytes(formatted.data(), back.data(), m);
    if (std::memcmp(back.data(), data, size) != 0 || back[size] != 0xA5) {
        std::abort();
    }
    return 0;
}
