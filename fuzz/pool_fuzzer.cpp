// A pool block and a sequence of locked and unlocked operations with
// arbitrary addresses and counts, each checked against the reference model:
// every status, every delivered address and every byte must agree.
//
// Input: a setup byte (bit 0: a fresh pool of the 8-byte local WWN and the
// page in bits 1-3 that follow, else 152 raw block bytes, then bit 4 renews
// their CRC and bit 5 sets version 1). Then operations, each an opcode byte
// (bits 0-2 the operation, bit 3 unlocked, bits 4-5 how the address is given,
// bit 6 a 4-byte count instead of one byte, bit 7 picks release-all) and its
// arguments; opcode 0xff is what a caller does between operations instead:
// renew the CRC, write the version byte, or create the pool afresh.
#include "fuzz_input.hpp"
#include "pool_reference.hpp"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    testsupport::Ctrl ctrl;
    wwn_pool_cfg cfg{};
    const std::uint8_t setup = in.byte();
    const wwn_t local = testsupport::wwn(in.bytes(8));
    wwn_pool_init(ctrl.get(), &cfg, &local, (setup >> 1) & 7U); // also readies the mutex
    if ((setup & 1U) == 0) {
        for (auto &b : cfg.bytes) {
            b = in.byte();
        }
        cfg.bytes[0] = (setup & 0x20U) != 0 ? 1 : cfg.bytes[0];
        if ((setup & 0x10U) != 0) {
            testsupport::renew_crc(cfg);
        }
    }
    reference::Pool model(cfg);
    for (int step = 0; !in.exhausted() && step < 256; ++step) {
        const std::uint8_t opcode = in.byte();
        if (opcode == 0xff) {
            const std::uint8_t what = in.byte();
            if (what % 3 == 0) {
                testsupport::renew_crc(cfg);
            } else if (what % 3 == 1) {
                cfg.bytes[0] = in.byte();
            } else {
                wwn_pool_init(ctrl.get(), &cfg, &local, what % 8);
            }
            model = reference::Pool(cfg);
            continue;
        }
        using K = reference::OpKind;
        constexpr K kinds[] = {K::kBatch, K::kTake,  K::kRelease, K::kStatus,
                               K::kUsage, K::kBatch, K::kTake,    K::kRelease};
        reference::Op op{};
        op.kind = (opcode & 0x87U) == 0x87U ? K::kReleaseAll : kinds[opcode & 7U];
        op.locked = (opcode & 8U) == 0 || op.kind == K::kUsage;
        const unsigned mode = (opcode >> 4) & 3U;
        if (mode == 0) {
            op.addr = in.bytes(8);
        } else { // an index of this pool, or of a neighbouring one
            const std::uint64_t base = model.base() ^ (mode == 3 ? in.bytes(1) << 56 : 0);
            const std::uint64_t index = in.bytes(2) % 1024;
            op.addr = base + ((base >> 60) == 2 ? index << 48 : index);
        }
        op.count = (opcode & 0x40U) != 0 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(in.bytes(4)))
                                         : static_cast<std::int32_t>(in.byte());
        const std::string problems = reference::run_and_compare(ctrl.get(), cfg, model, op);
        if (!problems.empty()) {
            std::fprintf(stderr, "step %d, opcode 0x%02x, count %d, addr %016llx: %s\n", step, opcode, op.count,
                         static_cast<unsigned long long>(op.addr), problems.c_str());
            std::abort();
        }
    }
    return 0;
}
