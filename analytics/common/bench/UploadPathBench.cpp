// The upload path: parking 10,000 reports of about 1 KB in "uc.db" against raw prepared
// INSERTs of equally long text into the same schema with the same pragmas (one transaction
// per row on both sides); envelope encoding of a 200 KB body (compression, digests, Thrift)
// against the generated classes' serialisation plus compress2 of the same text, with the
// whole build (JSON and save) beside it. All in the same run.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <unistd.h>
#include <zlib.h>

#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVUcDB.h>
#include <analytics_common/ZVUtils.h>
#include <platform_foundation/Sandbox.h>

#include "analytics_wire_types.h"

namespace {

// A sandbox of its own, set before anything reads it.
const std::string& benchRoot() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/zvbench-XXXXXX";
        const std::string d = ::mkdtemp(tmpl) ? tmpl : "/tmp";
        ::setenv(NSSandbox::kRootEnvironmentVariable, (d + "/sandbox").c_str(), 1);
        ::setenv(NSSandbox::kDeviceRootEnvironmentVariable, (d + "/device").c_str(), 1);
        ::setenv("ZAVEZ_COLLECTION_HOSTS", "ulog.zavez.localhost:1,ulog2.zavez.localhost:1", 1);
        return d;
    }();
    return dir;
}
[[maybe_unused]] const bool rootReady = (benchRoot(), true);

constexpr int kRows = 10000;

// About 1 KB of report JSON.
Value reportContent(int i) {
    std::string text;
    while (text.size() < 900) text += "event-" + std::to_string(i) + "-" + std::to_string(text.size()) + ";";
    return Value::dict({{"i", i}, {"events", text}});
}

void BM_ParkReports(benchmark::State& state) {
    ZVConfigureCache::sharedInstance()->setENetStatus(0);
    auto builder = ZVEnvelopeBuild::sharedInstance();
    auto& cache = ZVUcDB::sharedInstance();
    for (auto _ : state) {
        for (int i = 0; i < kRows; ++i) {
            Value header = Value::dict({{"seq", i}});
            benchmark::DoNotOptimize(builder->insertToCacheTable(header, reportContent(i), "a", "", "7.3.5"));
        }
        state.PauseTiming();
        (void)cache.clearDataInTable(ZVUcDB::kTable, "");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kRows);
}

void BM_RawPreparedInsert(benchmark::State& state) {
    const std::string path = benchRoot() + "/raw.db";
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    sqlite3_busy_timeout(db, 2000);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
    sqlite3_exec(db,
                 "CREATE TABLE IF NOT EXISTS __ct (id INTEGER, __c TEXT, __h TEXT, __t TEXT, __s BIGINT, __x TEXT, "
                 "__y TEXT, __z TEXT, PRIMARY KEY (id))",
                 nullptr, nullptr, nullptr);
    // Cells as long as the stored ones: the Base64 of the AES-128 cipher of the JSON.
    const std::size_t contentLength = (ZVConfigureCache::JSONFragment(reportContent(0))->size() / 16 + 1) * 16 * 4 / 3 + 4;
    const std::string content(contentLength, 'c'), header(24, 'h');
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO __ct (__c, __h, __t,__s,__x,__y) VALUES (?, ?, ?, ?, ?, ?)", -1, &insert,
                       nullptr);
    for (auto _ : state) {
        for (int i = 0; i < kRows; ++i) {
            sqlite3_bind_text(insert, 1, content.data(), int(content.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 2, header.data(), int(header.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, "a", 1, SQLITE_STATIC);
            sqlite3_bind_int64(insert, 4, sqlite3_int64(ZVUtils::UTCIntervalMS()));
            sqlite3_bind_text(insert, 5, "", 0, SQLITE_STATIC);
            sqlite3_bind_text(insert, 6, "7.3.5", 5, SQLITE_STATIC);
            if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(insert);
        }
        state.PauseTiming();
        sqlite3_exec(db, "DELETE FROM __ct", nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    state.SetItemsProcessed(int64_t(state.iterations()) * kRows);
}

// A 200 KB report body: varied text that compresses about as reports do.
const Value& bigContent() {
    static const Value v = [] {
        Value::Array events;
        std::size_t size = 0;
        for (int i = 0; size < 200 * 1024; ++i) {
            std::string e = "{\"id\":\"ev" + std::to_string(i * 7919 % 100003) + "\",\"ts\":" +
                            std::to_string(1700000000000LL + i * 37) + ",\"du\":" + std::to_string(i % 997) + "}";
            size += e.size() + 30;
            events.push_back(Value::dict({{"id", "ev" + std::to_string(i * 7919 % 100003)},
                                          {"ts", int64_t(1700000000000LL + i * 37)},
                                          {"du", i % 997}}));
        }
        return Value::dict({{"events", Value(std::move(events))}});
    }();
    return v;
}

const std::string& bigJSON() {
    static const std::string json = *ZVConfigureCache::JSONFragment(bigContent());
    return json;
}

void BM_EnvelopeEncode200KB(benchmark::State& state) {
    auto builder = ZVEnvelopeBuild::sharedInstance();
    const Value::Data raw(bigJSON().begin(), bigJSON().end());
    int32_t serial = 0;
    for (auto _ : state) {
        const auto compressed = ZVUtils::deflatedData(raw);
        benchmark::DoNotOptimize(builder->toEnvelopeWithEntity(*compressed, int32_t(raw.size()), ++serial));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(raw.size()));
}

void BM_GeneratedSerialiseAndCompress200KB(benchmark::State& state) {
    const std::string& json = bigJSON();
    int32_t serial = 0;
    for (auto _ : state) {
        std::string compressed(compressBound(json.size()), '\0');
        uLongf length = compressed.size();
        compress2(reinterpret_cast<Bytef*>(compressed.data()), &length, reinterpret_cast<const Bytef*>(json.data()),
                  json.size(), Z_DEFAULT_COMPRESSION);
        compressed.resize(length);
        zvpeer::ZVEnvelope e;
        e.__set_version("V1.0"), e.__set_address("bench-key"), e.__set_signature(std::string(64, 'a'));
        e.__set_serial_num(++serial), e.__set_ts_secs(1700000000), e.__set_length(int32_t(json.size()));
        e.__set_entity(compressed), e.__set_guid(std::string(64, 'b')), e.__set_checksum(std::string(32, 'c'));
        e.__set_codex(0);
        auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
        apache::thrift::protocol::TBinaryProtocol protocol(buffer);
        e.write(&protocol);
        benchmark::DoNotOptimize(buffer->getBufferAsString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(json.size()));
}

void BM_EnvelopeFullBuild200KB(benchmark::State& state) {
    ZVConfigureCache::sharedInstance()->setENetStatus(0);
    auto builder = ZVEnvelopeBuild::sharedInstance();
    for (auto _ : state) {
        const Value body = builder->buildEnvelopeWithHeader(Value::dict({{"seq", 1}}), bigContent(), "", "a", "7.3.5");
        if (!body.objectForKey(Value("exception")).isNull()) state.SkipWithError("build failed");
        state.PauseTiming();
        const Value files = ZVFileUtility::envelopeFiles();
        for (const Value& f : files.asArray()) std::remove(f.asStdString().c_str());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bigJSON().size()));
}

BENCHMARK(BM_ParkReports)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_RawPreparedInsert)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_EnvelopeEncode200KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GeneratedSerialiseAndCompress200KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnvelopeFullBuild200KB)->Unit(benchmark::kMicrosecond);

}  // namespace
