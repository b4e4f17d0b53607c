// Envelope files as a collection service reads them: decoded by the independently generated
// Thrift classes, checksum and guid recomputed here, codex-1 entities decrypted by the openssl
// command line, inflated by zlib and parsed back; names, limits, signature and serials.

#include <cstdio>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <zlib.h>

#include "AnalyticsTestSupport.h"
#include "analytics_wire_types.h"
#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVUcDB.h>
#include <analytics_common/ZVUtils.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_system/CommonDigest.h>

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string md5Hex(const std::string& bytes) { return CCMD5Hex(bytes); }

std::array<uint8_t, 16> md5Raw(const std::string& bytes) {
    const std::string h = md5Hex(bytes);
    std::array<uint8_t, 16> out{};
    for (int i = 0; i < 16; ++i) out[i] = static_cast<uint8_t>(std::stoi(h.substr(2 * i, 2), nullptr, 16));
    return out;
}

std::string hexToBytes(const std::string& h) {
    std::string out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2) out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return out;
}

std::string toHex(const std::string& bytes) { return CCHexString(bytes.data(), bytes.size()); }

using zvtest::storeImprint;

// What a collection service makes of one envelope file.
struct Received {
    zvpeer::ZVEnvelope envelope;
    std::string json;
};

Received receive(const std::string& path) {
    const std::string bytes = readFile(path);
    auto buffer = std::make_shared<TMemoryBuffer>(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())),
                                                  static_cast<uint32_t>(bytes.size()));
    TBinaryProtocol protocol(buffer);
    Received r;
    r.envelope.read(&protocol);
    EXPECT_EQ(buffer->available_read(), 0u) << "bytes after the record";
    const auto& e = r.envelope;
    EXPECT_EQ(e.checksum, md5Hex(e.signature + std::to_string(e.serial_num) + std::to_string(e.ts_secs) +
                                 std::to_string(e.length) + e.guid));
    std::string compressed = e.entity;
    if (e.codex == 1) {
        const std::string key = toHex(hexToBytes(e.signature).substr(1, 16));
        const std::string in = zvtest::root() + "/entity.bin";
        std::ofstream(in, std::ios::binary) << e.entity;
        const std::string cmd = "openssl enc -d -aes-128-cbc -K " + key + " -iv 3e91c07a5d2b64f8a1097e3dc45b2f60 -in " +
                                in + " -out " + in + ".plain";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        compressed = readFile(in + ".plain");
    }
    // guid: the interleaved digests of entity and identity, signature corners, XOR time stamp.
    const auto entityMD5 = md5Raw(e.entity);
    const auto identityMD5 = md5Raw(ZVUtils::idfv() + ZVUtils::sharedUDIDString());
    const std::string signature = hexToBytes(e.signature);
    std::string guid(32, '\0');
    for (int k = 0; k < 16; ++k) {
        guid[2 * k] = static_cast<char>(entityMD5[k]);
        guid[2 * k + 1] = static_cast<char>(identityMD5[k]);
    }
    for (int i : {0, 1, 30, 31}) guid[i] = signature[i];
    for (int i = 0; i < 32; ++i) guid[i] = static_cast<char>(guid[i] ^ static_cast<uint8_t>(uint32_t(e.ts_secs) >> (8 * (i % 4))));
    EXPECT_EQ(e.guid, toHex(guid));

    std::string json(static_cast<std::size_t>(e.length), '\0');
    uLongf len = json.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(json.data()), &len,
                         reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()),
              Z_OK);
    EXPECT_EQ(len, json.size());
    r.json = json;
    return r;
}

std::vector<std::string> envelopeFiles(const std::string& dir) {
    std::vector<std::string> out;
    const Value items = ZVFileUtility::itemsInAbsDir(dir);
    if (!items.isArray()) return out;
    for (const auto& p : items.asArray())
        if (p.isString() && p.asString().ends_with(ZVFileUtility::kEnvelopeSuffix)) out.push_back(p.asStdString());
    return out;
}

