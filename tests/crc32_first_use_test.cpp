// The CRC-32 table is built on first use; here many threads make that first
// use together. Its own executable, so nothing has touched the table before.
#include "revevidozi.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

int main() {
    constexpr int kThreads = 16;
    std::atomic<bool> go{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) {
            }
            crc_buf_desc record{"123456789", 0, 0, 9, 0, nullptr};
            const std::uint32_t first = t % 2 == 0 ? crc32ForBuf("123456789", 9) : crc32_Ethernet(&record);
            if (first != 0x2639F4CBU || crc32ForBuf("The quick brown fox", 19) != 0xde7445b7U) {
                std::printf("thread %d saw a table not yet complete\n", t);
                ++failures;
            }
        });
    }
    go.store(true);
    for (auto &thread : threads) {
        thread.join();
    }
    return failures == 0 ? 0 : 1;
}
