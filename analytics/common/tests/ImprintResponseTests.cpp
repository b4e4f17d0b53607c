// Service answers: acceptance and the zero key, the imprint merge and its immediate effects,
// the zvid announcement, and the A/B experiment texts against chosen signatures.

#include <map>
#include <optional>

#include <gtest/gtest.h>

#include "AnalyticsTestSupport.h"
#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVThriftCodec.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/ObjCClass.h>

namespace {

class VUVuvev : public NSObject {
    NS_CLASS(VUVuvev, NSObject)
public:
    static std::vector<Value>& crashInfos() {
        static std::vector<Value> v;
        return v;
    }
};

// The usage kit's filter registry: takes "ekv_wl".
class ZVFilterImprint : public NSObject {
    NS_CLASS(ZVFilterImprint, NSObject)
public:
    static std::shared_ptr<ZVFilterImprint> shared() {
        static const auto f = std::make_shared<ZVFilterImprint>();
        return f;
    }
    std::vector<std::string> taken;
};

using Entries = std::map<std::string, std::optional<std::string>>;  // nullopt: entry without a value

std::shared_ptr<ZVTImprint> imprintOf(const Entries& entries, bool goodChecksum = true) {
    Value::Dictionary property;
    for (const auto& [k, v] : entries) {
        auto entry = v ? ZVTImprintValue::initWithValue(*v, 7, "g") : ZVTImprintValue::initWithValue(Value(), 7, "g");
        if (!v) entry->unsetValue_();
        property[Value(k)] = Value(entry);
    }
    auto imprint = ZVTImprint::initWithProperty(Value(std::move(property)), 3, "");
    imprint->setChecksum(Value(goodChecksum ? ZVBuildPayload::generateImprintChecksum(*imprint) : std::string(32, '0')));
    return imprint;
}

Value::Data answer(int32_t code, const std::shared_ptr<ZVTImprint>& imprint) {
    auto response = ZVTResponse::initWithResp_code(code, Value("m"), imprint ? Value(imprint) : Value());
    if (!imprint) response->unsetImprint();
    return ZVThriftCodec::encode(*response);
}

std::optional<std::string> stored(const std::string& key) { return ZVEnvelopeBuild::imprintProperty(key); }

void setSignature(std::size_t offset, std::initializer_list<uint8_t> bytes) {
    Value::Data sig(32, 0x11);
    std::size_t i = offset;
    for (uint8_t b : bytes) sig[i++] = b;
    ZVConfigureCache::setObject(Value(sig), "zvSignature");
}

class ImprintAndResponse : public ::testing::Test {
protected:
    std::shared_ptr<ZVBuildPayload> payload = ZVBuildPayload::sharedInstance();
    void SetUp() override {
        for (const char* key : {"zvImprint", "zvZeroKey", "zvDefcon", "zvExperimentGroupInfo", "zvExperimentRPT",
                                "zvExperimentDOM", "report_interval_change"})
            ZVConfigureCache::removeObjectForKey(key);
        ZVEnvelopeBuild::sharedInstance()->setDefcon(0);
    }
};

}  // namespace

NS_CLASS_LOAD(VUVuvev) {
    cls.addClassOperation("setCrashUerInfo:", [](ObjCClass&, const Value::Array& args) {
        VUVuvev::crashInfos().push_back(args.at(0));
        return Value();
    });
}

NS_CLASS_LOAD(ZVFilterImprint) {
    cls.addClassOperation("sharedInstance", [](ObjCClass&, const Value::Array&) { return Value(ZVFilterImprint::shared()); });
    cls.addInstanceOperation("processFilterImprintKey:withImprintValue:", [](NSObject& self, const Value::Array& args) {
        if (args.at(0) != Value("ekv_wl")) return Value(false);
        static_cast<ZVFilterImprint&>(self).taken.push_back(args.at(1).asStdString());
        return Value(true);
    });
}

