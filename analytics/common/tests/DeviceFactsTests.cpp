// Device, network, carrier and identifier facts and the SDK helpers, with clock, locale,
// carrier, machine, interfaces and zone injected; probes against statvfs and /proc/meminfo
// read here.

#include <analytics_common/ZVBuildPayload.h>
#include <analytics_common/ZVConfigManager.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVInternalUtil.h>
#include <analytics_common/ZVThriftCodec.h>
#include <analytics_common/ZVUtils.h>

#include <chrono>
#include <fstream>
#include <sys/statvfs.h>
#include <sys/stat.h>
#include <arpa/inet.h>

#include <gtest/gtest.h>
#include <platform_foundation/NSLocale.h>
#include <platform_foundation/NSTimeZone.h>
#include <platform_foundation/Sandbox.h>
#include <platform_kernel/Sysctl.h>
#include <platform_net/NetworkInterfaces.h>
#include <platform_system/ASIdentifierManager.h>
#include <platform_system/CTTelephonyNetworkInfo.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include "AnalyticsTestSupport.h"
#include "ZVCommonLogManagerRecorder.h"
#include "ZVTestHooks.h"

namespace {

void setMachine(const std::string& machine) {
    sysctlSetOverrideForTesting("hw.machine", std::vector<unsigned char>(machine.begin(), machine.end() + 1));
}

using zvtest::storeImprint;

std::shared_ptr<CTCarrier> carrier(const char* name, const char* mcc, const char* mnc) {
    auto c = std::make_shared<CTCarrier>();
    c->carrierName = name;
    c->mobileCountryCode = mcc;
    c->mobileNetworkCode = mnc;
    return c;
}

uint64_t meminfo(const std::string& key) {
    std::ifstream in("/proc/meminfo");
    std::string k;
    uint64_t v;
    std::string unit;
    while (in >> k >> v >> unit)
        if (k == key + ":") return v * 1024;
    return 0;
}

}  // namespace

