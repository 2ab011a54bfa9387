// Long random sequences of every pool operation, locked and unlocked, against
// the reference model, with damage and repair mixed in.
#include "pool_reference.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

using testsupport::kLocal;
using testsupport::Rng;
using testsupport::value;
using testsupport::wwn;

namespace {

// An address of one of several kinds, most of them near the pool.
std::uint64_t random_address(Rng &rng, std::uint64_t base) {
    const std::uint64_t index = rng.below(1024);
    const std::uint64_t in_pool = base + ((base >> 60) == 2 ? index << 48 : index);
    switch (rng.below(8)) {
    case 0:
        return (std::uint64_t{rng()} << 32) | rng();
    case 1:
        return in_pool ^ (std::uint64_t{1} << rng.below(64));
    case 2: { // another page of this host
        wwn_t other{};
        wwn_pool_get_local_base_wwn(&kLocal, rng.below(8), &other);
        return value(other) + ((value(other) >> 60) == 2 ? index << 48 : index);
    }
    default:
        return in_pool;
    }
}

reference::Op random_op(Rng &rng, std::uint64_t base) {
    const std::int32_t counts[] = {static_cast<std::int32_t>(rng.below(8)),
                                   static_cast<std::int32_t>(rng.below(300)),
                                   static_cast<std::int32_t>(rng.below(1100)),
                                   -static_cast<std::int32_t>(rng.below(5)),
                                   INT32_MIN,
                                   INT32_MAX};
    const reference::OpKind kinds[] = {reference::OpKind::kBatch,   reference::OpKind::kBatch,
                                       reference::OpKind::kTake,    reference::OpKind::kRelease,
                                       reference::OpKind::kRelease, reference::OpKind::kStatus,
                                       reference::OpKind::kUsage,   reference::OpKind::kReleaseAll};
    auto kind = kinds[rng.below(8)];
    if (kind == reference::OpKind::kReleaseAll && rng.below(10) != 0) {
        kind = reference::OpKind::kStatus;
    }
    return {kind, rng.below(4) != 0, counts[rng.below(6)], random_address(rng, base)};
}

TEST(PoolModel, RandomSequencesMatchTheModel) {
    Rng rng(20261205);
    for (int run = 0; run < 24; ++run) {
        const auto page = static_cast<std::uint32_t>(run % 8);
        const wwn_t local = run < 8 ? kLocal : wwn((std::uint64_t{rng()} << 32) | rng());
        testsupport::Pool pool(page, local);
        std::memset(pool.cfg.bytes + 4, static_cast<int>(rng() & 0xff), 4);
        std::memset(pool.cfg.bytes + 148, static_cast<int>(rng() & 0xff), 4);
        reference::Pool model(pool.cfg);

        for (int step = 0; step < 3000; ++step) {
            // Now and then, what a caller of the unlocked layer does (renew
            // the CRC), damage to the version byte, or a fresh start.
            if (rng.below(12) == 0) {
                switch (rng.below(3)) {
                case 0:
                    for (int k = 0; k < 4; ++k) {
                        const std::uint32_t crc = crc32ForBuf(pool.cfg.bytes + 8, 136);
                        pool.cfg.bytes[144 + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
                    }
                    break;
                case 1:
                    pool.cfg.bytes[0] = rng.below(3) == 0 ? static_cast<std::uint8_t>(rng()) : 1;
                    break;
                default:
                    wwn_pool_init(pool.ctrl.get(), &pool.cfg, &local, page);
                    break;
                }
                model = reference::Pool(pool.cfg);
            }
            const reference::Op op = random_op(rng, model.base());
            ASSERT_EQ("", reference::run_and_compare(pool.ctrl.get(), pool.cfg, model, op))
                << "run " << run << " step " << step << " op " << static_cast<int>(op.kind)
                << (op.locked ? " locked" : " unlocked") << " count " << op.count << " addr " << std::hex << op.addr;
        }
    }
}

} // namespace
