// Calls by name to the usage-analytics engine and the monitors (test doubles registered
// under their names), module tags, the device-identity facade and the log bridge with a
// recording log manager; pasteboard records and config archives read by Python.

#include <analytics_common/VODiz.h>
#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVUtils.h>
#include <analytics_common/ZVWorkDispatch.h>

#include <gtest/gtest.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_uikit/UIPasteboard.h>

#include "AnalyticsTestSupport.h"
#include "ZVCommonLogManagerRecorder.h"

namespace {

// The usage-analytics engine's double: a work-event component with a background switch.
class ZuzOzevoInternal : public NSObject, public ZVLogDataProtocol {
    NS_CLASS(ZuzOzevoInternal, NSObject)
public:
    static std::shared_ptr<ZuzOzevoInternal> shared() {
        // Never destroyed: work still queued at exit may ask for it.
        static const auto* engine = new std::shared_ptr<ZuzOzevoInternal>(std::make_shared<ZuzOzevoInternal>());
        return *engine;
    }
    void workEvent(const std::shared_ptr<ZVDispatchEvent>& event) override {
        events.push_back({event->eEventType, event->object});
    }
    Value setupReportData(int64_t) override { return Value(); }
    void removeCacheData(const Value&) override {}
    std::vector<std::pair<int32_t, Value>> events;  // work queue only
    int32_t backstate = 1;
};

// The monitors' double.
class VUVuvev : public NSObject {
    NS_CLASS(VUVuvev, NSObject)
};

}  // namespace

NS_CLASS_LOAD(ZuzOzevoInternal) {
    cls.addClassOperation("sharedInstance", [](ObjCClass&, const Value::Array&) { return Value(ZuzOzevoInternal::shared()); });
    cls.addInstanceOperation("backstate", [](NSObject& self, const Value::Array&) {
        return Value(static_cast<ZuzOzevoInternal&>(self).backstate);
    });
}

NS_CLASS_LOAD(VUVuvev) {
    cls.addClassOperation("RUZORFlag", [](ObjCClass&, const Value::Array&) { return Value(R"({"crash":1})"); });
}

