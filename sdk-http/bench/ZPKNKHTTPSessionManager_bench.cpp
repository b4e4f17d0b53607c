// The kit's HTTP session manager against the app's, measured in the same process on the
// same loopback server: a 1 MB JSON document fetched and decoded, and a 1 MB streamed
// multipart upload. Both stacks run the same shared code, so the ratio should be 1.

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include <networking/NKHTTPSessionManager.h>
#include <networking/NKMultipartFormData.h>
#include <platform_dispatch/DispatchQueue.h>
#include <sdk_http/ZPKNKHTTPSessionManager.h>

#include "../../networking/tests/NKSessionTestSupport.h"

namespace {

std::string makeDocument(std::size_t targetBytes) {
    std::string json = "{\"devices\":[";
    for (int i = 0; json.size() < targetBytes; ++i) {
        if (i) json += ',';
        json += "{\"identifier\":\"iPhone" + std::to_string(i) + ",1\",\"name\":\"Device number " + std::to_string(i) +
                "\",\"signed\":" + (i % 3 ? "false" : "true") + ",\"filesize\":" + std::to_string(5000000000LL + i) + "}";
    }
    return json + "]}";
}

struct Latch {
    std::mutex m;
    std::condition_variable cv;
    bool done = false, failed = false;
    void hit(bool ok) {
        std::lock_guard lock(m);
        done = true;
        failed = !ok;
        cv.notify_all();
    }
    void wait() {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return done; });
    }
};

struct Fixture {
    nktest::Server server;
    std::string document = makeDocument(1 << 20);
    Value::Data upload = Value::Data(1 << 20, 'u');
    ZPKNKHTTPSessionManager::Ptr kit;
    NKHTTPSessionManager::Ptr app;
    Fixture() {
        server.routes().Get("/doc.json", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(document, "application/json");
        });
        server.routes().Post("/upload", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{}", "application/json");
        });
        server.start();
        kit = ZPKNKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.base()));
        app = NKHTTPSessionManager::managerWithBaseURL(NSURL::URLWithString(server.base()));
        // Uncompressed bytes (the test server compresses whatever a client accepts), and
        // completions off the main thread so the benchmark thread can wait.
        kit->requestSerializer()->setValue(std::string("identity"), "Accept-Encoding");
        app->requestSerializer()->setValue(std::string("identity"), "Accept-Encoding");
        kit->setCompletionQueue(dispatch_queue_create("com.netkit.bench.kit", DISPATCH_QUEUE_CONCURRENT));
        app->setCompletionQueue(dispatch_queue_create("com.netkit.bench.app", DISPATCH_QUEUE_CONCURRENT));
    }
};

Fixture& fixture() {
    static Fixture* f = new Fixture();  // lives for the process: the sessions hold their managers
    return *f;
}

template <class Get>
void fetchAndDecode(benchmark::State& state, Get get) {
    Fixture& f = fixture();
    for (auto _ : state) {
        Latch latch;
        std::size_t devices = 0;
        get(f, [&](const NSURLSessionDataTaskPtr&, const Value& object) {
            devices = object.objectForKey("devices").count();
            latch.hit(true);
        }, [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr&) { latch.hit(false); });
        latch.wait();
        if (latch.failed || devices == 0) state.SkipWithError("request failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.document.size()));
}

void BM_KitFetchAndDecode1MBJSON(benchmark::State& state) {
    fetchAndDecode(state, [](Fixture& f, NKHTTPSuccess ok, NKHTTPFailure fail) { f.kit->GET("doc.json", Value(), ok, fail); });
}
BENCHMARK(BM_KitFetchAndDecode1MBJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AppFetchAndDecode1MBJSON(benchmark::State& state) {
    fetchAndDecode(state, [](Fixture& f, NKHTTPSuccess ok, NKHTTPFailure fail) {
        f.app->GET("doc.json", Value(), {}, nullptr, ok, fail);
    });
}
BENCHMARK(BM_AppFetchAndDecode1MBJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

template <class Post>
void multipartUpload(benchmark::State& state, Post post) {
    Fixture& f = fixture();
    for (auto _ : state) {
        Latch latch;
        post(f, [&](NKMultipartFormData& form) { form.appendPartWithFormData(f.upload, "file"); },
             [&](const NSURLSessionDataTaskPtr&, const Value&) { latch.hit(true); },
             [&](const NSURLSessionDataTaskPtr&, const NSErrorPtr&) { latch.hit(false); });
        latch.wait();
        if (latch.failed) state.SkipWithError("upload failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.upload.size()));
}

void BM_KitStreamedMultipartUpload1MB(benchmark::State& state) {
    multipartUpload(state, [](Fixture& f, NKHTTPRequestSerializerCore::ConstructingBodyBlock body, NKHTTPSuccess ok,
                              NKHTTPFailure fail) { f.kit->POST("upload", Value(), body, ok, fail); });
}
BENCHMARK(BM_KitStreamedMultipartUpload1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AppStreamedMultipartUpload1MB(benchmark::State& state) {
    multipartUpload(state, [](Fixture& f, NKHTTPRequestSerializerCore::ConstructingBodyBlock body, NKHTTPSuccess ok,
                              NKHTTPFailure fail) { f.app->POST("upload", Value(), {}, body, nullptr, ok, fail); });
}
BENCHMARK(BM_AppStreamedMultipartUpload1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