class EnvelopeBuild : public ::testing::Test {
protected:
    std::shared_ptr<ZVEnvelopeBuild> builder = ZVEnvelopeBuild::sharedInstance();
    std::string dir = ZVFileUtility::zavezDirectory();
    void SetUp() override {
        ZVConfigureCache::setObject(Value("test-appkey"), "appkey");
        ZVConfigureCache::removeObjectForKey("zvImprint");
        ZVConfigureCache::sharedInstance()->setEncryptEnabled(false);
        clear();
    }
    void TearDown() override { clear(); }
    void clear() {
        for (const auto& f : envelopeFiles(dir)) std::remove(f.c_str());
    }
    // The one file the last build left.
    std::string onlyFile() {
        const auto files = envelopeFiles(dir);
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? std::string() : files[0];
    }
};

}  // namespace

TEST_F(EnvelopeBuild, CodexFromImprintAndSwitch) {
    struct Case {
        std::optional<std::string> codex;
        bool encryptEnabled;
        int32_t expected;
    } cases[] = {{"0", true, 0}, {"0", false, 0}, {"1", false, 1}, {"1", true, 1},
                 {std::nullopt, true, 1}, {std::nullopt, false, 0}, {"2", true, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codex.value_or("absent") + (c.encryptEnabled ? " on" : " off"));
        storeImprint(c.codex ? std::map<std::string, std::string>{{"codex", *c.codex}} : std::map<std::string, std::string>{});
        ZVConfigureCache::sharedInstance()->setEncryptEnabled(c.encryptEnabled);
        const Value body = builder->buildEnvelopeWithHeader(Value::dict({{"app_version", "2.1"}}),
                                                            Value::dict({{"ev", Value::array({"x", "é"})}}), "", "a", "7.3.5");
        EXPECT_TRUE(body.objectForKey(Value("exception")).isNull());
        const Received r = receive(onlyFile());
        EXPECT_EQ(r.envelope.codex, c.expected);
        EXPECT_EQ(r.envelope.version, "V1.0");
        EXPECT_EQ(r.envelope.address, "test-appkey");
        const Value parsed = NSJSONSerialization::JSONObjectWithData(std::string_view(r.json));
        EXPECT_EQ(parsed.objectForKey(Value("ev")), Value::array({"x", "é"}));
        EXPECT_EQ(parsed.objectForKey(Value("header")).objectForKey(Value("app_version")), Value("2.1"));
        clear();
    }
}

