// Runs a fuzz target over every file of the corpus folders named on the
// command line, then over --random=N seeded pseudo-random inputs, so
// each target is also an ordinary test with any compiler. A disagreement
// aborts, which fails the test.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv) {
    int inputs = 0;
    unsigned long random_inputs = 0;
    for (int a = 1; a < argc; ++a) {
        if (const std::string arg = argv[a]; arg.starts_with("--random=")) {
            random_inputs = std::strtoul(arg.c_str() + 9, nullptr, 10);
        } else {
            for (const auto &entry : std::filesystem::directory_iterator(arg)) {
                std::ifstream stream(entry.path(), std::ios::binary);
                const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)),
                                              std::istreambuf_iterator<char>());
                LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
                ++inputs;
            }
        }
    }
    if (inputs == 0) {
        std::fprintf(stderr, "no corpus files found\n");
        return 1;
    }
    std::mt19937 rng(20261206);
    for (unsigned long i = 0; i < random_inputs; ++i, ++inputs) {
        std::vector<std::uint8_t> bytes(rng() % 600);
        for (auto &b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %d inputs\n", inputs);
    return 0;
}
