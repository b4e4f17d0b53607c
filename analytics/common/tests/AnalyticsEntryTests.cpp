// The analytics entry: start-up once per process (each launch is a child process over the
// same sandbox), the debug key's lifetime, the key of an earlier launch, the analytics
// switch, concurrent first calls, the switches and the operations other subsystems call by
// name.

#include <barrier>
#include <thread>

#include <gtest/gtest.h>

#include <analytics_common/ZVConfigure.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVUtils.h>
#include <platform_runtime/ObjCRuntime.h>

#include "EngineDoubles.h"
#include "ZVCommonLogManagerRecorder.h"

namespace {

constexpr char kKey[] = "7c41e9a0d25b83f61e0a94c7";
constexpr char kOtherKey[] = "0123456789abcdef01234567";

std::mutex eventsMutex;
std::vector<int32_t> events;

// Records the common events instead of running them.
void tapEvents() {
    ZVWorkDispatch::setCommonEventHandler([](ZVWorkDispatch&, const ZVDispatchEvent& e, const auto&) {
        // (network-idle events come from reachability at any time)
        if (e.eEventType == E_ZV_C_NET_IDLE) return;
        std::lock_guard lock(eventsMutex);
        events.push_back(e.eEventType);
    });
}
std::vector<int32_t> takeEvents() {
    zvtest::drainWorkQueue();
    std::lock_guard lock(eventsMutex);
    return std::exchange(events, {});
}

std::string version(const char* key) {
    const Value v = ZVHelper::sharedInstance()->moduleVer().objectForKey(Value(key));
    return v.isString() ? v.asStdString() : "(none)";
}

int64_t nowMS() { return static_cast<int64_t>(ZVUtils::UTCIntervalMS()); }

void storeDebugKey(int64_t storedAgoMS) {
    ZVConfigureCache::setObject(Value("dbg-key"), "zvdk");
    ZVConfigureCache::setObject(Value(int64_t(3600000)), "zvsendaging");
    ZVConfigureCache::setObject(Value(nowMS() - storedAgoMS), "zvEndTime");
}

}  // namespace

// --- launches (children) ---

TEST(EntryLaunch, DISABLED_First) {
    tapEvents();
    // A blank key starts nothing, and a later good key still can.
    ZVConfigure::initWithAppkey(Value(), Value("x"));
    ZVConfigure::initWithAppkey(Value(" \n\t"), Value("x"));
    ZVConfigure::initWithAppkey(Value(int64_t(7)), Value("x"));
    EXPECT_EQ(ZVCommonLogManager::count("common_init_error1"), 3u);
    EXPECT_EQ(ZVUtils::componentFlags(), "");
    EXPECT_EQ(ZVConfigureCache::sharedInstance()->appkey(), "key-of-an-earlier-version");
    EXPECT_EQ(zvtest::calls().count("setBackstate:"), 0u);

    ZVConfigure::initWithAppkey(Value(kKey), Value("Test Channel"));
    auto settings = ZVConfigureCache::sharedInstance();
    EXPECT_EQ(ZVCommonLogManager::count("common_init_warn1"), 1u) << "the earlier launch stored another key";
    EXPECT_EQ(ZVConfigureCache::objectWithKey("appkey"), Value(kKey));
    EXPECT_EQ(settings->appkey(), kKey);
    EXPECT_EQ(settings->channel(), "Test Channel");
    EXPECT_EQ(settings->debugkey(), "dbg-key") << "stored ten minutes ago with one hour to live";
    EXPECT_EQ(ZVUtils::componentFlags(), "czaoi");
    EXPECT_EQ(version("i_ver"), "1.2.0");
    EXPECT_EQ(version("c_ver"), "1.5.6");
    EXPECT_EQ(version("z_ver"), "1.0.0");
    EXPECT_EQ(version("a_ver"), "7.3.5");
    EXPECT_EQ(zvtest::calls().count("initVUVuvev:channel:|" + std::string(kKey) + "|Test Channel"), 1u);
    EXPECT_EQ(zvtest::calls().count("startAnalyticsWithAppkey:|" + std::string(kKey)), 1u);
    EXPECT_EQ(zvtest::calls().count("setIsNothook:|0"), 1u);
    EXPECT_EQ(zvtest::calls().count("setBackstate:|0"), 1u);
    EXPECT_EQ(takeEvents(), std::vector<int32_t>{E_ZV_C_ZERO_ENVELOPE}) << "no zero key: no internal data";

    // A second call repeats only the switches: the first key and channel stay.
    ZVConfigure::initWithAppkey(Value(kOtherKey), Value("Other"));
    EXPECT_EQ(settings->appkey(), kKey);
    EXPECT_EQ(settings->channel(), "Test Channel");
    EXPECT_EQ(ZVConfigureCache::objectWithKey("appkey"), Value(kKey));
    EXPECT_EQ(zvtest::calls().count("setBackstate:"), 2u);
    EXPECT_EQ(zvtest::calls().count("initVUVuvev:channel:"), 1u);
    EXPECT_EQ(ZVUtils::componentFlags(), "czaoi");
    EXPECT_EQ(takeEvents(), std::vector<int32_t>{});
}

