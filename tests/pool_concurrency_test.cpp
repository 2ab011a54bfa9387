// Threads hammering pools: no address is ever held by two threads at once,
// and the counts and the block agree with what the threads hold at the end.
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

using testsupport::Pool;
using testsupport::value;
using testsupport::wwn;

namespace {

constexpr int kThreads = 8;
constexpr auto kDuration = std::chrono::milliseconds(1500);

std::atomic<int> doubled{0};    // an address delivered while someone held it
std::atomic<int> unexpected{0}; // a status no correct pool could give
std::atomic<long> operations{0};

// The pool all threads share: page 5 of 10:00:12:34:56:78:9a:bc, whose
// address of index i is its base plus i.
constexpr std::uint64_t kBase = 0x5123'4567'89ab'c400ULL;
wwn_t address(std::uint32_t index) {
    return wwn(kBase + index);
}

// One thread's work on `pool`: batches, chosen addresses and releases, with
// every address it holds marked in `owner` (index -> thread + 1). Returns the
// indexes it holds at the end.
std::vector<std::uint32_t> hammer(Pool &pool, std::array<std::atomic<int>, 1024> &owner, int me) {
    std::mt19937 rng(static_cast<std::uint32_t>(me * 7919 + 1));
    std::vector<std::uint32_t> held;
    const auto got = [&](std::uint32_t status, std::uint32_t index) {
        if (status == WWN_POOL_OK) {
            doubled += owner[index].exchange(me + 1) != 0 ? 1 : 0;
            held.push_back(index);
        } else if (status != WWN_POOL_ADDR_IN_USE) {
            ++unexpected;
        }
    };
    std::vector<wwn_t> out(16);
    for (const auto stop = std::chrono::steady_clock::now() + kDuration; std::chrono::steady_clock::now() < stop;
         ++operations) {
        const auto count = static_cast<std::int32_t>(1 + rng() % 16);
        const std::uint32_t choice = rng() % 1024;
        const wwn_t chosen = address(choice);
        switch (rng() % 3) {
        case 0: {
            const std::uint32_t status = wwn_pool_addr_alloc(pool.ctrl.get(), &pool.cfg, count, out.data());
            for (std::int32_t i = 0; i < (status == WWN_POOL_OK ? count : 1); ++i) {
                got(status, status == WWN_POOL_OK
                                ? static_cast<std::uint32_t>(value(out[static_cast<std::size_t>(i)]) - kBase)
                                : 0);
            }
            break;
        }
        case 1:
            got(wwn_pool_usr_addr_alloc(pool.ctrl.get(), &pool.cfg, &chosen), choice);
            break;
        default:
            for (std::int32_t n = count; n > 4 && !held.empty(); --n) {
                const std::uint32_t index = held.back();
                held.pop_back();
                // Give up ownership before the pool may hand the address out again.
                unexpected += owner[index].exchange(0) != me + 1 ? 1 : 0;
                const wwn_t a = address(index);
                unexpected += wwn_pool_addr_release(pool.ctrl.get(), &pool.cfg, &a) != WWN_POOL_OK ? 1 : 0;
            }
            break;
        }
    }
    return held;
}

TEST(PoolConcurrency, ManyThreadsOnePool) {
    Pool pool(5);
    std::array<std::atomic<int>, 1024> owner{};
    std::vector<std::vector<std::uint32_t>> held(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] { held[static_cast<std::size_t>(t)] = hammer(pool, owner, t); });
    }
    for (auto &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, doubled.load());
    EXPECT_EQ(0, unexpected.load());
    EXPECT_GT(operations.load(), 1000);
    std::uint32_t used = 0;
    for (const auto &indexes : held) {
        for (std::uint32_t index : indexes) {
            const wwn_t a = address(index);
            EXPECT_EQ(WWN_POOL_ADDR_IN_USE, wwn_pool_addr_status(pool.ctrl.get(), &pool.cfg, &a));
            ++used;
        }
    }
    wwn_pool_usage usage{};
    ASSERT_EQ(WWN_POOL_OK, wwn_pool_pool_status(pool.ctrl.get(), &pool.cfg, &usage));
    EXPECT_EQ(used, usage.used_count);
    EXPECT_EQ(1024 - used, usage.free_count);
}

} // namespace
