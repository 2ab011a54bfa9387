// Pool operations against the pool floor: the unavoidable cost of one locked
// operation, two CRC-32s over the 136 protected bytes and one uncontended
// lock and unlock. Every operation works on its own block of a chunk of
// blocks, restored outside the timed region.
#include "side_by_side.hpp"

#include <revevidozi.h>

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kChunk = 32;
const wwn_t kLocal = {{0x10, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};

// One pool, on cache lines of its own.
struct alignas(64) Pool {
    wwn_pool_cfg cfg{};
    alignas(64) unsigned char ctrl_mem[128]{};
    wwn_pool_ctrl *ctrl() { return reinterpret_cast<wwn_pool_ctrl *>(ctrl_mem); }
};

// The floor's mutex lives where a pool's would.
struct alignas(64) FloorPool {
    wwn_pool_cfg cfg{};
    std::mutex mutex;
};

wwn_t address(const Pool &pool, std::uint32_t index) {
    wwn_t w{};
    std::memcpy(w.bytes, pool.cfg.bytes + 8, 8);
    w.bytes[0] = static_cast<std::uint8_t>(w.bytes[0] | (index >> 8));
    w.bytes[1] = static_cast<std::uint8_t>(index);
    return w;
}

// kChunk pools of page 0, each with `used` lowest addresses taken.
struct Chunk {
    std::vector<Pool> pools = std::vector<Pool>(kChunk);
    std::vector<Pool> pristine;
    std::vector<FloorPool> floors = std::vector<FloorPool>(kChunk);

    explicit Chunk(std::int32_t used) {
        static_assert(sizeof(Pool::ctrl_mem) >= 40);
        std::vector<wwn_t> out(1024);
        for (auto &pool : pools) {
            wwn_pool_init(pool.ctrl(), &pool.cfg, &kLocal, 0);
            wwn_pool_addr_alloc(pool.ctrl(), &pool.cfg, used, out.data());
        }
        pristine = pools;
        for (std::size_t i = 0; i < floors.size(); ++i) {
            floors[i].cfg = pools[i].cfg;
        }
    }
    void restore() {
        for (std::size_t i = 0; i < pools.size(); ++i) {
            pools[i].cfg = pristine[i].cfg;
        }
    }
    void floor(int crcs) {
        for (auto &f : floors) {
            const std::lock_guard lock(f.mutex);
            for (int c = 0; c < crcs; ++c) {
                benchmark::DoNotOptimize(crc32ForBuf(f.cfg.bytes + 8, 136));
            }
        }
        benchmark::ClobberMemory();
    }
};

template <typename Op> void pool_vs_floor(benchmark::State &state, std::int32_t used, int floors, Op op) {
    Chunk chunk(used);
    bench::side_by_side(
        state, "x_floor", bench::Ratio::kCost, [&] { chunk.restore(); },
        [&] {
            for (auto &pool : chunk.pools) {
                benchmark::DoNotOptimize(op(pool));
            }
        },
        [&] {
            for (int f = 0; f < floors; ++f) {
                chunk.floor(2);
            }
        });
    state.SetItemsProcessed(state.iterations() * kChunk);
}

constexpr std::int32_t kNearlyFull = 1014; // 99%: the 10 free addresses are the top ones

void BM_Floor(benchmark::State &state) {
    Chunk chunk(0);
    bench::side_by_side(
        state, "x_floor", bench::Ratio::kCost, [] {}, [&] { chunk.floor(2); }, [&] { chunk.floor(2); });
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_StatusFloor(benchmark::State &state) {
    Chunk chunk(0);
    bench::side_by_side(
        state, "x_floor", bench::Ratio::kCost, [] {}, [&] { chunk.floor(1); }, [&] { chunk.floor(1); });
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_TakeThenRelease(benchmark::State &state) {
    // Two locked operations: measured against two floors.
    pool_vs_floor(state, static_cast<std::int32_t>(state.range(0)), 2, [](Pool &pool) {
        const wwn_t a = address(pool, 1020);
        return wwn_pool_usr_addr_alloc(pool.ctrl(), &pool.cfg, &a) + wwn_pool_addr_release(pool.ctrl(), &pool.cfg, &a);
    });
}

void BM_AddrStatus(benchmark::State &state) {
    pool_vs_floor(state, static_cast<std::int32_t>(state.range(0)), 1, [](Pool &pool) {
        const wwn_t a = address(pool, 3);
        return wwn_pool_addr_status(pool.ctrl(), &pool.cfg, &a);
    });
}

void BM_PoolStatus(benchmark::State &state) {
    Chunk chunk(static_cast<std::int32_t>(state.range(0)));
    bench::side_by_side(
        state, "x_status_floor", bench::Ratio::kCost, [] {},
        [&] {
            for (auto &pool : chunk.pools) {
                wwn_pool_usage usage;
                benchmark::DoNotOptimize(wwn_pool_pool_status(pool.ctrl(), &pool.cfg, &usage));
                benchmark::DoNotOptimize(usage);
            }
        },
        [&] { chunk.floor(1); });
    state.SetItemsProcessed(state.iterations() * kChunk);
}

void BM_Batch(benchmark::State &state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    const auto used = static_cast<std::int32_t>(state.range(1));
    std::vector<wwn_t> out(1024);
    pool_vs_floor(state, used, 1,
                  [&](Pool &pool) { return wwn_pool_addr_alloc(pool.ctrl(), &pool.cfg, count, out.data()); });
    state.counters["addresses"] = static_cast<double>(count);
}

BENCHMARK(BM_Floor)->UseManualTime();
BENCHMARK(BM_StatusFloor)->UseManualTime();
BENCHMARK(BM_TakeThenRelease)->Arg(0)->Arg(kNearlyFull)->UseManualTime();
BENCHMARK(BM_AddrStatus)->Arg(0)->Arg(kNearlyFull)->UseManualTime();
BENCHMARK(BM_PoolStatus)->Arg(0)->Arg(kNearlyFull)->UseManualTime();
BENCHMARK(BM_Batch)
    ->Args({1, 0})
    ->Args({64, 0})
    ->Args({1024, 0})
    ->Args({1, kNearlyFull})
    ->Args({10, kNearlyFull})
    ->ArgNames({"count", "used"})
    ->UseManualTime();

// Threads: take-then-release of a thread's own address, on one shared pool or
// on a pool per thread. Every run starts all threads together and is timed on
// the wall clock until the last one finishes, side by side with the same work
// on one thread; the counter is the throughput relative to that one thread.
constexpr int kThreadOps = 20000;

std::array<Pool, 8> thread_pools;

double run_threads(int threads, bool shared) {
    for (int t = 0; t < threads; ++t) {
        Pool &pool = thread_pools[static_cast<std::size_t>(t)];
        wwn_pool_init(pool.ctrl(), &pool.cfg, &kLocal, static_cast<std::uint32_t>(t));
    }
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            Pool &pool = thread_pools[shared ? 0 : static_cast<std::size_t>(t)];
            const wwn_t a = address(pool, static_cast<std::uint32_t>(t));
            ready.fetch_add(1);
            while (!go.load()) {
            }
            for (int i = 0; i < kThreadOps; ++i) {
                benchmark::DoNotOptimize(wwn_pool_usr_addr_alloc(pool.ctrl(), &pool.cfg, &a));
                benchmark::DoNotOptimize(wwn_pool_addr_release(pool.ctrl(), &pool.cfg, &a));
            }
        });
    }
    while (ready.load() != threads) {
    }
    const auto t0 = bench::Clock::now();
    go.store(true);
    for (auto &w : workers) {
        w.join();
    }
    return std::chrono::duration<double>(bench::Clock::now() - t0).count();
}

void BM_Threads(benchmark::State &state, bool shared) {
    const auto threads = static_cast<int>(state.range(0));
    double many = 0;
    double one = 0;
    for (auto _ : state) {
        const double seconds = run_threads(threads, shared);
        state.SetIterationTime(seconds);
        many += seconds;
        one += run_threads(1, shared);
    }
    state.SetItemsProcessed(state.iterations() * threads * kThreadOps * 2);
    state.counters["throughput_vs_1_thread"] = threads * one / many;
}

BENCHMARK_CAPTURE(BM_Threads, shared_pool, true)->Arg(1)->Arg(2)->UseManualTime();
BENCHMARK_CAPTURE(BM_Threads, pool_per_thread, false)->Arg(1)->Arg(2)->UseManualTime();

} // namespace
