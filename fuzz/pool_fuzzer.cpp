// An arbitrary pool block and an arbitrary sequence of locked and unlocked
// operations with arbitrary addresses and counts, each checked against the
// reference model: every status and every byte must agree.
//
// Input: the 152 block bytes; one flag byte (bit 0: store a valid CRC first,
// bit 1: set version 1); then operations, each an opcode byte (bits 0-2 the
// operation, bit 3 unlocked, bits 4-5 how the address is given) and its
// arguments.
#include "fuzz_input.hpp"
#include "pool_reference.hpp"

#include <cstdio>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    wwn_pool_cfg cfg{};
    for (auto &b : cfg.bytes) {
        b = in.byte();
    }
    const std::uint8_t flags = in.byte();
    if ((flags & 2U) != 0) {
        cfg.bytes[0] = 1;
    }
    if ((flags & 1U) != 0) {
        const std::uint32_t crc = crc32ForBuf(cfg.bytes + 8, 136);
        for (int k = 0; k < 4; ++k) {
            cfg.bytes[144 + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
        }
    }
    // A ready mutex, made on a scratch block: the fuzzed one may not import.
    auto ctrl_mem = std::make_unique<std::max_align_t[]>(wwn_pool_sizeof_pool_ctrl() / sizeof(std::max_align_t) + 1);
    auto *ctrl = reinterpret_cast<wwn_pool_ctrl *>(ctrl_mem.get());
    wwn_pool_cfg scratch{};
    const wwn_t local{};
    wwn_pool_init(ctrl, &scratch, &local, 0);

    reference::Pool model(cfg);
    for (int step = 0; !in.exhausted() && step < 256; ++step) {
        const std::uint8_t opcode = in.byte();
        reference::Op op{};
        constexpr reference::OpKind kinds[] = {reference::OpKind::kBatch,   reference::OpKind::kTake,
                                               reference::OpKind::kRelease, reference::OpKind::kReleaseAll,
                                               reference::OpKind::kStatus,  reference::OpKind::kUsage,
                                               reference::OpKind::kBatch,   reference::OpKind::kTake};
        op.kind = kinds[opcode & 7U];
        op.locked = (opcode & 8U) == 0 || op.kind == reference::OpKind::kUsage;
        switch ((opcode >> 4) & 3U) {
        case 0:
            op.addr = in.bytes(8);
            break;
        default: { // an index of this pool, or of a neighbouring one
            const std::uint64_t base = model.base() ^ (((opcode >> 4) & 3U) == 3 ? in.bytes(1) << 56 : 0);
            const std::uint64_t index = in.bytes(2) % 1024;
            op.addr = base + ((base >> 60) == 2 ? index << 48 : index);
            break;
        }
        }
        op.count = (opcode & 0x40U) != 0 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(in.bytes(4)))
                                         : static_cast<std::int16_t>(in.bytes(2));
        const std::string problems = reference::run_and_compare(ctrl, cfg, model, op);
        if (!problems.empty()) {
            std::fprintf(stderr, "step %d, opcode 0x%02x, count %d, addr %016llx: %s\n", step, opcode, op.count,
                         static_cast<unsigned long long>(op.addr), problems.c_str());
            std::abort();
        }
    }
    return 0;
}