TEST(ModuleTags, SentToTheEngineWithinTheirLimits) {
    auto engine = ZuzOzevoInternal::shared();
    struct Case {
        const char* name;
        Value module, key, value;
        bool sent;
    };
    const std::vector<Case> cases{
        {"push tag", Value(5), Value("channel"), Value("beta"), true},
        {"module 11", Value(11), Value("k"), Value("v"), false},
        {"module 0", Value(0), Value("k"), Value("v"), false},
        {"module as text", Value("5"), Value("k"), Value("v"), false},
        {"blank key", Value(1), Value(" "), Value("v"), false},
        {"key of 64 bytes", Value(1), Value(std::string(64, 'k')), Value("v"), true},
        {"key of 65 bytes", Value(1), Value(std::string(65, 'k')), Value("v"), false},
        {"value of 129 bytes", Value(1), Value("k"), Value(std::string(129, 'v')), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine->events.clear();
        ZVUtils::setModuleTag(c.module, c.key, c.value);
        zvtest::drainWorkQueue();
        ASSERT_EQ(engine->events.size(), c.sent ? 1u : 0u);
        if (c.sent) {
            EXPECT_EQ(engine->events[0].first, 522);
            EXPECT_EQ(engine->events[0].second.objectForKey("value"), c.value);
        }
    }
    engine->events.clear();
    ZVUtils::setModuleTag(Value(5), Value("channel"), Value("beta"));
    ZVUtils::deleteModuleTag(Value(5), Value("channel"));
    ZVUtils::deleteModuleTag(Value(12), Value("channel"));
    zvtest::drainWorkQueue();
    ASSERT_EQ(engine->events.size(), 2u);
    EXPECT_EQ(engine->events[0].second.objectForKey("moduleKey"), Value("push_channel"));
    EXPECT_EQ(engine->events[1].first, 523);
    EXPECT_EQ(engine->events[1].second, Value("push_channel"));
    EXPECT_EQ(ZVCommonLogManager::count("analytics_init_error78"), 2u);
}

TEST(BaseHeaderDoubles, EngineSwitchAndMonitorFlags) {
    ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    Value header = Value::mutableDictionary();
    ZVBuildPayload::buildBaseheader(header);
    EXPECT_EQ(header.objectForKey("backstate"), Value(1));
    EXPECT_EQ(header.objectForKey("_$apmflag"), Value(R"({"crash":1})"));
}

TEST(DeviceIdentity, ZidMadeAtTheFirstStartAndKept) {
    ZVConfigureCache::removeObjectForKey("zvZeroKey");
    EXPECT_EQ(VODiz::getZID(), "");
    EXPECT_EQ(ZVUtils::getZid(), "");
    ZVConfigureCache::sharedInstance()->setAppkey(std::string("7c41e9a0d25b83f61e0a94c7"));
    ZVUtils::VODizInit();
    const std::string zid = VODiz::getZID();
    ASSERT_EQ(zid.size(), 32u);
    EXPECT_EQ(zid.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(ZVUtils::getZid(), "");  // only with the zero key
    ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
    EXPECT_EQ(ZVUtils::getZid(), zid);
    bool completed = false;
    VODiz::initWithAppKey("other", [&completed] { completed = true; });
    EXPECT_TRUE(completed);
    EXPECT_EQ(VODiz::getZID(), zid);
    EXPECT_EQ(VODiz::getSDKVersion(), "1.0.0");
    EXPECT_EQ(VODiz::getATStr() + VODiz::getZData() + VODiz::getResetToken(), "");
}

TEST(LogBridge, ForwardsToTheManagerOnlyAsAsked) {
    ZVCommonLogManager::take();
    EXPECT_TRUE(ZVCommonLogRegisterComponent(1, "ZAvezCommon", "7.3.5"));
    EXPECT_TRUE(ZVCommonLogSetComponentLevel(1, ZVLogLevelAll));
    EXPECT_TRUE(ZVCommonLogIsLevelValid(1, ZVLogFlagError));
    ZVCommonLogWrite(1, ZVLogFlagWarning, "ZVConfigure", "initWithAppkey", 10, "common_init_warn1");
    ZVCommonLogSetEnabled(false);
    ZVCommonLogWriteIfEnabled(2, ZVLogFlagInfo, "f", "g", 1, "silent");
    ZVCommonLogSetEnabled(true);
    ZVCommonLogWriteIfEnabled(2, ZVLogFlagInfo, "f", "g", 1, "heard");
    ZVCommonLogSetEnabled(false);
    const auto lines = ZVCommonLogManager::take();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].component, 1);
    EXPECT_EQ(lines[0].flag, ZVLogFlagWarning);
    EXPECT_EQ(lines[0].message, "common_init_warn1");
    EXPECT_EQ(lines[1].message, "heard");
    EXPECT_TRUE(ZVCommonLogBundle());
}

TEST(PythonReaders, PasteboardRecordAndConfigArchive) {
    if (std::system("/usr/bin/python3 -c 'import plistlib' > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    auto pb = UIPasteboard::pasteboardWithName("org.SharedUDID.slot.7", true);
    pb->setPersistent(true);
    pb->setData(NSKeyedArchiver::archivedDataWithRootObject(Value::dict({{"SharedUDID", std::string(40, 'e')}}), false),
                "org.SharedUDID");
    const std::string pasteboardFile = zvtest::root() + "/device/Pasteboards/org.SharedUDID.slot.7.pasteboard";
    const std::string script1 =
        "import plistlib,sys; p=plistlib.load(open(sys.argv[1],'rb')); a=plistlib.loads(p['items']['org.SharedUDID']); "
        "o=a['\\$objects']; r=o[a['\\$top']['root'].data]; k=[o[u.data] for u in r['NS.keys']]; "
        "v=[o[u.data] for u in r['NS.objects']]; sys.exit(0 if p['persistent'] and dict(zip(k,v))=={'SharedUDID':'e'*40} else 1)";
    EXPECT_EQ(std::system(("/usr/bin/python3 -c \"" + script1 + "\" '" + pasteboardFile + "'").c_str()), 0);

    ZVConfigManager manager;
    manager.saveServerConfig(Value::dict({{"header_idfa", false}, {"inner_lbs", true}}));
    const std::string configFile = ZVFileUtility::zavezDirectory() + "/zvconfig/serverConfig";
    const std::string script2 =
        "import plistlib,sys; a=plistlib.load(open(sys.argv[1],'rb')); o=a['\\$objects']; r=o[a['\\$top']['root'].data]; "
        "d=dict(zip([o[u.data] for u in r['NS.keys']],[o[u.data] for u in r['NS.objects']])); "
        "sys.exit(0 if d=={'header_idfa':False,'inner_lbs':True} else 1)";
    EXPECT_EQ(std::system(("/usr/bin/python3 -c \"" + script2 + "\" '" + configFile + "'").c_str()), 0);
}