TEST_F(ImprintAndResponse, AcceptanceAndZeroKey) {
    struct Case {
        const char* name;
        Value::Data bytes;
        bool accepted, granted;
        std::optional<std::string> mergedValue;  // of key "k"
    } cases[] = {
        {"code 1 without imprint", answer(1, nullptr), true, false, std::nullopt},
        {"code 2", answer(2, imprintOf({{"iscfg", "1"}, {"k", "v"}})), false, false, std::nullopt},
        {"garbage", Value::Data{0x0b, 0x00, 0x01, 0xff}, false, false, std::nullopt},
        {"empty", Value::Data{}, false, false, std::nullopt},
        {"plain imprint merged, no key", answer(1, imprintOf({{"k", "v"}})), true, false, "v"},
        {"bad checksum not merged", answer(1, imprintOf({{"k", "v"}}, false)), true, false, std::nullopt},
        {"iscfg grants, not merged", answer(1, imprintOf({{"iscfg", "1"}, {"k", "v"}})), true, true, std::nullopt},
        {"cfgfd merged and grants", answer(1, imprintOf({{"cfgfd", "1"}, {"k", "v"}})), true, true, "v"},
        {"cfgfd with bad checksum still grants", answer(1, imprintOf({{"cfgfd", "1"}, {"k", "v"}}, false)), true, true,
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        EXPECT_EQ(payload->verifyResponseData(c.bytes), c.accepted);
        EXPECT_EQ(ZVConfigureCache::objectWithKey("zvZeroKey") == Value("YES"), c.granted);
        EXPECT_EQ(stored("k"), c.mergedValue);
    }
    // Stateless answers never merge; "cfgfd" grants the key there too.
    SetUp();
    EXPECT_TRUE(payload->verifySLResponseData(answer(1, imprintOf({{"cfgfd", "1"}, {"k", "v"}}))));
    EXPECT_EQ(ZVConfigureCache::objectWithKey("zvZeroKey"), Value("YES"));
    EXPECT_EQ(stored("k"), std::nullopt);
    EXPECT_FALSE(payload->verifySLResponseData(answer(3, nullptr)));
}

TEST_F(ImprintAndResponse, MergeRules) {
    ZVBuildPayload::updateImprint(imprintOf({{"a", "1"}, {"b", "2"}, {"zvtt", "x"}, {"ekv_wl", "list"}}));
    EXPECT_EQ(stored("a"), "1");
    EXPECT_EQ(stored("zvtt"), std::nullopt);     // never stored
    EXPECT_EQ(stored("ekv_wl"), std::nullopt);   // a filter took it
    EXPECT_EQ(ZVFilterImprint::shared()->taken.back(), "list");
    ZVBuildPayload::updateImprint(imprintOf({{"b", std::nullopt}, {"c", "3"}}));
    EXPECT_EQ(stored("a"), "1");                 // kept
    EXPECT_EQ(stored("b"), std::nullopt);        // a value-less entry deletes
    EXPECT_EQ(stored("c"), "3");
    // The stored imprint carries a valid checksum and the received version.
    const Value bytes = ZVConfigureCache::objectWithKey("zvImprint");
    auto merged = std::make_shared<ZVTImprint>();
    ZVThriftCodec::decode(bytes.asData(), *merged);
    EXPECT_TRUE(ZVBuildPayload::validateImprintChecksum(merged));
    EXPECT_EQ(merged->version(), 3);
}

TEST_F(ImprintAndResponse, Defcon) {
    struct Case {
        std::optional<std::string> value;
        std::optional<std::string> stored;
        int32_t level;
    } cases[] = {{"2", "2", 2}, {"7", "0", 0}, {"-1", "0", 0}, {"3", "3", 3}, {std::nullopt, std::nullopt, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.value_or("no value"));
        ZVEnvelopeBuild::sharedInstance()->setDefcon(1);
        ZVBuildPayload::updateImprint(imprintOf({{"defcon", c.value}}));
        const Value v = ZVConfigureCache::objectWithKey("zvDefcon");
        EXPECT_EQ(v.isNull() ? std::nullopt : std::optional<std::string>(v.asStdString()), c.stored);
        EXPECT_EQ(ZVEnvelopeBuild::sharedInstance()->defcon(), c.level);
    }
}

TEST_F(ImprintAndResponse, ZvidAnnouncedOnceAndIntervalsFlagged) {
    int notified = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        "kZVImprintZVIDNotification", Value(), nullptr, [&notified](const NSNotification&) { ++notified; });
    VUVuvev::crashInfos().clear();
    ZVBuildPayload::updateImprint(imprintOf({{"zvid", ""}}));
    ZVBuildPayload::updateImprint(imprintOf({{"zvid", "Z1"}}));
    ZVBuildPayload::updateImprint(imprintOf({{"zvid", "Z2"}}));
    EXPECT_EQ(notified, 1);
    ASSERT_EQ(VUVuvev::crashInfos().size(), 1u);
    EXPECT_EQ(VUVuvev::crashInfos()[0], Value::dict({{"zv_zvid", "Z1"}}));
    NSNotificationCenter::defaultCenter()->removeObserver(token);

    EXPECT_TRUE(ZVConfigureCache::objectWithKey("report_interval_change").isNull());
    ZVBuildPayload::updateImprint(imprintOf({{"report_interval", "30"}}));
    EXPECT_EQ(ZVConfigureCache::objectWithKey("report_interval_change"), Value(true));
}

