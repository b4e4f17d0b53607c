// Fetching through the HTTP session manager against a loopback server, each case next to an
// anchor measured in the same process: libcurl called directly with the same header fields
// on keep-alive handles (plus RapidJSON where the manager decodes). A 1 MB JSON document
// fetched and decoded, the same fetch on a bare session, one small GET at a time, and 1,000
// small GETs with 8 in flight.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <condition_variable>
#include <string>

#include <rapidjson/document.h>

#include <curl/curl.h>

#include <networking/NKHTTPSessionManager.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>

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
        // The server serves each connection on a thread of its own for as long as the
        // connection lives. Idle keep-alive connections of the sessions measured earlier must
        // not leave the 8 connections under test waiting for a thread, and keep-alive means
        // what it says for every client (the server's default closes after 5 requests).
        server.routes().new_task_queue = [] { return new httplib::ThreadPool(32); };
        server.routes().set_keep_alive_max_count(1000000);
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

// A session without the manager and without a URL cache, as libcurl has none: the share of
// the loading layer itself. (The default configuration writes each cacheable response to the
// disk cache, which costs a small GET about as much as the rest of its load.)
NSURLSessionPtr bareSession() {
    auto configuration = NSURLSessionConfiguration::defaultSessionConfiguration();
    configuration->setURLCache(nullptr);
    return NSURLSession::sessionWithConfiguration(configuration);
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

// The manager posts each completion notification on the main queue, after the completion
// handler ran. The benchmark thread is the main thread: it runs that work between requests,
// as an app's main run loop would, so the work is measured and nothing piles up.
void runMainQueueWork() {
    NSRunLoop::mainRunLoop()->runModeUntil(NSDefaultRunLoopMode, std::chrono::steady_clock::now());
}

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
        runMainQueueWork();
        if (latch.failed || devices == 0) state.SkipWithError("request failed");
        benchmark::DoNotOptimize(devices);
    }
    runMainQueueWork();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.document.size()));
}
BENCHMARK(BM_ManagerFetchAndDecode1MBJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareSessionFetch1MB(benchmark::State& state) {
    Fixture& f = fixture();
    static NSURLSessionPtr session = bareSession();
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

// libcurl on one easy handle kept across iterations (keep-alive), with the header fields
// the session sends by default.
struct CurlEasy {
    CURL* easy = curl_easy_init();
    curl_slist* headers = nullptr;
    std::string body;
    explicit CurlEasy(const std::string& url) {
        headers = curl_slist_append(headers, "Accept-Encoding: identity");
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlEasy::write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    }
    ~CurlEasy() {
        curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }
    static size_t write(char* data, size_t size, size_t count, void* self) {
        static_cast<CurlEasy*>(self)->body.append(data, size * count);
        return size * count;
    }
    bool fetch() {
        body.clear();
        long status = 0;
        return curl_easy_perform(easy) == CURLE_OK && curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
               status == 200;
    }
};

void BM_CurlFetchAndRapidJSON1MB(benchmark::State& state) {
    Fixture& f = fixture();
    CurlEasy curl(f.server.url("catalogue.json"));
    for (auto _ : state) {
        if (!curl.fetch()) state.SkipWithError("libcurl fetch failed");
        rapidjson::Document document;
        document.Parse(curl.body.data(), curl.body.size());
        if (document.HasParseError() || !document.HasMember("devices")) state.SkipWithError("libcurl fetch failed");
        benchmark::DoNotOptimize(document["devices"].Size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.document.size()));
}
BENCHMARK(BM_CurlFetchAndRapidJSON1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlFetch1MB(benchmark::State& state) {
    Fixture& f = fixture();
    CurlEasy curl(f.server.url("catalogue.json"));
    for (auto _ : state) {
        if (!curl.fetch() || curl.body.size() != f.document.size()) state.SkipWithError("libcurl fetch failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.document.size()));
}
BENCHMARK(BM_CurlFetch1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlSmallGETSequential(benchmark::State& state) {
    Fixture& f = fixture();
    CurlEasy curl(f.server.url("small.json"));
    for (auto _ : state) {
        if (!curl.fetch()) state.SkipWithError("libcurl fetch failed");
    }
}
BENCHMARK(BM_CurlSmallGETSequential)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1,000 small GETs through one libcurl multi handle, 8 easy handles in flight, each reused
// (keep-alive) as soon as its request ended.
void BM_CurlMulti1000SmallGETs8InFlight(benchmark::State& state) {
    Fixture& f = fixture();
    constexpr long kRequests = 1000, kInFlight = 8;
    std::vector<std::unique_ptr<CurlEasy>> handles;
    for (long i = 0; i < kInFlight; ++i) handles.push_back(std::make_unique<CurlEasy>(f.server.url("small.json")));
    CURLM* multi = curl_multi_init();
    auto run = [&](long requests) {
        long issued = 0, done = 0;
        for (auto& h : handles) {
            if (issued == requests) break;
            curl_multi_add_handle(multi, h->easy);
            ++issued;
        }
        while (done < requests) {
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
                if (msg->msg != CURLMSG_DONE) continue;
                CURL* easy = msg->easy_handle;
                if (msg->data.result != CURLE_OK) state.SkipWithError("libcurl request failed");
                ++done;
                curl_multi_remove_handle(multi, easy);
                if (issued < requests) {
                    curl_multi_add_handle(multi, easy);
                    ++issued;
                }
            }
            // The same poll time-out as the session engine's, which bounds a missed wake-up.
            if (done < requests) curl_multi_poll(multi, nullptr, 0, 20, nullptr);
        }
    };
    // The 8 connections are opened before timing, as the sessions measured beside this keep
    // theirs open: a burst of 8 connects can lose one to the server's short listen backlog,
    // which the kernel retries a second later.
    run(kInFlight);
    for (auto _ : state) run(kRequests);
    curl_multi_cleanup(multi);
    state.SetItemsProcessed(int64_t(state.iterations()) * kRequests);
}
BENCHMARK(BM_CurlMulti1000SmallGETs8InFlight)->Unit(benchmark::kMillisecond)->UseRealTime();

// Kept for comparison with older figures: the curl command started as a process per
// iteration, so each iteration includes a process start.
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

// One small GET at a time: the latency each request carries.
void BM_ManagerSmallGETSequential(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        Latch latch;
        f.manager->GET("small.json", Value(), {}, nullptr,
                       [&](const NSURLSessionDataTaskPtr&, const Value&) { latch.hit(true); },
                       [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr&) { latch.hit(false); });
        latch.waitUntil(1);
        runMainQueueWork();
        if (latch.failed) state.SkipWithError("request failed");
    }
    runMainQueueWork();
}
BENCHMARK(BM_ManagerSmallGETSequential)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareSessionSmallGETSequential(benchmark::State& state) {
    Fixture& f = fixture();
    static NSURLSessionPtr session = bareSession();
    // The same plain bytes as the manager and libcurl ask for (the server would compress).
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(f.server.url("small.json")));
    request->setValue(std::string("identity"), "Accept-Encoding");
    for (auto _ : state) {
        Latch latch;
        session->dataTaskWithRequest(request, [&](std::optional<std::vector<uint8_t>> data, NSURLResponsePtr, NSErrorPtr error) {
                   latch.hit(!error && data);
               })->resume();
        latch.waitUntil(1);
        if (latch.failed) state.SkipWithError("request failed");
    }
}
BENCHMARK(BM_BareSessionSmallGETSequential)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Manager1000SmallGETs8InFlight(benchmark::State& state) {
    Fixture& f = fixture();
    constexpr long kRequests = 1000, kInFlight = 8;
    for (auto _ : state) {
        Latch latch;
        for (long issued = 0; issued < kRequests; ++issued) {
            latch.waitUntil(issued - kInFlight + 1);
            runMainQueueWork();
            f.manager->GET("small.json", Value(), {}, nullptr,
                           [&](const NSURLSessionDataTaskPtr&, const Value&) { latch.hit(true); },
                           [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr&) { latch.hit(false); });
        }
        latch.waitUntil(kRequests);
        runMainQueueWork();
        if (latch.failed) state.SkipWithError("a request failed");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kRequests);
}
BENCHMARK(BM_Manager1000SmallGETs8InFlight)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same through a manager whose session has no URL cache, as libcurl has none: the default
// configuration writes each response to the disk cache on the (serial) delegate queue.
void BM_ManagerNoCache1000SmallGETs8InFlight(benchmark::State& state) {
    Fixture& f = fixture();
    static NKHTTPSessionManager::Ptr manager = [&] {
        auto configuration = NSURLSessionConfiguration::defaultSessionConfiguration();
        configuration->setURLCache(nullptr);
        auto m = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(f.server.base()), configuration);
        m->requestSerializer()->setValue(std::string("identity"), "Accept-Encoding");
        m->setCompletionQueue(dispatch_queue_create("com.netkit.bench.completion", DISPATCH_QUEUE_CONCURRENT));
        return m;
    }();
    constexpr long kRequests = 1000, kInFlight = 8;
    for (auto _ : state) {
        Latch latch;
        for (long issued = 0; issued < kRequests; ++issued) {
            latch.waitUntil(issued - kInFlight + 1);
            runMainQueueWork();
            manager->GET("small.json", Value(), {}, nullptr,
                         [&](const NSURLSessionDataTaskPtr&, const Value&) { latch.hit(true); },
                         [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr&) { latch.hit(false); });
        }
        latch.waitUntil(kRequests);
        runMainQueueWork();
        if (latch.failed) state.SkipWithError("a request failed");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kRequests);
}
BENCHMARK(BM_ManagerNoCache1000SmallGETs8InFlight)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
