// A fresh install against the two TLS collection sinks: the launch builds only the zero
// envelope while reports park in "uc.db"; the service's answer grants the zero key; then
// the internal-data envelope and the parked reports leave, oldest first, and every accepted
// file is gone.

#include <algorithm>

#include <gtest/gtest.h>

#include <analytics_common/ZVConfigure.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVUcDB.h>
#include <analytics_common/ZVUtils.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_runtime/ObjCRuntime.h>

#include "EngineDoubles.h"
#include "SinkTestSupport.h"
#include "ZVCommonLogManagerRecorder.h"

using zvtest::sinks;

namespace {

constexpr char kAppKey[] = "7c41e9a0d25b83f61e0a94c7";

std::string member(const rapidjson::Value& object, const char* key) {
    if (!object.IsObject() || !object.HasMember(key)) return "";
    const auto& v = object[key];
    return v.IsString() ? v.GetString() : v.IsInt64() ? std::to_string(v.GetInt64()) : "?";
}

}  // namespace

TEST(EndToEnd, AFreshInstallWaitsForTheZeroKeyThenSendsEverythingOldestFirst) {
    sinks();
    sinks().primary.setAnswerForPath(
        "/zcfg", zvtest::accepted(1, {{"cfgfd", "1"}, {"zvid", "zvid-e2e"}, {"codex", "1"}}));
    sinks().primary.setAnswerForPath("/unify_logs", zvtest::accepted(1));
    auto settings = ZVConfigureCache::sharedInstance();
    settings->setENetStatus(1);
    auto builder = ZVEnvelopeBuild::sharedInstance();
    auto engine = ZuzOzevoInternal::shared();
    {
        std::lock_guard lock(engine->mutex);
        engine->report = Value::dict({{"header", Value::dict({{"from", "engine"}})},
                                      {"content", Value::dict({{"n", "engine"}})}});
    }

    // Reports of the first launch park while the service has not granted the zero key.
    dispatch_sync(ZVWorkDispatch::getWorkQueue(), [&] {
        for (int i = 0; i < 2; ++i) {
            const Value body = builder->buildEnvelopeWithExtHeader(Value::dict({{"seq", i}}),
                                                                   Value::dict({{"n", std::to_string(i)}}));
            EXPECT_TRUE(body.objectForKey(Value("exception")).isNull());
        }
    });
    EXPECT_EQ(ZVUcDB::sharedInstance().rowCountInTable(ZVUcDB::kTable), 2);
    EXPECT_EQ(ZVFileUtility::envelopeFiles().count(), 0u);

    const uint64_t before = ZVUtils::UTCIntervalMS();
    ZVConfigure::initWithAppkey(Value(kAppKey), Value("App Store"));
    EXPECT_EQ(ZVUtils::componentFlags(), "czaoi");
    EXPECT_EQ(settings->appkey(), kAppKey);

    // Everything settles: four log envelopes (two parked reports, the engine's report parked
    // behind them, the internal data) after the zero envelope.
    ASSERT_TRUE(spinMainRunLoopUntil(
        [&] {
            return sinks().primary.requests().size() >= 5 && !builder->jobRunning() &&
                   ZVFileUtility::envelopeFiles().count() == 0 &&
                   ZVUcDB::sharedInstance().rowCountInTable(ZVUcDB::kTable) == 0;
        },
        120));
    zvtest::drainWorkQueue();
    const uint64_t after = ZVUtils::UTCIntervalMS();
    const auto requests = sinks().primary.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(sinks().secondary.requests().empty());

    // The zero envelope, alone on /zcfg.
    const auto& zero = requests[0];
    EXPECT_EQ(zero.path, "/zcfg");
    EXPECT_EQ(zero.header("Content-Type"), "ut/z");
    EXPECT_EQ(zero.header("Msg-Type"), "envelope/json");
    EXPECT_EQ(zero.header("X-Zavez-Sdk").rfind("z/7.3.5 ", 0), 0u) << zero.header("X-Zavez-Sdk");
    const uint64_t utc = std::stoull(zero.header("X-Zavez-UTC"));
    EXPECT_GE(utc, before);
    EXPECT_LE(utc, after);
    const auto zeroEnvelope = zvsink::decodeEnvelope(zero.body, zvtest::identity());
    ASSERT_TRUE(zeroEnvelope.ok()) << zeroEnvelope.problems.front();
    EXPECT_EQ(zeroEnvelope.envelope.codex, 0) << "no imprint yet: encryption off";
    const auto zeroJSON = zvsink::parseJSON(zeroEnvelope.json);
    ASSERT_TRUE(zeroJSON.IsObject());
    EXPECT_EQ(member(zeroJSON["header"], "appkey"), kAppKey);
    EXPECT_EQ(member(zeroJSON["header"], "os"), "iOS");
    EXPECT_EQ(zeroJSON.MemberCount(), 1u) << "only the header";

    // The rest on /unify_logs, each decoded and checked; the imprint's codex now encrypts.
    // Replayed oldest first: their serials (one per build) follow the parking order. (Arrival
    // order may differ: a job that finds several files posts the newest first.)
    std::vector<std::pair<int32_t, std::string>> reports;
    int inner = 0;
    for (std::size_t i = 1; i < requests.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& r = requests[i];
        EXPECT_EQ(r.path, "/unify_logs");
        const auto received = zvsink::decodeEnvelope(r.body, zvtest::identity());
        ASSERT_TRUE(received.ok()) << received.problems.front();
        EXPECT_EQ(received.envelope.codex, 1);
        EXPECT_EQ(received.envelope.signature, zeroEnvelope.envelope.signature) << "made by the first envelope";
        const auto json = zvsink::parseJSON(received.json);
        ASSERT_TRUE(json.IsObject());
        if (json.HasMember("inner")) {
            ++inner;
            EXPECT_EQ(r.header("Content-Type"), "ut/i") << "the keys of the name's field segment";
            for (const char* k : {"by", "sd", "sinfo", "mem"}) EXPECT_TRUE(json["inner"].HasMember(k)) << k;
            EXPECT_EQ(member(json["header"], "i_sdk_v"), "1.2.0");
        } else {
            reports.emplace_back(received.envelope.serial_num, member(json, "n"));
            // Replayed rows carry the rebuilt base header with the component flags.
            EXPECT_EQ(member(json["header"], "module"), "czaoi");
            EXPECT_EQ(member(json["header"], "appkey"), kAppKey);
        }
    }
    EXPECT_EQ(inner, 1);
    std::sort(reports.begin(), reports.end());
    std::vector<std::string> order;
    for (const auto& [serial, n] : reports) order.push_back(n);
    EXPECT_EQ(order, (std::vector<std::string>{"0", "1", "engine"}));

    // The start after the zero key asked the engine and parked its report behind the others.
    EXPECT_EQ(zvtest::calls().count("doMakeSessionStartEnvelopeForZero:version:defcon:isProFile:"), 1u);
    {
        std::lock_guard lock(engine->mutex);
        ASSERT_EQ(engine->removed.size(), 1u);
        EXPECT_TRUE(engine->removed[0].objectForKey(Value("exception")).isNull());
        EXPECT_FALSE(engine->removed[0].objectForKey(Value("header")).isNull());
    }
    EXPECT_EQ(zvtest::calls().count("startAnalyticsWithAppkey:|7c41e9a0d25b83f61e0a94c7"), 1u);
    EXPECT_EQ(zvtest::calls().count("initVUVuvev:channel:|7c41e9a0d25b83f61e0a94c7|App Store"), 1u);
    EXPECT_EQ(zvtest::calls().count("setCrashUerInfo:"), 1u);

    EXPECT_EQ(ZVConfigureCache::objectWithKey("zvZeroKey"), Value("YES"));
    EXPECT_EQ(ZVConfigure::zvidString(), "zvid-e2e");
    EXPECT_EQ(performClassSelector("ZVConfigure", "zvidString"), Value("zvid-e2e"));
    EXPECT_EQ(ZVConfigureCache::objectWithKey("zvSuccessfulRequests").integerValue(), 5);
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("zvFailedRequests").isNull());
    const double lastPost = ZVConfigureCache::objectWithKey("lastPostInterval").doubleValue() * 1000;
    EXPECT_GE(lastPost, double(before) - 1000);
    EXPECT_LE(lastPost, double(after) + 1000);
}