TEST(EntryLaunch, DISABLED_ExpiredDebugKeyAnalyticsOffZeroKeyHeld) {
    tapEvents();
    ZVConfigure::setAnalyticsEnabled(false);
    ZVConfigure::initWithAppkey(Value(kKey), Value(""));
    auto settings = ZVConfigureCache::sharedInstance();
    EXPECT_FALSE(settings->debugkey());
    for (const char* k : {"zvdk", "zvsendaging", "zvEndTime"}) EXPECT_TRUE(ZVConfigureCache::objectWithKey(k).isNull()) << k;
    EXPECT_EQ(ZVCommonLogManager::count("common_init_warn1"), 0u) << "the same key as last launch";
    EXPECT_EQ(ZVCommonLogManager::count("common_init_warn2"), 1u);
    EXPECT_EQ(settings->channel(), "App Store");
    EXPECT_EQ(ZVUtils::componentFlags(), "czoi");
    EXPECT_EQ(version("a_ver"), "(none)");
    EXPECT_EQ(zvtest::calls().count("startAnalyticsWithAppkey:"), 0u);
    // The zero envelope is still asked for; with the zero key held the internal data follows.
    EXPECT_EQ(takeEvents(), (std::vector<int32_t>{E_ZV_C_ZERO_ENVELOPE, E_ZV_C_INNER_DATA}));
    // With the zero key the device-identity module started.
    EXPECT_FALSE(ZVConfigure::getZavezZID().empty());
}

TEST(EntryLaunch, DISABLED_ConcurrentFirstCalls) {
    tapEvents();
    constexpr int kThreads = 8;
    std::barrier start(kThreads);
    std::vector<std::string> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            ZVConfigure::initWithAppkey(Value(i % 2 ? kKey : kOtherKey), Value("App Store"));
            seen[i] = ZVUtils::componentFlags();  // a caller returns only after the start-up
        });
    for (auto& t : threads) t.join();
    for (const auto& flags : seen) EXPECT_EQ(flags, "czaoi");
    EXPECT_EQ(zvtest::calls().count("initVUVuvev:channel:"), 1u);
    EXPECT_EQ(zvtest::calls().count("startAnalyticsWithAppkey:"), 1u);
    EXPECT_EQ(zvtest::calls().count("setBackstate:"), std::size_t(kThreads));
    EXPECT_EQ(takeEvents(), std::vector<int32_t>{E_ZV_C_ZERO_ENVELOPE});
}

TEST(AnalyticsEntry, LaunchesStartOnceEach) {
    struct Launch {
        const char* name;
        std::function<void()> before;
        const char* child;
    };
    const Launch launches[] = {
        {"first launch",
         [] {
             ZVConfigureCache::setObject(Value("key-of-an-earlier-version"), "appkey");
             storeDebugKey(10 * 60 * 1000);
         },
         "EntryLaunch.DISABLED_First"},
        {"after the debug key's hour, analytics off, zero key held",
         [] {
             storeDebugKey(3600000 + 1000);
             ZVConfigureCache::setObject(Value("YES"), "zvZeroKey");
         },
         "EntryLaunch.DISABLED_ExpiredDebugKeyAnalyticsOffZeroKeyHeld"},
        {"concurrent first calls",
         [] {
             for (const char* k : {"zvZeroKey", "zvdk", "zvsendaging", "zvEndTime"})
                 ZVConfigureCache::removeObjectForKey(k);
         },
         "EntryLaunch.DISABLED_ConcurrentFirstCalls"},
    };
    for (const Launch& l : launches) {
        SCOPED_TRACE(l.name);
        l.before();
        EXPECT_TRUE(zvtest::runAsNewLaunch(l.child)) << zvtest::childLog();
    }
}

// --- switches and calls by name (this process never starts up) ---

