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
    namespace fs = std::filesystem;
    int inputs = 0;
    unsigned long random_inputs = 0;
    std::vector<fs::path> files;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg.starts_with("--random=")) {
            random_inputs = std::strtoul(arg.c_str() + 9, nullptr, 10);
        } else {
            for (const auto &entry : fs::directory_iterator(arg)) {
                files.push_back(entry.path());
            }
        }
    }
    for (const auto &file : files) {
        std::ifstream stream(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
        ++inputs;
    }
    std::mt19937 rng(20261206);
    for (unsigned long i = 0; i < random_inputs; ++i, ++inputs) {
        std::vector<std::uint8_t> bytes(rng() % 600);
        for (auto &b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    if (files.empty()) {
        std::fprintf(stderr, "no corpus files found\n");
        return 1;
    }
    std::printf("replayed %d inputs\n", inputs);
    return 0;
}
