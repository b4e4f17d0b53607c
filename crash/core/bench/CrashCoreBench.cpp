// Crash-time symbolication against glibc's dladdr on the same addresses, and a stack walk
// of a suspended thread against backtrace(3) of the same depth in-thread.

#include <crash_core/CRDynamicLinker.h>
#include <crash_core/CRMachineContext.h>
#include <crash_core/CRStackCursor.h>

#include <platform_kernel/ThreadSuspend.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// 100,000 addresses inside the executable code of libc, libstdc++ and our libraries.
std::vector<uintptr_t> sampleAddresses() {
    struct Range {
        uintptr_t start, end;
    };
    std::vector<Range> ranges;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* ctx) {
            std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("libc.so") == std::string::npos && name.find("libstdc++") == std::string::npos &&
                name.find("libplatform_") == std::string::npos && name.find("libcrash_") == std::string::npos)
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const auto& ph = info->dlpi_phdr[i];
                if (ph.p_type == PT_LOAD && (ph.p_flags & PF_X))
                    static_cast<std::vector<Range>*>(ctx)->push_back(
                        {info->dlpi_addr + ph.p_vaddr, info->dlpi_addr + ph.p_vaddr + ph.p_memsz});
            }
            return 0;
        },
        &ranges);
    std::mt19937_64 rng(7);
    std::vector<uintptr_t> out;
    out.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        const Range& r = ranges[rng() % ranges.size()];
        out.push_back(r.start + rng() % (r.end - r.start));
    }
    return out;
}

const std::vector<uintptr_t>& addresses() {
    static const auto a = [] {
        crmc_prepare();
        return sampleAddresses();
    }();
    return a;
}

void BM_SymbolicateCrashTime(benchmark::State& state) {
    const auto& a = addresses();
    for (auto _ : state) {
        for (uintptr_t x : a) {
            Dl_info info;
            benchmark::DoNotOptimize(crdl_dladdr(x, &info));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_SymbolicateCrashTime)->Unit(benchmark::kMillisecond);

void BM_SymbolicateGlibcDladdr(benchmark::State& state) {
    const auto& a = addresses();
    for (auto _ : state) {
        for (uintptr_t x : a) {
            Dl_info info;
            benchmark::DoNotOptimize(dladdr(reinterpret_cast<void*>(x), &info));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_SymbolicateGlibcDladdr)->Unit(benchmark::kMillisecond);

// A 64-frame deep thread, parked at the bottom.
std::atomic<bool> gRelease{false};
std::atomic<bool> gArrived{false};

__attribute__((noinline)) void descend(int n) {
    if (n > 0) {
        descend(n - 1);
        __asm__ volatile("" ::: "memory");
        return;
    }
    gArrived = true;
    while (!gRelease) __asm__ volatile("pause");
}

__attribute__((noinline)) int backtraceAt(int n, void** buffer) {
    if (n > 0) {
        int r = backtraceAt(n - 1, buffer);
        __asm__ volatile("" ::: "memory");
        return r;
    }
    return backtrace(buffer, 64);
}

void BM_WalkSuspendedThread64(benchmark::State& state) {
    crmc_prepare();
    gRelease = false;
    gArrived = false;
    std::atomic<pid_t> tid{0};
    std::thread t([&] {
        tid = static_cast<pid_t>(crthread_self());
        descend(62);
    });
    while (!gArrived) std::this_thread::yield();
    (void)kernel::suspendThread(tid);
    CRMachineContext context;
    crmc_getContextForThread(static_cast<CRThread>(tid.load()), &context, false);
    int frames = 0;
    for (auto _ : state) {
        CRStackCursor cursor;
        crsc_initWithMachineContext(&cursor, 64, &context);
        frames = 0;
        while (cursor.advanceCursor(&cursor)) ++frames;
        benchmark::DoNotOptimize(frames);
    }
    state.counters["frames"] = frames;
    kernel::resumeThread(tid);
    gRelease = true;
    t.join();
}
BENCHMARK(BM_WalkSuspendedThread64)->Unit(benchmark::kMicrosecond);

void BM_BacktraceInThread64(benchmark::State& state) {
    void* buffer[64];
    int frames = 0;
    for (auto _ : state) {
        frames = backtraceAt(62, buffer);
        benchmark::DoNotOptimize(frames);
    }
    state.counters["frames"] = frames;
}
BENCHMARK(BM_BacktraceInThread64)->Unit(benchmark::kMicrosecond);

}  // namespace
