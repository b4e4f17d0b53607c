// The platform-style text plus gzip of a large report against zlib's gzip of the same text
// alone, same run. The report is a user report with all threads of a process of 50 threads
// about 20 frames deep, as the crash core writes it, loaded as the front loads it (fix-up,
// then the object codec). Loading itself is measured with the front (crash_core_front_bench).

#include <crash_core/CRCrashC.h>
#include <crash_core/CRMonitorType.h>
#include <crash_core/CRReportFixup.h>
#include <crash_reporting/ZUDCrashReportFilterAppleFmt.h>
#include <crash_reporting/ZUDData.h>
#include <crash_reporting/ZPKCRJSONCodec.h>

#include <crash_bench/ParkedThreads.h>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kThreads = 50;
constexpr int kDepth = 20;

// The report file's text, written once.
const std::string& reportText() {
    static const std::string text = [] {
        std::string base = "/tmp/crash-delivery-bench-" + std::to_string(getpid());
        std::filesystem::remove_all(base);
        crcrash_setMonitoring(CRCrashMonitorTypeUserReported | CRCrashMonitorTypeSystem |
                              CRCrashMonitorTypeApplicationState);
        crcrash_install("bench", base.c_str());
        crash_bench::parkThreads(kThreads, kDepth);
        crcrash_reportUserException("Bench", "delivery", nullptr, nullptr, nullptr, true, false);
        int64_t ids[4];
        int n = crcrash_getReportIDs(ids, 4);
        char* raw = n > 0 ? crcrash_readReport(ids[n - 1]) : nullptr;
        std::string out = raw ? raw : "";
        std::free(raw);
        std::filesystem::remove_all(base);
        return out;
    }();
    return text;
}

Value load(const std::string& raw) {
    char* fixed = crcrashreport_fixupReport(raw.c_str());
    Value report = ZPKCRJSONCodec::decode(std::string_view(fixed), ZPKCRJSONDecodeOptionIgnoreAllNulls |
                                                                       ZPKCRJSONDecodeOptionKeepPartialObject);
    std::free(fixed);
    return report;
}

void BM_AppleTextAndGzip(benchmark::State& state) {
    Value report = load(reportText());
    ZUDCrashReportFilterAppleFmt fmt(0);
    std::size_t textBytes = 0;
    for (auto _ : state) {
        std::string text = fmt.toAppleFormat(report);
        textBytes = text.size();
        benchmark::DoNotOptimize(zud_gzippedWithCompressionLevel(text, -1, nullptr));
    }
    state.counters["text_bytes"] = static_cast<double>(textBytes);
}
BENCHMARK(BM_AppleTextAndGzip)->Unit(benchmark::kMillisecond);

void BM_ZlibGzipOfTheTextAlone(benchmark::State& state) {
    std::string text = ZUDCrashReportFilterAppleFmt(0).toAppleFormat(load(reportText()));
    std::vector<unsigned char> out(compressBound(static_cast<uLong>(text.size())) + 64);
    for (auto _ : state) {
        z_stream stream{};
        deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
        stream.next_in = reinterpret_cast<Bytef*>(text.data());
        stream.avail_in = static_cast<uInt>(text.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        deflateEnd(&stream);
        benchmark::DoNotOptimize(stream.total_out);
    }
}
BENCHMARK(BM_ZlibGzipOfTheTextAlone)->Unit(benchmark::kMillisecond);

}  // namespace
