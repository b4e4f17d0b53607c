// Decoding and mapping a large device document (about 1 MB, ~3,000 firmware entries) against
// a plain DOM parse of the same bytes.

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include <model_mapping/MMModel.h>
#include <platform_foundation/NSJSONSerialization.h>

namespace {

class BenchFirmware : public MMModel {
    NS_CLASS(BenchFirmware, MMModel)
    NS_PROPERTY(std::string, buildid, setBuildid, "&,N")
    NS_PROPERTY(std::string, identifier, setIdentifier, "&,N")
    NS_PROPERTY(std::string, md5sum, setMd5sum, "&,N")
    NS_PROPERTY(std::string, sha1sum, setSha1sum, "&,N")
    NS_PROPERTY(bool, isSigned, setIsSigned, "N")
    NS_PROPERTY(std::string, filesize, setFilesize, "&,N")
    NS_PROPERTY(std::string, uploaddate, setUploaddate, "&,N")
    NS_PROPERTY(std::string, url, setUrl, "&,N")
    NS_PROPERTY(std::string, version, setVersion, "&,N")
    NS_PROPERTY(std::optional<std::string>, releasedate, setReleasedate, "&,N", Optional)
};

class BenchDevice : public MMModel {
    NS_CLASS(BenchDevice, MMModel)
    NS_PROPERTY(std::string, boardconfig, setBoardconfig, "&,N")
    NS_PROPERTY(std::string, bdid, setBdid, "&,N")
    NS_PROPERTY(std::string, cpid, setCpid, "&,N")
    NS_PROPERTY(std::string, identifier, setIdentifier, "&,N")
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(std::string, platform, setPlatform, "&,N")
    NS_PROPERTY(std::vector<std::shared_ptr<BenchFirmware>>, firmwares, setFirmwares, "&,N")
};

const bool hooks = [] {
    MMModel::setKeyMapperHook(BenchFirmware::classObject(),
                              [] { return MMKeyMapper::initWithModelToJSONDictionary({{"isSigned", "signed"}}); });
    return true;
}();

std::string hex(unsigned seed, int n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s += digits[(seed >> 16) & 15];
    }
    return s;
}

const std::string& document() {
    static const std::string doc = [] {
        std::string s = R"({"name":"Bench Phone","identifier":"Bench1,1","boardconfig":"B1AP","platform":"t0000",)"
                        R"("cpid":"0x8000","bdid":"0x02","firmwares":[)";
        for (int i = 0; i < 3000; ++i) {
            std::string v = std::to_string(10 + i / 100) + "." + std::to_string(i % 100 / 10) + "." +
                            std::to_string(i % 10);
            std::string build = std::to_string(17 + i / 200) + "A" + std::to_string(1000 + i);
            if (i) s += ",";
            s += R"({"identifier":"Bench1,1","version":")" + v + R"(","buildid":")" + build + R"(","sha1sum":")" +
                 hex(i, 40) + R"(","md5sum":")" + hex(i + 7, 32) + R"(","filesize":)" +
                 std::to_string(5000000000LL + i * 1234567LL) +
                 R"(,"url":"https://updates.example.net/restore/)" + build + "/Bench1,1_" + v + "_" + build +
                 R"(_Restore.ipsw","releasedate":)" +
                 (i % 5 ? R"("2023-10-25T17:02:00Z")" : "null") +
                 R"(,"uploaddate":"2023-10-25T07:02:00Z","signed":)" + (i < 3 ? "true" : "false") + "}";
        }
        return s + "]}";
    }();
    return doc;
}

void BM_RapidJSONDom(benchmark::State& state) {
    const std::string& doc = document();
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(doc.data(), doc.size());
        benchmark::DoNotOptimize(d.IsObject());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_RapidJSONDom)->Unit(benchmark::kMillisecond);

void BM_DecodeOnly(benchmark::State& state) {
    const std::string& doc = document();
    for (auto _ : state) {
        Value v = NSJSONSerialization::JSONObjectWithData(doc);
        benchmark::DoNotOptimize(v.count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond);

void BM_MapOnly(benchmark::State& state) {
    const Value decoded = NSJSONSerialization::JSONObjectWithData(document());
    for (auto _ : state) {
        auto model = MMModel::modelWithDictionary<BenchDevice>(decoded);
        if (!model || model->firmwares().size() != 3000) state.SkipWithError("mapping failed");
        benchmark::DoNotOptimize(model);
    }
}
BENCHMARK(BM_MapOnly)->Unit(benchmark::kMillisecond);

// The path a downloaded document takes: its bytes straight into a model.
void BM_DecodeAndMap(benchmark::State& state) {
    const std::string& doc = document();
    const Value::Data data(doc.begin(), doc.end());
    for (auto _ : state) {
        auto model = MMModel::modelWithData<BenchDevice>(data);
        if (!model || model->firmwares().size() != 3000) state.SkipWithError("mapping failed");
        benchmark::DoNotOptimize(model);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
    state.counters["doc_bytes"] = static_cast<double>(doc.size());
}
BENCHMARK(BM_DecodeAndMap)->Unit(benchmark::kMillisecond);

}  // namespace
