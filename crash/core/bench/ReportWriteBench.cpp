// A user report with all threads of a process of 50 threads, each about 20 frames deep,
// against writing as many bytes with write(2) in 1024-byte calls, same run.

#include <crash_core/CRCrashC.h>
#include <crash_core/CRMonitorType.h>

#include <crash_bench/ParkedThreads.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kThreads = 50;
constexpr int kDepth = 20;

struct Process {
    std::string base;
    Process() {
        base = "/tmp/crash-report-bench-" + std::to_string(getpid());
        std::filesystem::remove_all(base);
        crcrash_setMonitoring(CRCrashMonitorTypeUserReported | CRCrashMonitorTypeSystem |
                              CRCrashMonitorTypeApplicationState);
        crcrash_install("bench", base.c_str());
        crash_bench::parkThreads(kThreads, kDepth);
    }
    std::string lastReport() const {
        int64_t ids[8];
        int n = crcrash_getReportIDs(ids, 8);
        if (n < 1) return {};
        char name[64];
        std::snprintf(name, sizeof name, "/bench-report-%016llx.json", static_cast<unsigned long long>(ids[n - 1]));
        return base + "/Reports" + name;
    }
};

Process& process() {
    static auto* p = new Process;
    return *p;
}

int64_t gReportBytes = 0;

void BM_UserReportAllThreads(benchmark::State& state) {
    Process& p = process();
    for (auto _ : state) {
        crcrash_reportUserException("BenchException", "bench reason", nullptr, nullptr, nullptr, true, false);
        state.PauseTiming();
        struct stat st {};
        std::string path = p.lastReport();
        if (stat(path.c_str(), &st) == 0) gReportBytes = st.st_size;
        crcrash_deleteAllReports();
        state.ResumeTiming();
    }
    state.counters["report_bytes"] = double(gReportBytes);
}
BENCHMARK(BM_UserReportAllThreads)->Unit(benchmark::kMillisecond);

// The anchor: the same number of bytes in 1024-byte write(2) calls to a new file.
void BM_WriteSameBytesIn1024ByteCalls(benchmark::State& state) {
    Process& p = process();
    if (gReportBytes == 0) {
        crcrash_reportUserException("BenchException", "bench reason", nullptr, nullptr, nullptr, true, false);
        struct stat st {};
        if (stat(p.lastReport().c_str(), &st) == 0) gReportBytes = st.st_size;
        crcrash_deleteAllReports();
    }
    std::vector<char> chunk(1024, 'x');
    std::string path = p.base + "/anchor.json";
    for (auto _ : state) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        for (int64_t left = gReportBytes; left > 0; left -= 1024)
            (void)!write(fd, chunk.data(), size_t(left < 1024 ? left : 1024));
        close(fd);
        state.PauseTiming();
        unlink(path.c_str());
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(gReportBytes);
}
BENCHMARK(BM_WriteSameBytesIn1024ByteCalls)->Unit(benchmark::kMillisecond);

}  // namespace
