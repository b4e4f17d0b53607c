// hosts_bench: the README command's road to the first firmware list, timed
// from spawn to exit, each run on a fresh sandbox (one warm-up run discarded,
// 21 timed, medians reported):
//   FirstListOwnServer      firmware-browser --keys Enter --print-screen, its own server included
//   FirstListRunningServer  the same against an already running catalogue-server
//   CurlJqAnchor            curl -s --cacert CA URL | jq -r … printing the same rows from the same document

#include "../catalogue-server/tests/ChildProcess.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

constexpr int kRepetitions = 21;

struct Standalone {
    std::unique_ptr<ChildProcess> process;
    std::string url, ca;
    Standalone() = default;
    Standalone(Standalone&&) = default;
    ~Standalone() {
        if (!process) return;
        process->signal(SIGTERM);  // an orderly stop removes its run folder
        (void)process->wait(10);
    }
};

Standalone& standalone() {
    static Standalone s = [] {
        Standalone s;
        s.process = std::make_unique<ChildProcess>(std::vector<std::string>{CATALOGUE_SERVER_PROGRAM});
        if (auto line = s.process->readLine(20)) {
            s.url = line->substr(0, line->find(' '));
            s.ca = line->substr(line->find("ca=") + 3);
        }
        return s;
    }();
    return s;
}

std::string freshSandbox() {
    static int n = 0;
    std::string dir = fs::temp_directory_path().string() + "/hosts-bench-" + std::to_string(getpid()) + "-" +
                      std::to_string(n++);
    fs::remove_all(dir);
    return dir;
}

// The sandbox folders a run made, removed after it.
void removeSandbox(const ChildProcess::Options& options) {
    for (const char* name : {"APP_SANDBOX_ROOT", "APP_DEVICE_ROOT"}) {
        auto it = options.environment.find(name);
        std::error_code ec;
        if (it != options.environment.end()) fs::remove_all(it->second, ec);
    }
}

double timeSpawn(const std::vector<std::string>& argv, const ChildProcess::Options& options, std::string* failure) {
    auto start = std::chrono::steady_clock::now();
    ChildProcess p(argv, options);
    auto code = p.wait(60);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (code != 0 || p.out.empty()) *failure = "the run failed: " + p.err.substr(0, 200);
    removeSandbox(options);
    return seconds;
}

// One spawn a repetition; the first repetition of each benchmark is preceded by a discarded warm-up.
void runSpawns(benchmark::State& state, bool* warmedUp,
               const std::function<std::pair<std::vector<std::string>, ChildProcess::Options>()>& make) {
    std::string failure;
    if (!*warmedUp) {
        *warmedUp = true;
        auto [argv, options] = make();
        timeSpawn(argv, options, &failure);
    }
    for (auto _ : state) {
        auto [argv, options] = make();
        double seconds = timeSpawn(argv, options, &failure);
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
}

ChildProcess::Options appEnvironment(const std::string& sandbox) {
    ChildProcess::Options o;
    o.environment = {{"APP_SANDBOX_ROOT", sandbox}, {"APP_DEVICE_ROOT", sandbox + "-device"}};
    o.unset = {"APP_CATALOGUE_BASE_URL", "APP_JAILBREAK_BASE_URL", "APP_NETWORK"};
    return o;
}

void FirstListOwnServer(benchmark::State& state) {
    static bool warmedUp = false;
    runSpawns(state, &warmedUp, [] {
        std::string sandbox = freshSandbox();
        return std::make_pair(std::vector<std::string>{FIRMWARE_BROWSER_PROGRAM, "--keys", "Enter", "--print-screen"},
                              appEnvironment(sandbox));
    });
}

void FirstListRunningServer(benchmark::State& state) {
    Standalone& s = standalone();
    if (s.url.empty()) return state.SkipWithError("catalogue-server did not start");
    static bool warmedUp = false;
    runSpawns(state, &warmedUp, [&s] {
        std::string sandbox = freshSandbox();
        auto o = appEnvironment(sandbox);
        o.environment["APP_TRUSTED_ROOTS"] = s.ca;
        return std::make_pair(std::vector<std::string>{FIRMWARE_BROWSER_PROGRAM, "--catalogue-url", s.url,
                                                       "--jailbreak-url", s.url, "--keys", "Enter", "--print-screen"},
                              o);
    });
}

void CurlJqAnchor(benchmark::State& state) {
    Standalone& s = standalone();
    if (s.url.empty()) return state.SkipWithError("catalogue-server did not start");
    std::string command = "curl -s --cacert '" + s.ca + "' '" + s.url +
                          "/api/ios/v4/device/iPhone1,1' | jq -r '.firmwares | (map(select(.signed == true)) + "
                          "map(select(.signed != true)))[] | \"\\(.version)  (\\(.buildid))\"'";
    static bool warmedUp = false;
    runSpawns(state, &warmedUp, [command] {
        return std::make_pair(std::vector<std::string>{"/bin/sh", "-c", command}, ChildProcess::Options{});
    });
}

}  // namespace

BENCHMARK(FirstListOwnServer)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(FirstListRunningServer)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(CurlJqAnchor)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
