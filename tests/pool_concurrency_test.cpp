// Threads hammering pools: no address is ever held by two threads at once,
// and the counts and the block agree with what the threads hold at the end.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using testsupport::Pool;
using testsupport::Rng;
using testsupport::value;
using testsupport::wwn;

namespace {

constexpr int kThreads = 8;
constexpr auto kDuration = std::chrono::milliseconds(1500);
constexpr int kMaxRounds = 200000;

struct Outcome {
    std::atomic<int> doubled{0};    // an address delivered while someone held it
    std::atomic<int> unexpected{0}; // a status no correct pool could give
    std::atomic<long> operations{0};
};

// One thread's work on `pool`: batches, chosen addresses and releases, with
// every address it holds marked in `owner` (index -> thread + 1).
std::vector<std::uint32_t> hammer(Pool &pool, std::array<std::atomic<int>, 1024> &owner, int me, Outcome &outcome) {
    Rng rng(static_cast<std::uint32_t>(me * 7919 + 1));
    const std::uint64_t base = value(*reinterpret_cast<const wwn_t *>(pool.cfg.bytes + 8));
    const int shift = (base >> 60) == 2 ? 48 : 0;
    const auto index_of = [&](const wwn_t &w) {
        return static_cast<std::uint32_t>(((value(w) - base) >> shift) & 1023);
    };
    const auto claim = [&](std::uint32_t index) {
        if (owner[index].exchange(me + 1) != 0) {
            outcome.doubled.fetch_add(1);
        }
    };
    std::vector<std::uint32_t> held;
    std::vector<wwn_t> out(16);
    const auto stop = std::chrono::steady_clock::now() + kDuration;
    for (int round = 0; round < kMaxRounds && std::chrono::steady_clock::now() < stop; ++round) {
        std::uint32_t status = WWN_POOL_OK;
        switch (rng.below(3)) {
        case 0: {
            const auto count = static_cast<std::int32_t>(1 + rng.below(16));
            status = wwn_pool_addr_alloc(pool.ctrl.get(), &pool.cfg, count, out.data());
            if (status == WWN_POOL_OK) {
                for (std::int32_t i = 0; i < count; ++i) {
                    claim(index_of(out[static_cast<std::size_t>(i)]));
                    held.push_back(index_of(out[static_cast<std::size_t>(i)]));
                }
            } else if (status != WWN_POOL_ADDR_IN_USE) {
                outcome.unexpected.fetch_add(1);
            }
            break;
        }
        case 1: {
            const std::uint32_t index = rng.below(1024);
            const wwn_t addr = wwn(base + (std::uint64_t{index} << shift));
            status = wwn_pool_usr_addr_alloc(pool.ctrl.get(), &pool.cfg, &addr);
            if (status == WWN_POOL_OK) {
                claim(index);
                held.push_back(index);
            } else if (status != WWN_POOL_ADDR_IN_USE) {
                outcome.unexpected.fetch_add(1);
            }
            break;
        }
        default:
            for (int n = static_cast<int>(rng.below(12)); n > 0 && !held.empty(); --n) {
                const std::size_t pick = rng.below(static_cast<std::uint32_t>(held.size()));
                const std::uint32_t index = held[pick];
                held[pick] = held.back();
                held.pop_back();
                // Give up ownership before the pool may hand the address out again.
                if (owner[index].exchange(0) != me + 1) {
                    outcome.doubled.fetch_add(1);
                }
                const wwn_t addr = wwn(base + (std::uint64_t{index} << shift));
                if (wwn_pool_addr_release(pool.ctrl.get(), &pool.cfg, &addr) != WWN_POOL_OK) {
                    outcome.unexpected.fetch_add(1);
                }
            }
            break;
        }
        outcome.operations.fetch_add(1, std::memory_order_relaxed);
    }
    return held;
}

void expect_pool_matches(Pool &pool, const std::vector<std::vector<std::uint32_t>> &held_by_thread) {
    std::size_t held = 0;
    for (const auto &h : held_by_thread) {
        held += h.size();
    }
    wwn_pool_usage usage{};
    ASSERT_EQ(WWN_POOL_OK, wwn_pool_pool_status(pool.ctrl.get(), &pool.cfg, &usage));
    EXPECT_EQ(held, usage.used_count);
    EXPECT_EQ(1024 - held, usage.free_count);
    testsupport::Ctrl fresh;
    EXPECT_EQ(WWN_POOL_OK, wwn_pool_cfg_import(fresh.get(), &pool.cfg));
    const std::uint64_t base = value(*reinterpret_cast<const wwn_t *>(pool.cfg.bytes + 8));
    const int shift = (base >> 60) == 2 ? 48 : 0;
    for (const auto &h : held_by_thread) {
        for (std::uint32_t index : h) {
            const wwn_t addr = wwn(base + (std::uint64_t{index} << shift));
            EXPECT_EQ(WWN_POOL_ADDR_IN_USE, wwn_pool_addr_status(pool.ctrl.get(), &pool.cfg, &addr));
        }
    }
}

// Half the threads share one pool, the others have one each: a shared pool
// never hands out an address twice, and pools never disturb each other.
TEST(PoolConcurrency, SharedAndPrivatePools) {
    std::vector<Pool> pools;
    pools.reserve(1 + kThreads / 2);
    for (std::uint32_t p = 0; p <= kThreads / 2; ++p) {
        pools.emplace_back(p);
    }
    std::vector<std::array<std::atomic<int>, 1024>> owners(pools.size());
    const auto pool_of = [](int t) { return static_cast<std::size_t>(t < kThreads / 2 ? 0 : t - kThreads / 2 + 1); };
    Outcome outcome;
    std::vector<std::vector<std::uint32_t>> held(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(
            [&, t] { held[static_cast<std::size_t>(t)] = hammer(pools[pool_of(t)], owners[pool_of(t)], t, outcome); });
    }
    for (auto &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, outcome.doubled.load());
    EXPECT_EQ(0, outcome.unexpected.load());
    EXPECT_GT(outcome.operations.load(), 1000);
    for (std::size_t p = 0; p < pools.size(); ++p) {
        std::vector<std::vector<std::uint32_t>> on_pool;
        for (int t = 0; t < kThreads; ++t) {
            if (pool_of(t) == p) {
                on_pool.push_back(held[static_cast<std::size_t>(t)]);
            }
        }
        expect_pool_matches(pools[p], on_pool);
    }
}

} // namespace
