// What the C++ exception and zombie monitors cost the code they watch, each against the
// same loop without the monitor, same run: 100,000 throw-and-catch pairs, and 1,000,000
// objects made and destroyed. The zombie monitor cannot be switched off again, so its
// unwatched loop is registered (and runs) first.

#include <crash_core/CRMonitorCPPException.h>
#include <crash_core/CRZombie.h>

#include <platform_runtime/NSObject.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

namespace {

__attribute__((noinline)) void throwOne(int i) { throw std::runtime_error(i % 2 ? "odd" : "even"); }

void throwAndCatch(benchmark::State& state, bool monitored) {
    crcm_cppexception_getAPI()->setEnabled(monitored);
    for (auto _ : state) {
        int caught = 0;
        for (int i = 0; i < 100000; ++i) {
            try {
                throwOne(i);
            } catch (const std::runtime_error&) {
                ++caught;
            }
        }
        benchmark::DoNotOptimize(caught);
    }
    crcm_cppexception_getAPI()->setEnabled(false);
}

void BM_ThrowCatch100k_Unmonitored(benchmark::State& state) { throwAndCatch(state, false); }
void BM_ThrowCatch100k_CppMonitor(benchmark::State& state) { throwAndCatch(state, true); }
BENCHMARK(BM_ThrowCatch100k_Unmonitored)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThrowCatch100k_CppMonitor)->Unit(benchmark::kMillisecond);

void makeAndDestroy(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < 1000000; ++i) {
            auto object = std::make_shared<NSObject>();
            benchmark::DoNotOptimize(object.get());
        }
    }
}

void BM_Objects1M_Untracked(benchmark::State& state) { makeAndDestroy(state); }
void BM_Objects1M_ZombieTracking(benchmark::State& state) {
    crcm_zombie_getAPI()->setEnabled(true);
    makeAndDestroy(state);
}
BENCHMARK(BM_Objects1M_Untracked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Objects1M_ZombieTracking)->Unit(benchmark::kMillisecond);

}  // namespace
