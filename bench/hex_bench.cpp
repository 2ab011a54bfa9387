// Hex conversions against the C library loop whose results they reproduce.
#include "side_by_side.hpp"

#include <revevidozi.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

struct Buffers {
    std::vector<std::uint8_t> bytes;
    std::vector<char> text;
    std::vector<std::uint8_t> back;
    explicit Buffers(std::size_t n) : bytes(n), text(2 * n + 1), back(n) {
        std::mt19937 rng(3);
        for (auto &b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        hbytes_to_string(bytes.data(), text.data(), static_cast<std::uint32_t>(n));
    }
};

std::size_t repeats_for(std::size_t n) {
    return n >= 65536 ? 1 : 65536 / n;
}

void BM_HexFormat_vs_Sprintf(benchmark::State &state) {
    Buffers b(static_cast<std::size_t>(state.range(0)));
    const auto n = static_cast<std::uint32_t>(b.bytes.size());
    const std::size_t reps = repeats_for(n);
    bench::side_by_side(
        state, "speedup_vs_sprintf", bench::Ratio::kSpeedup, [] {},
        [&] {
            for (std::size_t r = 0; r < reps; ++r) {
                benchmark::DoNotOptimize(hbytes_to_string(b.bytes.data(), b.text.data(), n));
                benchmark::ClobberMemory();
            }
        },
        [&] {
            for (std::size_t r = 0; r < reps; ++r) {
                for (std::size_t i = 0; i < n; ++i) {
                    std::sprintf(&b.text[2 * i], "%02x", b.bytes[i]);
                }
                benchmark::ClobberMemory();
            }
        });
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reps * n));
}

void BM_HexParse_vs_Strtoul(benchmark::State &state) {
    Buffers b(static_cast<std::size_t>(state.range(0)));
    const auto n = static_cast<std::uint32_t>(b.bytes.size());
    const std::size_t reps = repeats_for(n);
    bench::side_by_side(
        state, "speedup_vs_strtoul", bench::Ratio::kSpeedup, [] {},
        [&] {
            for (std::size_t r = 0; r < reps; ++r) {
                benchmark::DoNotOptimize(string_to_hbytes(b.text.data(), b.back.data(), n));
                benchmark::ClobberMemory();
            }
        },
        [&] {
            for (std::size_t r = 0; r < reps; ++r) {
                for (std::size_t i = 0; i < n; ++i) {
                    const char pair[3] = {b.text[2 * i], b.text[2 * i + 1], '\0'};
                    b.back[i] = static_cast<std::uint8_t>(std::strtoul(pair, nullptr, 16));
                }
                benchmark::ClobberMemory();
            }
        });
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reps * n));
}

BENCHMARK(BM_HexFormat_vs_Sprintf)->Arg(136)->Arg(65536)->UseManualTime();
BENCHMARK(BM_HexParse_vs_Strtoul)->Arg(136)->Arg(65536)->UseManualTime();

} // namespace
