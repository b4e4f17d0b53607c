// Loading a large report through the front as the delivery pass does (read, load-time
// fix-up, decode by the object codec, diagnosis) against RapidJSON's DOM parse of the same
// file, same run. The report is a user report with all threads of a process of 50 threads
// about 20 frames deep, as the crash core writes it.

#include <crash_core/CRCrashC.h>
#include <crash_core/CRMonitorType.h>
#include <crash_core/CRReportStore.h>
#include <crash_core_front/ZPKCRCrash.h>

#include <crash_bench/ParkedThreads.h>

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int kThreads = 50;
constexpr int kDepth = 20;

struct StoredReport {
    std::shared_ptr<ZPKCRCrash> front;
    int64_t id = 0;
    std::string raw;  // the file as stored
};

// Written once through the front; removed at exit.
const StoredReport& storedReport() {
    static const StoredReport* stored = [] {
        auto* s = new StoredReport;
        static const std::string base = "/tmp/crash-front-load-bench-" + std::to_string(getpid());
        std::filesystem::remove_all(base);
        s->front = ZPKCRCrash::initWithBasePath(base);
        s->front->setMonitoring(CRCrashMonitorTypeUserReported | CRCrashMonitorTypeSystem |
                                CRCrashMonitorTypeApplicationState);
        s->front->install();
        crash_bench::parkThreads(kThreads, kDepth);
        crcrash_reportUserException("Bench", "delivery", nullptr, nullptr, nullptr, true, false);
        Value ids = s->front->reportIDs();
        if (ids.count() > 0) s->id = ids.asArray().back().integerValue();
        if (char* raw = crcrs_readReport(s->id)) {
            s->raw = raw;
            std::free(raw);
        }
        std::atexit([] { std::filesystem::remove_all(base); });
        return s;
    }();
    return *stored;
}

void BM_LoadReportThroughTheFront(benchmark::State& state) {
    const StoredReport& s = storedReport();
    for (auto _ : state) {
        Value report = s.front->reportWithIntID(s.id);
        if (!report.isDictionary()) state.SkipWithError("the report did not load");
        benchmark::DoNotOptimize(report);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.raw.size()));
    state.counters["report_bytes"] = static_cast<double>(s.raw.size());
}
BENCHMARK(BM_LoadReportThroughTheFront)->Unit(benchmark::kMillisecond);

void BM_RapidJSONDOMParse(benchmark::State& state) {
    const StoredReport& s = storedReport();
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(s.raw.c_str(), s.raw.size());
        benchmark::DoNotOptimize(document.IsObject());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.raw.size()));
}
BENCHMARK(BM_RapidJSONDOMParse)->Unit(benchmark::kMillisecond);

}  // namespace