TEST_F(EnvelopeBuild, FileNamesCarryTypeAndVersions) {
    const Value ext = Value::dict({{"app_version", "1.0 b"}, {"sdk_version", "7.3.5"}});
    struct Case {
        const char* name;
        std::function<Value()> build;
        std::string prefix;
        std::string folder;
    } cases[] = {
        {"analytics", [&] { return builder->buildEnvelopeWithHeader(ext, Value::dict({}), "", "a", "7.3.5"); },
         "a==7.3.5&=1.0%20b", ""},
        {"empty type and version", [&] { return builder->buildEnvelopeWithHeader(ext, Value::dict({}), "", "", ""); },
         "zv==0.0.0&=1.0%20b", ""},
        {"zero", [&] { return builder->buildZeroEnvelopeWithExtHeader(ext, Value::dict({{"c", 1}})); },
         "z==7.3.5&&1.0%20b", ""},
        {"session start",
         [&] {
             return builder->buildEnvelopeWithHeaderSubFolder(
                 Value::dict({{"st", "1"}, {"app_version", "1.0 b"}, {"sdk_version", "7.3.5"}}), Value::dict({}),
                 "sessionstart");
         },
         "ta==7.3.5&&1.0%20b", "sessionstart"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Value body = c.build();
        EXPECT_TRUE(body.objectForKey(Value("exception")).isNull());
        const auto files = envelopeFiles(c.folder.empty() ? dir : dir + "/" + c.folder);
        ASSERT_EQ(files.size(), 1u);
        const std::string name = files[0].substr(files[0].rfind('/') + 1);
        EXPECT_TRUE(name.starts_with(c.prefix)) << name;
        (void)receive(files[0]);
        std::remove(files[0].c_str());
    }
    // The zero envelope sends only its extra header.
    (void)builder->buildZeroEnvelopeWithExtHeader(Value::dict({{"appkey", "k"}}), Value::dict({{"c", 1}}));
    const Received zero = receive(onlyFile());
    EXPECT_EQ(zero.json, R"({"header":{"appkey":"k"}})");
    EXPECT_TRUE(builder->buildEnvelopeWithHeaderSubFolder(ext, Value::dict({}), "").asDictionary().empty());
}

TEST_F(EnvelopeBuild, SignatureMadeOnceSerialPerAttempt) {
    ZVConfigureCache::removeObjectForKey("zvSignature");
    (void)builder->buildEnvelopeWithHeader(Value(), Value::dict({{"n", 1}}), "", "a", "7.3.5");
    const Received first = receive(onlyFile());
    clear();
    const Value stored = ZVConfigureCache::objectWithKey("zvSignature");
    ASSERT_TRUE(stored.isData());
    EXPECT_EQ(toHex(std::string(stored.asData().begin(), stored.asData().end())), first.envelope.signature);

    // A failed attempt still takes a serial.
    const Value tooLong = builder->buildEnvelopeWithHeader(
        Value(), Value::dict({{"big", std::string(ZVEnvelopeBuild::kMaxJSONBytes, 'x')}}), "", "a", "7.3.5");
    EXPECT_EQ(tooLong.objectForKey(Value("exception")).integerValue(), ZVEnvelopeBuild::kJSONTooLong);
    EXPECT_TRUE(envelopeFiles(dir).empty());

    (void)builder->buildEnvelopeWithHeader(Value(), Value::dict({{"n", 2}}), "", "a", "7.3.5");
    const Received third = receive(onlyFile());
    EXPECT_EQ(third.envelope.signature, first.envelope.signature);
    EXPECT_EQ(third.envelope.serial_num, first.envelope.serial_num + 2);
}

TEST_F(EnvelopeBuild, JSONLimitIsInclusive) {
    // Find the JSON length of a body with an empty filler, then size the filler to the limit.
    const Value probe = builder->buildEnvelopeWithHeader(Value(), Value::dict({{"f", ""}}), "", "a", "7.3.5");
    ASSERT_TRUE(probe.objectForKey(Value("exception")).isNull());
    const Received r = receive(onlyFile());
    clear();
    const std::size_t fill = ZVEnvelopeBuild::kMaxJSONBytes - static_cast<std::size_t>(r.envelope.length);
    const Value atLimit =
        builder->buildEnvelopeWithHeader(Value(), Value::dict({{"f", std::string(fill, 'y')}}), "", "a", "7.3.5");
    EXPECT_TRUE(atLimit.objectForKey(Value("exception")).isNull());
    EXPECT_EQ(receive(onlyFile()).envelope.length, static_cast<int32_t>(ZVEnvelopeBuild::kMaxJSONBytes));
    clear();
    const Value over =
        builder->buildEnvelopeWithHeader(Value(), Value::dict({{"f", std::string(fill + 1, 'y')}}), "", "a", "7.3.5");
    EXPECT_EQ(over.objectForKey(Value("exception")).integerValue(), ZVEnvelopeBuild::kJSONTooLong);
    EXPECT_TRUE(envelopeFiles(dir).empty());
}

TEST_F(EnvelopeBuild, OversizedFileIsDeleted) {
    std::mt19937 rng(7);
    auto noise = [&rng](std::size_t n) {
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::string s(n, 'a');
        for (char& ch : s) ch = alphabet[rng() % 62];
        return s;
    };
    const Value kept = builder->buildEnvelopeWithHeader(Value(), Value::dict({{"f", noise(100000)}}), "", "a", "7.3.5");
    EXPECT_TRUE(kept.objectForKey(Value("exception")).isNull());
    EXPECT_EQ(envelopeFiles(dir).size(), 1u);
    clear();
    const Value dropped = builder->buildEnvelopeWithHeader(Value(), Value::dict({{"f", noise(300000)}}), "", "a", "7.3.5");
    EXPECT_EQ(dropped.objectForKey(Value("exception")).integerValue(), ZVEnvelopeBuild::kFileTooLong);
    EXPECT_TRUE(envelopeFiles(dir).empty());
}

TEST_F(EnvelopeBuild, FileLimitIsInclusive) {
    // The application key travels in the record beside the unchanged entity: each character
    // of it adds exactly one byte to the file, which brings the file to the limit exactly.
    const Value content = Value::dict({{"f", std::string(50000, 'q')}});
    ASSERT_TRUE(builder->buildEnvelopeWithHeader(Value(), content, "", "a", "7.3.5").objectForKey(Value("exception")).isNull());
    struct stat st {};
    ASSERT_EQ(::stat(onlyFile().c_str(), &st), 0);
    const auto base = static_cast<std::size_t>(st.st_size);
    ASSERT_LT(base, ZVEnvelopeBuild::kMaxFileBytes);
    clear();
    const std::size_t keyLength = std::string("test-appkey").size() + ZVEnvelopeBuild::kMaxFileBytes - base;
    ZVConfigureCache::setObject(Value(std::string(keyLength, 'k')), "appkey");
    const Value exact = builder->buildEnvelopeWithHeader(Value(), content, "", "a", "7.3.5");
    EXPECT_TRUE(exact.objectForKey(Value("exception")).isNull());
    ASSERT_EQ(::stat(onlyFile().c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), ZVEnvelopeBuild::kMaxFileBytes);
    clear();
    ZVConfigureCache::setObject(Value(std::string(keyLength + 1, 'k')), "appkey");
    const Value over = builder->buildEnvelopeWithHeader(Value(), content, "", "a", "7.3.5");
    EXPECT_EQ(over.objectForKey(Value("exception")).integerValue(), ZVEnvelopeBuild::kFileTooLong);
    EXPECT_TRUE(envelopeFiles(dir).empty());
    ZVConfigureCache::setObject(Value("test-appkey"), "appkey");
}

TEST_F(EnvelopeBuild, InternalDataOnlyWithTheZeroKey) {
    ZVConfigureCache::removeObjectForKey("zvZeroKey");
    EXPECT_EQ(ZVEnvelopeBuild::buildInternalData(), Value::dict({{"inner", Value::dict({})}}));
    ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    const Value inner = ZVEnvelopeBuild::buildInternalData().objectForKey(Value("inner"));
    for (const char* key : {"by", "sd", "sinfo", "mem"}) EXPECT_FALSE(inner.objectForKey(Value(key)).isNull()) << key;
    ZVConfigureCache::removeObjectForKey("zvZeroKey");
}

class ParkedReports : public EnvelopeBuild {
protected:
    ZVUcDB& cache = ZVUcDB::sharedInstance();
    void SetUp() override {
        EnvelopeBuild::SetUp();
        // The replay's own work event 5 would race the test's direct calls.
        ZVWorkDispatch::setCommonEventHandler([](ZVWorkDispatch&, const ZVDispatchEvent&, const auto&) {});
        ASSERT_TRUE(cache.clearDataInTable(ZVUcDB::kTable, ""));
        ZVConfigureCache::removeObjectForKey("zvZeroKey");
    }
    void TearDown() override {
        zvtest::drainWorkQueue();
        ZVWorkDispatch::setCommonEventHandler(nullptr);
        ZVConfigureCache::removeObjectForKey("zvZeroKey");
        (void)cache.clearDataInTable(ZVUcDB::kTable, "");
        EnvelopeBuild::TearDown();
    }
};

TEST_F(ParkedReports, WaitForTheZeroKeyThenLeaveOldestFirst) {
    for (int i = 0; i < 2; ++i) {
        const Value body = builder->buildEnvelopeWithExtHeader(Value::dict({{"app_version", "1.0"}}),
                                                               Value::dict({{"n", i}}));
        EXPECT_TRUE(body.objectForKey(Value("exception")).isNull());
        EXPECT_EQ(body.objectForKey(Value("n")).integerValue(), i);
    }
    EXPECT_TRUE(envelopeFiles(dir).empty());
    EXPECT_EQ(cache.rowCountInTable(ZVUcDB::kTable), 2);

    // Granted, but older reports wait: the new one parks behind them.
    ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    // (the replay this triggers takes the oldest row at once)
    (void)builder->buildEnvelopeWithExtHeader(Value::dict({{"app_version", "1.0"}}), Value::dict({{"n", 2}}));
    for (int expected = 1; expected <= 2; ++expected) builder->loadCacheData();
    EXPECT_EQ(cache.rowCountInTable(ZVUcDB::kTable), 0);
    auto files = envelopeFiles(dir);
    ASSERT_EQ(files.size(), 3u);
    // Same prefix, then the millisecond time stamp: name order is build order.
    std::sort(files.begin(), files.end());
    std::vector<int64_t> order;
    for (const auto& f : files) {
        const Received r = receive(f);
        order.push_back(NSJSONSerialization::JSONObjectWithData(std::string_view(r.json)).objectForKey(Value("n")).integerValue());
        EXPECT_TRUE(f.substr(f.rfind('/') + 1).starts_with("a==7.3.5&=1.0")) << f;
    }
    EXPECT_EQ(order, (std::vector<int64_t>{0, 1, 2}));

    // Nothing parked: builds go straight to a file.
    clear();
    (void)builder->buildEnvelopeWithExtHeader(Value(), Value::dict({{"n", 3}}));
    EXPECT_EQ(envelopeFiles(dir).size(), 1u);
    EXPECT_EQ(cache.rowCountInTable(ZVUcDB::kTable), 0);
}

TEST_F(ParkedReports, HeadersAndTypesOfParkedRows) {
    Value startHeader = Value::dict({{"st", "1"}, {"sdk_version", "7.3.5"}});
    const Value parked = builder->insertToCacheTable(startHeader, Value::dict({{"s", 1}}), "sessionstart", "", "7.3.5");
    EXPECT_FALSE(parked.objectForKey(Value("header")).objectForKey(Value("app_version")).isNull());
    Value plainHeader = Value::dict({{"k", "v"}});
    (void)builder->insertToCacheTable(plainHeader, Value::dict({{"s", 2}}), "a", "", "7.3.5");
    Value innerHeader = Value::dict({});
    (void)builder->insertToCacheTable(innerHeader, Value::dict({}), "i", "", "7.3.5");
    EXPECT_EQ(cache.rowCountInTable(ZVUcDB::kTable), 2);  // never a row of type "i"

    auto rows = cache.loadEtTable(ZVUcDB::kTable);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].objectForKey(Value("type")), Value("ta"));
    ASSERT_TRUE(cache.clearDataInTable(ZVUcDB::kTable, rows[0].objectForKey(Value("id")).asStdString()));
    rows = cache.loadEtTable(ZVUcDB::kTable);
    ASSERT_EQ(rows.size(), 1u);
    const Value header = NSJSONSerialization::JSONObjectWithData(rows[0].objectForKey(Value("header")).asString());
    EXPECT_TRUE(header.objectForKey(Value("app_version")).isNull());
    EXPECT_EQ(header.objectForKey(Value("k")), Value("v"));

    // A row of type "ta" is replayed as an ordinary envelope of that type in the root folder.
    ASSERT_TRUE(cache.clearDataInTable(ZVUcDB::kTable, ""));
    (void)builder->insertToCacheTable(startHeader, Value::dict({{"s", 1}}), "sessionstart", "", "7.3.5");
    ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    builder->loadCacheData();
    const std::string file = onlyFile();
    EXPECT_TRUE(file.substr(file.rfind('/') + 1).starts_with("ta==7.3.5&=")) << file;
    EXPECT_EQ(cache.rowCountInTable(ZVUcDB::kTable), 0);
}

TEST_F(ParkedReports, FailedParkingIsReportedSoCallersKeepTheirData) {
    ASSERT_TRUE(cache.runSql("DROP TABLE __ct"));
    const Value body = builder->buildEnvelopeWithExtHeader(Value(), Value::dict({{"n", 1}}));
    EXPECT_EQ(body.objectForKey(Value("exception")).integerValue(), ZVEnvelopeBuild::kSaveFailed);
    cache.verifyCTTableWithName(ZVUcDB::kTable);
    EXPECT_EQ(cache.rowCountInTable(ZVUcDB::kTable), 0);
}
