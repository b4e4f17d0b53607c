#include <platform_dispatch/Dispatch.h>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// 1M empty blocks through one serial queue: the time covers submitting them
// all and the last one having run. "submit_ms" is the submitting part alone.
void BM_SerialQueueMillionEmptyBlocks(benchmark::State& state) {
    constexpr int kBlocks = 1000000;
    auto queue = dispatch_queue_create("bench.serial", DISPATCH_QUEUE_SERIAL);
    double submitSeconds = 0;
    for (auto _ : state) {
        auto done = dispatch_semaphore_create(0);
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kBlocks - 1; ++i) dispatch_async(queue, [] {});
        dispatch_async(queue, [done] { dispatch_semaphore_signal(done); });
        submitSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
    }
    state.SetItemsProcessed(state.iterations() * kBlocks);
    state.counters["submit_ms"] = benchmark::Counter(submitSeconds * 1000 / state.iterations());
}
BENCHMARK(BM_SerialQueueMillionEmptyBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same blocks through a concurrent queue (no ordering, the pool's width).
void BM_ConcurrentQueueMillionEmptyBlocks(benchmark::State& state) {
    constexpr int kBlocks = 1000000;
    auto queue = dispatch_queue_create("bench.concurrent", DISPATCH_QUEUE_CONCURRENT);
    for (auto _ : state) {
        auto group = dispatch_group_create();
        for (int i = 0; i < kBlocks; ++i) dispatch_group_async(group, queue, [] {});
        dispatch_group_wait(group, DISPATCH_TIME_FOREVER);
    }
    state.SetItemsProcessed(state.iterations() * kBlocks);
}
BENCHMARK(BM_ConcurrentQueueMillionEmptyBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