TEST(DeviceFacts, AccessStatusFromMachineAndInterfaces) {
    struct Case {
        const char* name;
        std::string machine;
        std::vector<NetworkInterface> interfaces;
        int32_t status;
        std::string text;
    };
    const std::vector<Case> cases{
        {"simulator machine", "x86_64", {}, 1, "WiFi"},
        {"i386", "i386", {}, 1, "WiFi"},
        {"wifi", "iPhone12,1", {{"lo0", true, true, true}, {"en0", true, false, false}}, 1, "WiFi"},
        {"cellular", "iPhone12,1", {{"pdp_ip0", true, false, false}}, 2, "CellNetwork"},
        {"both prefers wifi", "iPhone12,1", {{"pdp_ip0", true, false, false}, {"en0", false, true, false}}, 1, "WiFi"},
        {"loopback only", "iPhone12,1", {{"lo0", true, true, true}}, 0, ""},
        {"other interfaces", "iPhone12,1", {{"docker0", true, false, false}}, 0, ""},
        {"no address", "iPhone12,1", {{"en0", false, false, false}}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setMachine(c.machine);
        setNetworkInterfaceListForTesting(c.interfaces);
        EXPECT_EQ(ZVUtils::accessStatus(), c.status);
        EXPECT_EQ(ZVUtils::accessString(), c.text);
    }
    sysctlResetOverridesForTesting();
    setNetworkInterfaceListForTesting(std::nullopt);
    EXPECT_EQ(ZVUtils::deviceModelString(), "x86_64");
}

TEST(DeviceFacts, TimeZonesTruncateTowardZero) {
    struct Case {
        const char* zone;
        int32_t hours;
    };
    for (const Case& c : {Case{"Asia/Kolkata", 5}, Case{"America/St_Johns", -3}, Case{"UTC", 0}}) {
        SCOPED_TRACE(c.zone);
        ::setenv("TZ", c.zone, 1);
        NSTimeZone::resetSystemTimeZone();
        // St John's is -3:30 outside summer time and -2:30 in it.
        const int32_t expected =
            std::string(c.zone) == "America/St_Johns" && NSTimeZone::systemTimeZone()->isDaylightSavingTime() ? -2
                                                                                                            : c.hours;
        EXPECT_EQ(ZVUtils::timezone(), expected);
        EXPECT_EQ(ZVUtils::timezoneString(), std::to_string(expected));
    }
    ::unsetenv("TZ");
    NSTimeZone::resetSystemTimeZone();
    EXPECT_EQ(ZVUtils::dateString().size(), 10u);
}

TEST(DeviceFacts, DeviceTokens) {
    ZVCommonLogManager::take();
    ZVConfigureCache::setObject(Value(Value::Data(16, 0xab)), "kVAvevadaUserDefaultKeyForDeviceToken");
    EXPECT_EQ(ZVUtils::deviceToken(), "");
    EXPECT_EQ(ZVCommonLogManager::count("common_deviceToken_error1"), 1u);
    Value::Data token;
    for (int i = 0; i < 40; ++i) token.push_back(static_cast<uint8_t>(i));
    ZVConfigureCache::setObject(Value(token), "kVAvevadaUserDefaultKeyForDeviceToken");
    EXPECT_EQ(ZVUtils::deviceToken(), "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    ZVConfigureCache::removeObjectForKey("kVAvevadaUserDefaultKeyForDeviceToken");
    EXPECT_EQ(ZVUtils::deviceToken(), "");
}

TEST(DeviceFacts, CarrierAndOverseas) {
    EXPECT_EQ(ZVUtils::carrierString(), "");
    EXPECT_EQ(ZVUtils::accessSubType(), "unknown");
    NSLocale::setCurrentLocale(NSLocale::localeWithLocaleIdentifier("zh_CN"));
    EXPECT_FALSE(ZVHelper::isOverSeas());
    NSLocale::setCurrentLocale(NSLocale::localeWithLocaleIdentifier("en_GB"));
    EXPECT_TRUE(ZVHelper::isOverSeas());
    CTTelephonyNetworkInfo::setCarrierForTesting(carrier("Mobile", "460", "00"));
    CTTelephonyNetworkInfo::setRadioAccessTechnologyForTesting("CTRadioAccessTechnologyLTE");
    EXPECT_FALSE(ZVHelper::isOverSeas());
    EXPECT_EQ(ZVUtils::carrierString(), "Mobile");
    EXPECT_EQ(ZVUtils::mccString() + ZVUtils::mncString(), "46000");
    EXPECT_EQ(ZVUtils::accessSubType(), "LTE");
    CTTelephonyNetworkInfo::setRadioAccessTechnologyForTesting("Other");
    EXPECT_EQ(ZVUtils::accessSubType(), "Other");
    CTTelephonyNetworkInfo::setCarrierForTesting(carrier("Far", "310", "26"));
    EXPECT_TRUE(ZVHelper::isOverSeas());
    storeImprint({{"country", "cn"}});
    EXPECT_FALSE(ZVHelper::checkIsOverseas());
    storeImprint({{"country", "us"}});
    EXPECT_TRUE(ZVHelper::checkIsOverseas());
    CTTelephonyNetworkInfo::setCarrierForTesting(nullptr);
    CTTelephonyNetworkInfo::setRadioAccessTechnologyForTesting(std::nullopt);
    NSLocale::setCurrentLocale(nullptr);
    ZVConfigureCache::removeObjectForKey("zvImprint");
}

TEST(DeviceFacts, DefconPassByLevelAndLastPost) {
    auto builder = ZVEnvelopeBuild::sharedInstance();
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    struct Case {
        int32_t level;
        double hoursAgo;  // < 0: never posted
        bool pass;
    };
    const std::vector<Case> cases{{2, 8.01, true}, {2, 7, false}, {1, 4.01, true}, {1, 3.9, false},
                                  {3, 23, false},  {3, 24.01, true}, {0, 0.1, true}, {7, 0.1, true},
                                  {2, -1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.level) + " " + std::to_string(c.hoursAgo));
        builder->setDefcon(c.level);
        if (c.hoursAgo < 0) ZVConfigureCache::removeObjectForKey("lastPostInterval");
        else ZVConfigureCache::setObject(Value(now - c.hoursAgo * 3600), "lastPostInterval");
        EXPECT_EQ(ZVHelper::defconPass(), c.pass);
    }
    builder->setDefcon(0);
    EXPECT_EQ(ZVHelper::elapsedTimeFromLastPost(Value("x")), -1);
}

TEST(DeviceFacts, AppStateAndTextHelpers) {
    auto app = UIApplication::sharedApplication();
    app->finishLaunching();
    EXPECT_EQ(ZVHelper::getAppState(), 1);
    app->simulateResignActive();
    EXPECT_EQ(ZVHelper::getAppState(), 2);
    app->simulateEnterBackground();
    EXPECT_EQ(ZVHelper::getAppState(), 3);
    app->simulateEnterForeground();

    EXPECT_EQ(ZVHelper::arrayToAgStr(Value::array({"a", "", "b"})), "a!b");
    EXPECT_EQ(ZVHelper::arrayToAgStr(Value::array({"", "b", 5, "c"})), "!b!c");
    EXPECT_EQ(ZVHelper::arrayToAgStr(Value()), "");
    EXPECT_TRUE(ZVHelper::checkU48Character("0aZ"));
    EXPECT_FALSE(ZVHelper::checkU48Character("a/b"));
    EXPECT_FALSE(ZVHelper::checkU48Character(""));
    EXPECT_EQ(ZVHelper::trimUTF8String("", 5), "");
    EXPECT_EQ(ZVHelper::trimUTF8String("abc", 0), "");
    EXPECT_EQ(ZVHelper::trimUTF8String("abc", 5), "abc");
    const std::string trimmed = ZVHelper::trimUTF8String("中文中文中文", 7);
    EXPECT_LE(trimmed.size(), 7u);
    EXPECT_EQ(trimmed.size() % 3, 0u);  // whole characters
    EXPECT_EQ(ZVHelper::sdkVersionString(), "7.3.5");
}

TEST(DeviceFacts, VersionChangeRecord) {
    Value first = ZVHelper::preVersions("1.0");
    EXPECT_EQ(first.objectForKey("$pr_ve"), Value("0"));
    ZVConfigureCache::setObject(Value::dict({{"2.0", "1700000000.000000"}}), "zvaupdateVersion");
    Value second = ZVHelper::preVersions("2.0");
    EXPECT_EQ(second.objectForKey("$pr_ve"), Value("1.0"));
    EXPECT_EQ(second.objectForKey("$ud_da"), Value("1700000000.000000"));
    EXPECT_FALSE(ZVHelper::isCheckVersion("2.0"));
    Value again = ZVHelper::preVersions("2.0");
    EXPECT_EQ(again, second);
}

TEST(DeviceFacts, AdvertisingIdentifierOnlyWhileTheFieldIsOn) {
    zv_testing::resetIdentifierCaches();
    storeImprint({{"cfgfd", "1000@4096,10"}});  // header_idfa off
    ZVConfigManager::shareInstance()->updateServerConfig();
    const uint64_t before = ASIdentifierManager::advertisingIdentifierRequestCount();
    EXPECT_EQ(ZVUtils::idfa(), "");
    EXPECT_EQ(ZVUtils::zvfa(), "");
    EXPECT_EQ(ASIdentifierManager::advertisingIdentifierRequestCount(), before);
    storeImprint({{"cfgfd", "1000@4098,10"}});
    ZVConfigManager::shareInstance()->updateServerConfig();
    EXPECT_EQ(ZVUtils::idfa(), "00000000-0000-0000-0000-000000000000");
    EXPECT_EQ(ZVUtils::zvfa(), ZVUtils::idfa());
    EXPECT_GT(ASIdentifierManager::advertisingIdentifierRequestCount(), before);
    ZVConfigureCache::removeObjectForKey("zvImprint");
}

TEST(DeviceFacts, JailbreakProbe) {
    EXPECT_FALSE(ZVUtils::isDeviceJailBreak());  // the paths as written do not exist here
    const std::string probe = zvtest::root() + "/probe";
    ::mkdir(probe.c_str(), 0755);
    ::mkdir((probe + "/private").c_str(), 0755);
    zv_testing::setJailbreakProbeRoot(probe);
    EXPECT_TRUE(ZVUtils::isDeviceJailBreak());  // the write test succeeds under the root
    EXPECT_EQ(ZVUtils::deviceJailBreakString(), "YES");
    zv_testing::setJailbreakProbeRoot("");
    EXPECT_EQ(ZVUtils::deviceJailBreakString(), "NO");
}

TEST(DeviceProbes, SystemRecordHasElevenKeys) {
    const Value v2 = ZVInternalUtil::Value2();
    EXPECT_EQ(v2.count(), 11u);
    for (const char* key : {"tf", "s_fs", "st", "st_usec", "hn", "ts", "i_homd", "i_boud", "i_simu", "i_debu", "i_disp"})
        EXPECT_TRUE(v2.containsObject(Value(key))) << key;
    EXPECT_EQ(v2.objectForKey("tf"), Value(""));
    EXPECT_EQ(v2.objectForKey("i_simu"), Value(0));
    EXPECT_EQ(v2.objectForKey("s_fs"), Value(17));
    EXPECT_EQ(v2.objectForKey("i_debu"), Value(0));
    EXPECT_EQ(v2.objectForKey("i_homd"), Value(NSSandbox::homeDirectory()));
    EXPECT_EQ(v2.objectForKey("hn").asString().size(), 32u);
    EXPECT_EQ(v2.objectForKey("hn"), Value(ZVUtils::md5(Value(UIDevice::currentDevice()->name()))));
    EXPECT_GT(v2.objectForKey("st").integerValue(), 1000000000);
}

TEST(DeviceProbes, DiskAndMemoryAgainstTheSystem) {
    struct statvfs s;
    ASSERT_EQ(::statvfs(NSSandbox::homeDirectory().c_str(), &s), 0);
    const Value disk = ZVInternalUtil::Value1();
    EXPECT_EQ(disk.objectForKey("t").unsignedLongLongValue(), uint64_t(s.f_blocks) * s.f_frsize);
    const double freeDisk = double(s.f_bavail) * s.f_frsize;
    EXPECT_NEAR(disk.objectForKey("f").doubleValue(), freeDisk, freeDisk * 0.05 + 64e6);

    const Value memory = ZVInternalUtil::Value4();
    EXPECT_NEAR(memory.objectForKey("t").doubleValue(), double(meminfo("MemTotal")), double(meminfo("MemTotal")) * 0.01);
    const double expectedFree = double(meminfo("MemFree") + meminfo("Inactive"));
    EXPECT_NEAR(memory.objectForKey("f").doubleValue(), expectedFree, expectedFree * 0.2 + 256e6);
    EXPECT_GT(memory.objectForKey("ts").integerValue(), 0);
}

TEST(DeviceProbes, SharedInstanceAndReflectiveCalls) {
    EXPECT_EQ(ZVInternalUtil::sharedInstance(), ZVInternalUtil::allocWithZone());
    EXPECT_EQ(ZVInternalUtil::sharedInstance()->copyWithZone(), ZVInternalUtil::sharedInstance());
    NSObject plain;
    const ZVCMRotationRate rate = ZVInternalUtil::getrotationRateWithObj(&plain);
    EXPECT_EQ(rate.x + rate.y + rate.z, 0);
    EXPECT_FALSE(ZVInternalUtil::isGAvailable(&plain));
    EXPECT_EQ(ZVInternalUtil::Value8().count(), 0u);
    EXPECT_TRUE(ZVInternalUtil::Value3().isNull());
    in_addr a{};
    a.s_addr = htonl(0x7f000001);
    EXPECT_EQ(ZVInternalUtil::formatIPV4Address(&a), std::optional<std::string>("127.0.0.1"));
    ZVInternalUtil::sharedInstance()->appActivate();  // no key window: nothing attached
    EXPECT_FALSE(ZVInternalUtil::sharedInstance()->testTapRecognizer());
}

TEST(DeviceFacts, BatteryFromPowerSupplies) {
    const Value none = ZVUtils::batteryInfo();
    const std::string supply = zvtest::root() + "/power/BAT0";
    ::mkdir((zvtest::root() + "/power").c_str(), 0755);
    ::mkdir(supply.c_str(), 0755);
    std::ofstream(supply + "/type") << "Battery\n";
    std::ofstream(supply + "/capacity") << "57\n";
    std::ofstream(supply + "/status") << "Charging\n";
    UIDevice::setPowerSupplyRootForTesting(zvtest::root() + "/power");
    const Value info = ZVUtils::batteryInfo();
    EXPECT_EQ(info.objectForKey("le"), Value(57));
    EXPECT_EQ(info.objectForKey("st"), Value(1));
    EXPECT_FALSE(UIDevice::currentDevice()->isBatteryMonitoringEnabled());  // switched back off
    std::ofstream(supply + "/status") << "Full\n";
    EXPECT_EQ(ZVUtils::batteryInfo().objectForKey("st"), Value(2));
    UIDevice::setPowerSupplyRootForTesting(zvtest::root() + "/nothing");
    EXPECT_EQ(ZVUtils::batteryInfo().objectForKey("st"), Value(-1));
    EXPECT_EQ(ZVUtils::batteryInfo().objectForKey("le"), Value(-100));
    UIDevice::setPowerSupplyRootForTesting("");
    (void)none;
}

TEST(DeviceProbes, TapsOnTheKeyWindowAreRecorded) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    window->makeKeyAndVisible();
    auto util = ZVInternalUtil::sharedInstance();
    util->appActivate();
    ASSERT_TRUE(util->testTapRecognizer());
    UITouchInjection::tap(CGPointMake(100, 100), window.get());
    ASSERT_EQ(util->muttaparray().count(), 1u);
    EXPECT_GT(util->muttaparray()[0].integerValue(), 1600000000000);
}
