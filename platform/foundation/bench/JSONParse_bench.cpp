// JSON parse of a ~1 MB catalogue-like document: into Value (NSJSONSerialization) versus
// RapidJSON's own DOM parse of the same bytes, with the same reader flags and with its default
// flags (its fastest parse of these bytes); both again with each result freed on another thread,
// as the HTTP manager frees a decoded response; and a document of many small objects.

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <rapidjson/document.h>

#include <platform_foundation/NSJSONSerialization.h>

namespace {

// Devices, each with an array of firmware dictionaries: strings, bools, integers, dates as
// strings and URLs, like the catalogue documents the app reads.
std::string catalogue(std::size_t targetBytes) {
    std::string out = "{\"devices\":{";
    char buf[1024];
    for (int device = 0; out.size() < targetBytes; ++device) {
        if (device) out += ',';
        std::snprintf(buf, sizeof buf,
                      "\"Phone%d,%d\":{\"name\":\"Phone model %d\",\"boardconfig\":\"d%dap\",\"platform\":\"t80%02d\","
                      "\"cpid\":%d,\"bdid\":%d,\"firmwares\":[",
                      device / 4 + 1, device % 4 + 1, device, device, device % 100, 32768 + device, device % 16);
        out += buf;
        for (int fw = 0; fw < 12; ++fw) {
            if (fw) out += ',';
            std::snprintf(buf, sizeof buf,
                          "{\"identifier\":\"Phone%d,%d\",\"version\":\"%d.%d.%d\",\"buildid\":\"%dA%d\","
                          "\"sha1sum\":\"%040x\",\"md5sum\":\"%032x\",\"filesize\":%lld,"
                          "\"url\":\"https:\\/\\/updates.example.com\\/fw\\/%d\\/Phone%d_%d.%d_Restore.ipsw\","
                          "\"releasedate\":\"2020-%02d-%02dT17:02:01Z\",\"uploaddate\":\"2020-%02d-%02dT16:55:12Z\","
                          "\"signed\":%s,\"rating\":%d.%d}",
                          device / 4 + 1, device % 4 + 1, 10 + fw / 3, fw % 3, fw % 2, 14 + fw, 100 + device,
                          device * 977 + fw, device * 131 + fw, 3000000000LL + device * 1000 + fw, device, device,
                          10 + fw, fw, 1 + fw % 12, 1 + device % 28, 1 + fw % 12, 1 + device % 28,
                          fw % 3 == 0 ? "true" : "false", fw % 5, device % 10);
            out += buf;
        }
        out += "]}";
    }
    out += "}}";
    return out;
}

const std::string& document() {
    static const std::string text = catalogue(1 << 20);
    return text;
}

constexpr unsigned kFlags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag;

// The timed loops every same-thread case shares: one text decoded over and over.
void decodeIntoValue(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        Value v = NSJSONSerialization::JSONObjectWithData(text);
        if (!v.isDictionary()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

template <unsigned Flags>
void parseRapidJSONDocument(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse<Flags>(text.data(), text.size());
        if (d.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_JSONToValue(benchmark::State& state) {
    decodeIntoValue(state, document());
}
BENCHMARK(BM_JSONToValue)->Unit(benchmark::kMillisecond);

void BM_RapidJSONDocument(benchmark::State& state) {
    parseRapidJSONDocument<kFlags>(state, document());
}
BENCHMARK(BM_RapidJSONDocument)->Unit(benchmark::kMillisecond);

void BM_RapidJSONDocumentDefaultFlags(benchmark::State& state) {
    parseRapidJSONDocument<rapidjson::kParseDefaultFlags>(state, document());
}
BENCHMARK(BM_RapidJSONDocumentDefaultFlags)->Unit(benchmark::kMillisecond);

// A thread that runs one job at a time for the caller and lets it wait for the end: the tree
// decoded on the benchmark thread is freed there, as the HTTP manager frees a decoded response
// on a queue of its own. The allocator then takes the freed blocks back from another thread,
// which the next decode pays for when it reuses them.
class Freer {
public:
    Freer() : thread_([this] { run(); }) {}
    ~Freer() {
        post(nullptr);
        thread_.join();
    }
    void post(std::function<void()> job) {
        std::unique_lock lock(m_);
        job_ = std::move(job);
        pending_ = true;
        cv_.notify_all();
        cv_.wait(lock, [&] { return !pending_; });
    }

private:
    void run() {
        for (;;) {
            std::unique_lock lock(m_);
            cv_.wait(lock, [&] { return pending_; });
            if (!job_) {
                pending_ = false;
                cv_.notify_all();
                return;
            }
            job_();
            job_ = nullptr;
            pending_ = false;
            cv_.notify_all();
        }
    }
    std::mutex m_;
    std::condition_variable cv_;
    std::function<void()> job_;
    bool pending_ = false;
    std::thread thread_;
};

template <class Parse>
void parseThenFreeElsewhere(benchmark::State& state, Parse parse) {
    const std::string& text = document();
    Freer freer;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto result = parse(text);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        freer.post([&] { auto dropped = std::move(result); });
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

// The decode alone is timed; each tree is freed on another thread before the next decode.
void BM_JSONToValueFreedOnAnotherThread(benchmark::State& state) {
    parseThenFreeElsewhere(state, [&](const std::string& text) {
        Value v = NSJSONSerialization::JSONObjectWithData(text);
        if (!v.isDictionary()) state.SkipWithError("parse failed");
        return std::make_unique<Value>(std::move(v));
    });
}
BENCHMARK(BM_JSONToValueFreedOnAnotherThread)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_RapidJSONDocumentFreedOnAnotherThread(benchmark::State& state) {
    parseThenFreeElsewhere(state, [&](const std::string& text) {
        auto d = std::make_unique<rapidjson::Document>();
        d->Parse(text.data(), text.size());
        if (d->HasParseError()) state.SkipWithError("parse failed");
        return d;
    });
}
BENCHMARK(BM_RapidJSONDocumentFreedOnAnotherThread)->Unit(benchmark::kMillisecond)->UseManualTime();

// Many small objects (about 7,000 devices with one firmware each, as the HTTP manager's benchmark
// serves): containers and short texts rather than long strings.
std::string smallObjects(std::size_t targetBytes) {
    std::string json = "{\"devices\":[";
    for (int i = 0; json.size() < targetBytes; ++i) {
        if (i) json += ',';
        json += "{\"identifier\":\"iPhone" + std::to_string(i) + ",1\",\"name\":\"Device number " + std::to_string(i) +
                "\",\"firmwares\":[{\"version\":\"15." + std::to_string(i % 10) + "\",\"buildid\":\"19A" +
                std::to_string(i) + "\",\"signed\":" + (i % 3 ? "false" : "true") +
                ",\"filesize\":" + std::to_string(5000000000LL + i) + "}]}";
    }
    return json + "]}";
}

const std::string& smallObjectsDocument() {
    static const std::string text = smallObjects(1 << 20);
    return text;
}

void BM_JSONToValueSmallObjects(benchmark::State& state) {
    decodeIntoValue(state, smallObjectsDocument());
}
BENCHMARK(BM_JSONToValueSmallObjects)->Unit(benchmark::kMillisecond);

void BM_RapidJSONDocumentSmallObjects(benchmark::State& state) {
    parseRapidJSONDocument<rapidjson::kParseDefaultFlags>(state, smallObjectsDocument());
}
BENCHMARK(BM_RapidJSONDocumentSmallObjects)->Unit(benchmark::kMillisecond);

}  // namespace
