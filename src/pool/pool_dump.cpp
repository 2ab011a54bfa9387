// A pool block as hex text on standard output, for diagnosis: shown as it is,
// valid or not, with no lock taken.
#include "block_layout.hpp"
#include "hex/hex_text.hpp"

#include <cstdio>

namespace revevidozi::pool {
namespace {

void dump(const wwn_pool_cfg &cfg) noexcept {
    char text[2 * kPoolInfoSize + 1]; // the largest piece, pool_info
    hex::bytes_to_text(cfg.bytes + kVersionOffset, text, 1);
    std::printf("Version: 0x");
    std::printf("%s   ", text);
    hex::bytes_to_text(cfg.bytes + kMbzOffset, text, kMbzSize);
    std::printf("Mbz: 0x");
    std::printf("%s   ", text);
    hex::bytes_to_text(cfg.bytes + kCrcOffset, text, 4);
    std::printf("Crc: 0x");
    std::puts(text);
    std::puts("POOL_INFO:");
    hex::bytes_to_text(cfg.bytes + kPoolInfoOffset, text, kPoolInfoSize);
    std::printf("%s \n", text);
}

} // namespace
} // namespace revevidozi::pool

extern "C" REVEVIDOZI_API uint32_t print_pool_info(const wwn_pool_cfg *cfg) {
    revevidozi::pool::dump(*cfg);
    return 0;
}
