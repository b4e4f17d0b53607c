// Fetching through the HTTP session manager against a loopback server: a 1 MB JSON document
// decoded by the manager vs. the same URL fetched by the curl command and parsed with
// RapidJSON (and on a bare session, for the loading layer's share), and 1,000 small GETs
// with 8 in flight.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <condition_variable>
#include <string>

#include <rapidjson/document.h>

#include <networking/NKHTTPSessionManager.h>
#include <platform_dispatch/DispatchQueue.h>

#include "../tests/NKSessionTestSupport.h"

namespace {

std::string makeDocument(std::size_t targetBytes) {
    std::string json = "{\"devices\":[";
    for (int i = 0; json.size() < targetBytes; ++i) {
        if (i) json += ',';
        json += "{\"identifier\":\"iPhone" + std::to_string(i) + ",1\",\"name\":\"Device number " + std::to_string(i) +
                "\",\"firmwares\":[{\"version\":\"15." + std::to_string(i % 10) +
                "\",\"buildid\":\"19A" + std::to_string(i) + "\",\"signed\":" + (i % 3 ? "false" : "true") +
                ",\"filesize\":" + std::to_string(5000000000LL + i) + "}]}";
    }
    return json + "]}";
}

struct Fixture {
    nktest::Server server;
    std::string document = makeDocument(1 << 20);
    NKHTTPSessionManager::Ptr manager;
    Fixture() {
        server.routes().Get("/catalogue.json", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(document, "application/json");
        });
        server.routes().Get("/small.json", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"ok\":true}", "application/json");
        });
        server.start();
        manager = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.base()));
        // The loopback server compresses whatever a client accepts, and `curl -s` accepts no
        // encoding: ask for the same plain bytes so both sides measure the same transfer.
        manager->requestSerializer()->setValue(std::string("identity"), "Accept-Encoding");
        // Completions run off the main thread, so the benchmark thread can simply wait.
        manager->setCompletionQueue(dispatch_queue_create("com.netkit.bench.completion", DISPATCH_QUEUE_CONCURRENT));
    }
};

Fixture& fixture() {
    static Fixture* f = new Fixture();  // lives for the process: the session holds its manager
    return *f;
}

// Counts completions and lets the caller wait for a number of them.
struct Latch {
    std::mutex m;
    std::condition_variable cv;
    long done = 0;
    bool failed = false;
    void hit(bool ok) {
        std::lock_guard lock(m);
        ++done;
        failed |= !ok;
        cv.notify_all();
    }
    void waitUntil(long count) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return done >= count; });
    }
};

void BM_ManagerFetchAndDecode1MBJSON(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        Latch latch;
        std::size_t devices = 0;
        f.manager->GET("catalogue.json", Value(), {}, nullptr,
                       [&](const NSURLSessionDataTaskPtr&, const Value& object) {
                           devices = object.objectForKey("devices").count();
                           latch.hit(true);
                       },
                       [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr&) { latch.hit(false); });
        latch.waitUntil(1);
        if (latch.failed || devices == 0) state.SkipWithError("request failed");
        benchmark::DoNotOptimize(devices);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.document.size()));
}
BENCHMARK(BM_ManagerFetchAndDecode1MBJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same fetch on a bare session with no manager: the share of the loading layer itself.
void BM_BareSessionFetch1MB(benchmark::State& state) {
    Fixture& f = fixture();
    static NSURLSessionPtr session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration());
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(f.server.url("catalogue.json")));
    request->setValue(std::string("identity"), "Accept-Encoding");
    for (auto _ : state) {
        Latch latch;
        std::size_t length = 0;
        session->dataTaskWithRequest(request, [&](std::optional<std::vector<uint8_t>> data, NSURLResponsePtr, NSErrorPtr error) {
            length = data ? data->size() : 0;
            latch.hit(!error);
        })->resume();
        latch.waitUntil(1);
        if (latch.failed || length != f.document.size()) state.SkipWithError("request failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.document.size()));
}
BENCHMARK(BM_BareSessionFetch1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlCommandAndRapidJSON1MB(benchmark::State& state) {
    Fixture& f = fixture();
    std::string command = "curl -s " + f.server.url("catalogue.json");
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) {
            state.SkipWithError("curl could not be started");
            break;
        }
        std::string body;
        char buffer[65536];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) body.append(buffer, n);
        pclose(pipe);
        rapidjson::Document document;
        document.Parse(body.data(), body.size());
        if (document.HasParseError() || !document.HasMember("devices")) state.SkipWithError("curl fetch failed");
        benchmark::DoNotOptimize(document["devices"].Size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.document.size()));
}
BENCHMARK(BM_CurlCommandAndRapidJSON1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Manager1000SmallGETs8InFlight(benchmark::State& state) {
    Fixture& f = fixture();
    constexpr long kRequests = 1000, kInFlight = 8;
    for (auto _ : state) {
        Latch latch;
        for (long issued = 0; issued < kRequests; ++issued) {
            latch.waitUntil(issued - kInFlight + 1);
            f.manager->GET("small.json", Value(), {}, nullptr,
                           [&](const NSURLSessionDataTaskPtr&, const Value&) { latch.hit(true); },
                           [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr&) { latch.hit(false); });
        }
        latch.waitUntil(kRequests);
        if (latch.failed) state.SkipWithError("a request failed");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kRequests);
}
BENCHMARK(BM_Manager1000SmallGETs8InFlight)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
