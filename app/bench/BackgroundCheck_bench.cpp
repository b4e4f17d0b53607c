// The signed-build count of all 127 offline version 3 documents through the background
// check's own road (connection manager, mapping, count) from a loopback TLS server, against one
// curl process fetching the same URLs over one connection piped into one jq computing the same
// counts. Both sides must agree on every count.

#include <benchmark/benchmark.h>

#include <app/api/ConnectionManager.h>
#include <app/background/SignedFirmwareCheck.h>
#include <platform_dispatch/RunLoopSpin.h>

#include "../tests/CatalogueTestServer.h"

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

const std::string kCatalogue = std::string(PROJECT_SOURCE_DIR) + "/resources/catalogue";

struct Setup {
    apptest::CatalogueServer server;
    apptest::TempFolder folder{"appbench"};
    std::string caPath;
    std::vector<std::string> identifiers;
    std::vector<unsigned long> appCounts;

    Setup() {
        for (const auto& e : std::filesystem::directory_iterator(kCatalogue + "/api/ios/v3/device"))
            identifiers.push_back(e.path().stem().string());
        std::sort(identifiers.begin(), identifiers.end());
        caPath = folder.path() + "/ca.pem";
        std::ofstream(caPath) << apptest::testCA().pem();
        // One connection for the whole run, as curl keeps it.
        server.routes().set_keep_alive_timeout(5);
        server.routes().set_keep_alive_max_count(100000);
        server.serveFolder(kCatalogue);
        server.start();
    }
    std::string url(const std::string& identifier) const { return server.url("/api/ios/v3/device/" + identifier); }
};

std::unique_ptr<Setup> gSetup;

// One document after the other, each mapped and counted as the background check does.
void BM_BackgroundCheckRoad(benchmark::State& state) {
    auto& s = *gSetup;
    std::vector<unsigned long> counts;
    for (auto _ : state) {
        counts.clear();
        for (const auto& identifier : s.identifiers) {
            bool done = false;
            auto task = ConnectionManager::globalTimelinePostsWithBlock(
                s.url(identifier), [&](Value document, NSErrorPtr error) {
                    done = true;
                    auto device = error ? nullptr : SignedFirmwareCheck::deviceInDocument(std::move(document), identifier);
                    counts.push_back(device ? SignedFirmwareCheck::signedCount(device->firmwares()) : ~0UL);
                });
            task->resume();
            if (!spinMainRunLoopUntil([&] { return done; }, 30)) {
                state.SkipWithError("a request did not finish");
                return;
            }
        }
    }
    s.appCounts = counts;
    state.counters["documents"] = static_cast<double>(s.identifiers.size());
}

void BM_CurlIntoJq(benchmark::State& state) {
    auto& s = *gSetup;
    std::string command = "/usr/bin/curl -s --fail --cacert '" + s.caPath + "'";
    for (const auto& identifier : s.identifiers) command += " '" + s.url(identifier) + "'";
    command += " | /usr/bin/jq -s -c '[.[] | to_entries[0].value.firmwares | map(select(.signed == true)) | length]'";
    std::string output;
    for (auto _ : state) {
        output.clear();
        FILE* pipe = ::popen(command.c_str(), "r");
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        ::pclose(pipe);
    }
    std::vector<unsigned long> counts;
    std::string digits;
    for (char c : output) {
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
        else if (!digits.empty()) {
            counts.push_back(std::stoul(digits));
            digits.clear();
        }
    }
    if (counts.size() != s.identifiers.size()) state.SkipWithError("curl and jq did not answer every document");
    else if (!s.appCounts.empty() && counts != s.appCounts) state.SkipWithError("the counts differ from the app's");
}

BENCHMARK(BM_BackgroundCheckRoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlIntoJq)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gSetup = std::make_unique<Setup>();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gSetup.reset();
    return 0;
}