TEST(AnalyticsEntry, WrapperTypes) {
    auto settings = ZVConfigureCache::sharedInstance();
    EXPECT_EQ(settings->wraperType(), "native");
    EXPECT_EQ(settings->wraperVersion(), "");
    for (const char* type : {"unity", "Flutter", "native ", "", "Cocos2d-X"}) {
        SCOPED_TRACE(type);
        EXPECT_FALSE(ZVConfigure::setWraperType(type, "9.9"));
        EXPECT_EQ(settings->wraperType(), "native");
        EXPECT_EQ(settings->wraperVersion(), "");
    }
    for (const char* type : {"native", "Cocos2d-x", "Cocos2d-x_lua", "Unity", "react-native", "phonegap", "weex",
                             "hybrid", "flutter"}) {
        SCOPED_TRACE(type);
        EXPECT_TRUE(ZVConfigure::setWraperType(type, std::string("v-") + type));
        EXPECT_EQ(settings->wraperType(), type);
        EXPECT_EQ(settings->wraperVersion(), std::string("v-") + type);
    }
    // An empty version keeps the last one; by name the same.
    EXPECT_EQ(performClassSelector("ZVConfigure", "setWraperType:wrapperVersion:", {Value("Unity"), Value("")}),
              Value(true));
    EXPECT_EQ(settings->wraperType(), "Unity");
    EXPECT_EQ(settings->wraperVersion(), "v-flutter");
}

TEST(AnalyticsEntry, SwitchesAndCallsByName) {
    auto settings = ZVConfigureCache::sharedInstance();
    ZVConfigure::setEncryptEnabled(true);
    EXPECT_TRUE(settings->encryptEnabled());
    ZVConfigure::setEncryptEnabled(false);
    EXPECT_FALSE(settings->encryptEnabled());
    ZVConfigure::setAnalyticsEnabled(false);
    EXPECT_TRUE(settings->aEnabled()) << "stored negated";
    (void)performClassSelector("ZVConfigure", "setAnalyticsEnabled:", {Value(true)});
    EXPECT_FALSE(settings->aEnabled());

    zvtest::calls().take();
    ZVConfigure::setLogEnabled(true);
    EXPECT_TRUE(ZVHelper::sharedInstance()->logEnabled());
    EXPECT_EQ(zvtest::calls().take(), (std::vector<std::string>{"enableDebugLog:|1", "ZuzOzevo.setLogEnabled:|1"}));
    ZVConfigure::setAnalyticsEnabled(false);
    ZVConfigure::setLogEnabled(false);
    EXPECT_FALSE(ZVHelper::sharedInstance()->logEnabled());
    EXPECT_EQ(zvtest::calls().take(), std::vector<std::string>{"enableDebugLog:|0"}) << "analytics off: not the kit";
    ZVConfigure::setAnalyticsEnabled(true);

    // What the monitoring kit asks by name.
    ZVConfigureCache::removeObjectForKey("zvImprint");
    ZVConfigureCache::removeObjectForKey("zvZeroKey");
    EXPECT_EQ(performClassSelector("ZVConfigure", "zvidString"), Value());
    zvtest::storeImprint({{"zvid", "zv-1"}});
    EXPECT_EQ(performClassSelector("ZVConfigure", "zvidString"), Value("zv-1"));
    ZVConfigureCache::removeObjectForKey("zvImprint");
    const auto udid = performClassSelector("ZVConfigure", "deviceIDForIntegration");
    ASSERT_TRUE(udid && udid->isString());
    EXPECT_EQ(udid->asStdString(), ZVUtils::sharedUDIDString());
    EXPECT_EQ(performClassSelector("ZVConfigure", "getZavezZID"), Value("")) << "no zero key";
    EXPECT_TRUE(performClassSelector("ZVConfigure", "endZVBackgroundTask"));

    EXPECT_EQ(performClassSelector("ZVUtils", "accessString"), Value(ZVUtils::accessString()));
    EXPECT_EQ(performClassSelector("ZVUtils", "carrierString"), Value(ZVUtils::carrierString()));
    EXPECT_EQ(performClassSelector("ZVUtils", "accessSubType"), Value(ZVUtils::accessSubType()));
    EXPECT_EQ(performClassSelector("ZVUtils", "deviceJailBreakString"), Value("NO"));
    // A module tag reaches the engine as work event 522.
    zvtest::calls().take();
    (void)performClassSelector("ZVUtils", "setModuleTag:key:value:", {Value(int64_t(1)), Value("zv_ver"), Value("2.0")});
    zvtest::drainWorkQueue();
    EXPECT_EQ(zvtest::calls().take(), std::vector<std::string>{"workEvent:522"});
}
