// JSON parse of a ~1 MB catalogue-like document: into Value (NSJSONSerialization) versus
// RapidJSON's own DOM parse of the same bytes, with the same reader flags and with its default
// flags (its fastest parse of these bytes).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

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

void BM_JSONToValue(benchmark::State& state) {
    const std::string& text = document();
    for (auto _ : state) {
        Value v = NSJSONSerialization::JSONObjectWithData(text);
        if (!v.isDictionary()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_JSONToValue)->Unit(benchmark::kMillisecond);

void BM_RapidJSONDocument(benchmark::State& state) {
    const std::string& text = document();
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse<kFlags>(text.data(), text.size());
        if (d.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RapidJSONDocument)->Unit(benchmark::kMillisecond);

void BM_RapidJSONDocumentDefaultFlags(benchmark::State& state) {
    const std::string& text = document();
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.data(), text.size());
        if (d.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RapidJSONDocumentDefaultFlags)->Unit(benchmark::kMillisecond);

}  // namespace