TEST_F(ImprintAndResponse, SignatureProbability) {
    ZVConfigureCache::removeObjectForKey("zvSignature");
    EXPECT_EQ(ZVBuildPayload::calcProbWithSigIndex(6), 0.0f);
    struct Case {
        std::initializer_list<uint8_t> bytes;
        float p;
    } cases[] = {{{0x80, 0x00, 0x0f}, 0.5f}, {{0x00, 0x00, 0x00}, 0.0f}, {{0xff, 0xff, 0xff}, 0.99999905f},
                 {{0x40, 0x00, 0x00}, 0.25f}};
    for (const auto& c : cases) {
        setSignature(12, c.bytes);
        EXPECT_EQ(ZVBuildPayload::calcProbWithSigIndex(12), c.p);
    }
}

TEST_F(ImprintAndResponse, Experiments) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::initializer_list<uint8_t> sig;
        std::string text;
        std::optional<int64_t> rpt, dom, rptGroup, domGroup;
    } cases[] = {
        {"fixed group 2 under threshold", 12, {0x10}, "FIXED|2|SIG13|0.5|RPT|30,60", 60, {}, 2, {}},
        {"fixed at the 0.5 boundary", 12, {0x80}, "FIXED|2|SIG13|0.5|RPT|30,60", {}, {}, {}, {}},
        {"fixed group out of range", 12, {0x10}, "FIXED|3|SIG13|0.5|RPT|30,60", {}, {}, {}, {}},
        {"sig7 group 1", 6, {0x10}, "SIG7|0.5,0.5|SIG13|1|DOM|0,1", {}, 1, {}, 1},
        {"sig7 group 2", 6, {0x90}, "SIG7|0.5,0.5|SIG13|1|DOM|0,1", {}, 0, {}, 2},
        {"other gate", 12, {0x10}, "FIXED|2|SIG9|0.5|RPT|30,60", {}, {}, {}, {}},
        {"unknown mode removes RPT", 12, {0x10}, "RAND|2|SIG13|0.5|RPT|30,60", {}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A previous valid configuration that an invalid text must remove.
        ZVConfigureCache::setObject(Value(int64_t{90}), "zvExperimentRPT");
        ZVConfigureCache::setObject(Value::dict({{"RPT", int64_t{1}}}), "zvExperimentGroupInfo");
        ZVConfigureCache::removeObjectForKey("zvExperimentDOM");
        setSignature(c.offset, c.sig);
        ZVBuildPayload::configureExperimentWithString(c.text);
        const Value table = ZVConfigureCache::objectWithKey("zvExperimentGroupInfo");
        auto opt = [](const Value& v) { return v.isNull() ? std::nullopt : std::optional<int64_t>(v.integerValue()); };
        if (std::string(c.text).find("DOM") != std::string::npos) {
            EXPECT_EQ(opt(ZVConfigureCache::objectWithKey("zvExperimentDOM")), c.dom);
            EXPECT_EQ(opt(table.objectForKey(Value("DOM"))), c.domGroup);
        } else {
            EXPECT_EQ(opt(ZVConfigureCache::objectWithKey("zvExperimentRPT")), c.rpt);
            EXPECT_EQ(opt(table.objectForKey(Value("RPT"))), c.rptGroup);
        }
    }
    // Five fields change nothing.
    ZVConfigureCache::setObject(Value(int64_t{90}), "zvExperimentRPT");
    ZVBuildPayload::configureExperimentWithString("FIXED|2|SIG13|0.5|RPT");
    EXPECT_EQ(ZVConfigureCache::objectWithKey("zvExperimentRPT"), Value(int64_t{90}));
    // A value-less "client_test" clears the experiment keys.
    ZVBuildPayload::updateImprint(imprintOf({{"client_test", std::nullopt}}));
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("zvExperimentRPT").isNull());
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("zvExperimentGroupInfo").isNull());
}
