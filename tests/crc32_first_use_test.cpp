// The CRC-32 table is built on first use; here many threads make that first
// use together. Its own executable, so nothing has touched the table before.
#include "revevidozi.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

int main() {
    constexpr int kThreads = 16;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::uint32_t> flat(kThreads), chained(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (!go.load()) {
            }
            if (t % 2 == 0) {
                flat[static_cast<std::size_t>(t)] = crc32ForBuf("123456789", 9);
            } else {
                crc_buf_desc record{"123456789", 0, 0, 9, 0, nullptr};
                flat[static_cast<std::size_t>(t)] = crc32_Ethernet(&record);
            }
            chained[static_cast<std::size_t>(t)] = crc32ForBuf("The quick brown fox", 19);
        });
    }
    while (ready.load() != kThreads) {
    }
    go.store(true);
    for (auto &thread : threads) {
        thread.join();
    }
    int failures = 0;
    for (int t = 0; t < kThreads; ++t) {
        if (flat[static_cast<std::size_t>(t)] != 0x2639F4CBU || chained[static_cast<std::size_t>(t)] != 0xde7445b7U) {
            std::printf("thread %d: %08x %08x\n", t, flat[static_cast<std::size_t>(t)],
                        chained[static_cast<std::size_t>(t)]);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
