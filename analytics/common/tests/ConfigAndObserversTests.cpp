// Collection permissions from "cfgfd", the imprint observer registry and the reachability
// status table.

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVConfigManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVImprintObserverManager.h>
#include <analytics_common/ZVReachability.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVThriftCodec.h>
#include <platform_foundation/NSDataFile.h>

#include <gtest/gtest.h>

#include "AnalyticsTestSupport.h"

namespace {

using zvtest::storeImprint;

}  // namespace

TEST(ConfigManager, ParsesTheMasksOfCfgfd) {
    struct Case {
        const char* text;
        std::map<std::string, bool> expected;  // empty: an empty table
    };
    const std::vector<Case> cases{
        {"1000@4098,10",
         {{"header_idfa", true}, {"header_idfv", false}, {"header_zdid", false}, {"header_is_jailbroken", true},
          {"inner_winfo", true}, {"inner_lbs", true}}},
        {"1000@0,0",
         {{"header_idfa", false}, {"header_idfv", false}, {"header_zdid", false}, {"header_is_jailbroken", false},
          {"inner_winfo", false}, {"inner_lbs", false}}},
        {"2000@22,8@extra,ignored",
         {{"header_idfa", true}, {"header_idfv", true}, {"header_zdid", true}, {"header_is_jailbroken", false},
          {"inner_winfo", false}, {"inner_lbs", true}}},
        {"999@4098,10", {}},
        {"1000@6", {}},
        {"1000@", {}},
        {"1000", {}},
        {"", {}},
        {"abc@x,y", {}},
        {"1000@-5,10", {}},
        {"@4098,10", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Value table = ZVConfigManager::parseConfigString(Value(c.text));
        ASSERT_EQ(table.count(), c.expected.size());
        for (const auto& [field, on] : c.expected) EXPECT_EQ(table.objectForKey(field), Value(on)) << field;
    }
    EXPECT_EQ(ZVConfigManager::parseConfigString(Value()).count(), 0u);
}

TEST(ConfigManager, ServerTableGatesFieldsAndSurvivesANewLaunch) {
    EXPECT_FALSE(ZVConfigManager::isValidField(""));
    EXPECT_TRUE(ZVConfigManager::isValidField("header_idfa"));  // nothing from the server yet
    storeImprint({{"cfgfd", "1000@4098,10"}});
    ZVConfigManager().updateServerConfig();
    EXPECT_TRUE(ZVConfigManager::isValidField("header_idfa"));
    EXPECT_FALSE(ZVConfigManager::isValidField("header_idfv"));
    EXPECT_FALSE(ZVConfigManager::isValidField("header_zdid"));
    EXPECT_TRUE(ZVConfigManager::isValidField("unknown_field"));
    EXPECT_TRUE(zvtest::runAsNewLaunch("ConfigManager.DISABLED_SecondLaunchSeesTheStoredTable"));

    // A malformed value replaces the file with an empty table but leaves memory alone.
    storeImprint({{"cfgfd", "999@4098,10"}});
    ZVConfigManager::shareInstance()->updateServerConfig();
    EXPECT_FALSE(ZVConfigManager::isValidField("header_idfv"));
    EXPECT_EQ(ZVConfigManager::shareInstance()->readServerConfig().count(), 0u);
    EXPECT_EQ(ZVConfigManager::shareInstance()->readLocalConfig().count(), 6u);
}

TEST(ConfigManager, DISABLED_SecondLaunchSeesTheStoredTable) {
    EXPECT_FALSE(ZVConfigManager::isValidField("header_idfv"));
    EXPECT_TRUE(ZVConfigManager::isValidField("header_is_jailbroken"));
}

TEST(ConfigManager, UnreadableServerFileCountsAsAbsent) {
    ZVConfigManager manager;
    const std::string path = ZVFileUtility::zavezDirectory() + "/zvconfig/serverConfig";
    ASSERT_TRUE(NSDataFile::writeStringToFile("not an archive", path, true));
    EXPECT_TRUE(manager.readServerConfig().isNull());
    manager.saveServerConfig(Value("not a dictionary"));
    EXPECT_TRUE(manager.readServerConfig().isNull());
}

namespace {
struct Recorder : ZVImprintObserverProtocol {
    explicit Recorder(bool implements = true) : implements(implements) {}
    bool respondsToImprintObserve() const override { return implements; }
    void imprintObserveValueForImprintKey(const std::string& key, const Value& n, const Value& o) override {
        calls.push_back({key, n, o});
    }
    bool implements;
    struct Call {
        std::string key;
        Value newValue, oldValue;
    };
    std::vector<Call> calls;
};
}  // namespace

TEST(ImprintObservers, RegistrationTable) {
    auto registry = std::make_shared<ZVImprintObserverManager>();
    auto a = std::make_shared<Recorder>(), b = std::make_shared<Recorder>(), silent = std::make_shared<Recorder>(false);
    const std::string key = "report_interval", other = "defcon";
    EXPECT_FALSE(registry->existImprintObserver());
    EXPECT_FALSE(registry->registerImprintKey(nullptr, a));
    EXPECT_FALSE(registry->registerImprintKey(&key, nullptr));
    EXPECT_TRUE(registry->registerImprintKey(&key, a));
    EXPECT_TRUE(registry->registerImprintKey(&key, a));  // once per key
    EXPECT_TRUE(registry->registerImprintKey(&key, silent));
    EXPECT_TRUE(registry->registerImprintKey(&key, b));
    EXPECT_TRUE(registry->existImprintObserver());
    registry->processImprintKey(key, Value("90"), Value());
    registry->processImprintKey(other, Value("1"), Value("0"));
    ASSERT_EQ(a->calls.size(), 1u);
    EXPECT_EQ(a->calls[0].newValue, Value("90"));
    EXPECT_TRUE(a->calls[0].oldValue.isNull());
    EXPECT_EQ(b->calls.size(), 1u);
    EXPECT_TRUE(silent->calls.empty());
    EXPECT_TRUE(registry->unregisterImprintKey(&other, a));  // never registered there
    EXPECT_TRUE(registry->unregisterImprintKey(&key, a));
    EXPECT_TRUE(registry->unregisterImprintKey(&key, silent));
    EXPECT_TRUE(registry->unregisterImprintKey(&key, b));
    EXPECT_FALSE(registry->existImprintObserver());
    EXPECT_FALSE(ZVImprintObserverManager::existObserver(a, nullptr));
}

TEST(Reachability, StatusOfFlags) {
    struct Case {
        SCNetworkReachabilityFlags flags;
        int64_t status;
    };
    const std::vector<Case> cases{{0x2, 1}, {0x6, 0}, {0xE, 1}, {0x1E, 0}, {0x40002, 2}, {0x26, 1},
                                  {0x36, 0}, {0x0, 0}, {0x40000, 0}, {0xFFFD, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(ZVReachability::networkStatusForFlags(c.flags), c.status);
    }
}

TEST(Reachability, OverriddenTargetAndHarmlessStop) {
    auto r = ZVReachability::reachabilityForInternetConnection();
    ASSERT_TRUE(r);
    r->stopNotifier();  // never scheduled
    SCNetworkReachabilitySetFlagsOverride(r->reachabilityRef(), kSCNetworkReachabilityFlagsReachable |
                                                                    kSCNetworkReachabilityFlagsConnectionRequired);
    EXPECT_EQ(r->currentReachabilityStatus(), 0);
    EXPECT_TRUE(r->connectionRequired());
    SCNetworkReachabilitySetFlagsOverride(r->reachabilityRef(), kSCNetworkReachabilityFlagsReachable |
                                                                    kSCNetworkReachabilityFlagsIsWWAN);
    EXPECT_EQ(r->currentReachabilityStatus(), 2);
    EXPECT_FALSE(ZVReachability::reachabilityWithHostName(""));
}
