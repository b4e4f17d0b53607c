// The settings cache singleton following reachability and the app's active/inactive
// transitions, seen through a tap on the work events it sends.

#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVReachability.h>
#include <analytics_common/ZVSLNetworkWork.h>
#include <analytics_common/ZVWorkDispatch.h>

#include <gtest/gtest.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_kernel/Sysctl.h>
#include <platform_net/NetworkInterfaces.h>
#include <platform_uikit/UIApplication.h>

#include "AnalyticsTestSupport.h"

namespace {

std::mutex tapMutex;
std::vector<Value> tapped;  // contexts of the network-idle events

void installTap() {
    ZVWorkDispatch::setCommonEventHandler([](ZVWorkDispatch&, const ZVDispatchEvent& e, const auto&) {
        if (e.eEventType != E_ZV_C_NET_IDLE) return;
        std::lock_guard lock(tapMutex);
        tapped.push_back(e.object);
    });
}

std::vector<std::string> takeOrigins() {
    zvtest::drainWorkQueue();
    std::lock_guard lock(tapMutex);
    std::vector<std::string> out;
    for (const Value& v : tapped) out.push_back(std::string(v.objectForKey("zvIdleFrom").asString()));
    tapped.clear();
    return out;
}

void setNetwork(bool up) {
    // A device (not the simulator machine) whose interfaces decide.
    const std::string machine = "iPhone12,1";
    sysctlSetOverrideForTesting("hw.machine", std::vector<unsigned char>(machine.begin(), machine.end() + 1));
    if (up) setNetworkInterfaceListForTesting(std::vector<NetworkInterface>{{"en0", true, false, false}});
    else setNetworkInterfaceListForTesting(std::vector<NetworkInterface>{});
}

}  // namespace

TEST(SettingsCacheHooks, ReachabilityAndActivationSendNetworkIdleEvents) {
    installTap();
    // A waiting stateless envelope makes each flush queue an upload operation.
    const Value::Data body{1};
    ASSERT_TRUE(ZVFileUtility::saveData(&body, ZVFileUtility::generateEnvelopeNamePrefixPathURL("p", "1", "/x")));
    std::atomic<int> uploads{0};
    ZVSLNetworkWork::setUploader([&uploads](ZVSLNetworkWork& work) {
        if (work.envelopeFilePaths().count() == 1) ++uploads;
    });

    auto cache = ZVConfigureCache::sharedInstance();
    auto reachability = cache->internetReachability();
    ASSERT_TRUE(reachability);
    const bool connected = reachability->currentReachabilityStatus() != 0;
    EXPECT_EQ(takeOrigins(), connected ? std::vector<std::string>{"zvReachability"} : std::vector<std::string>{});
    cache->slnetworkerQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(uploads.load(), connected ? 1 : 0);
    EXPECT_EQ(cache->channel(), "App Store");
    EXPECT_EQ(cache->wraperType(), "native");

    // Reachability changes arrive on the main run loop.
    std::vector<Value> posted;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        kZVReachabilityChangedNotificationFromZVCommon, Value(), nullptr,
        [&posted](const NSNotification& n) { posted.push_back(n.object()); });
    SCNetworkReachabilitySetFlagsOverride(reachability->reachabilityRef(), kSCNetworkReachabilityFlagsReachable |
                                                                               kSCNetworkReachabilityFlagsIsWWAN);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !posted.empty(); }, 30));
    EXPECT_EQ(posted.back(), Value(2));
    EXPECT_EQ(cache->eNetStatus(), 2);
    EXPECT_EQ(takeOrigins(), std::vector<std::string>{"zvReachability"});
    SCNetworkReachabilitySetFlagsOverride(reachability->reachabilityRef(), 0);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return posted.size() >= 2; }, 30));
    EXPECT_EQ(posted.back(), Value(0));
    EXPECT_EQ(cache->eNetStatus(), 0);
    EXPECT_TRUE(takeOrigins().empty());
    NSNotificationCenter::defaultCenter()->removeObserver(token);

    // Resign-active opens one background task; becoming active ends it and, with a
    // network, sends work and flushes the stateless files.
    auto app = UIApplication::sharedApplication();
    app->finishLaunching();
    (void)takeOrigins();
    setNetwork(true);
    // Uploads queued by the reachability change and the launch count before this point.
    cache->slnetworkerQueue()->waitUntilAllOperationsAreFinished();
    const int uploadsBefore = uploads.load();
    app->simulateResignActive();
    EXPECT_NE(cache->backgroundTaskID(), UIBackgroundTaskInvalid);
    EXPECT_EQ(app->openBackgroundTaskCount(), 1u);
    cache->beginBackgroundTask();  // one task at a time
    EXPECT_EQ(app->openBackgroundTaskCount(), 1u);
    app->simulateEnterBackground();
    app->simulateEnterForeground();
    EXPECT_EQ(cache->backgroundTaskID(), UIBackgroundTaskInvalid);
    EXPECT_EQ(app->openBackgroundTaskCount(), 0u);
    EXPECT_EQ(takeOrigins(), std::vector<std::string>{"zvAppActivate"});
    cache->slnetworkerQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(uploads.load(), uploadsBefore + 1);

    // Without a network: the task still ends, nothing is sent.
    setNetwork(false);
    app->simulateEnterBackground();
    app->simulateEnterForeground();
    EXPECT_EQ(cache->backgroundTaskID(), UIBackgroundTaskInvalid);
    EXPECT_TRUE(takeOrigins().empty());
    cache->slnetworkerQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(uploads.load(), uploadsBefore + 1);

    // The platform expiring the task ends it through the handler.
    app->simulateResignActive();
    ASSERT_NE(cache->backgroundTaskID(), UIBackgroundTaskInvalid);
    app->expireBackgroundTasksForTesting();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return cache->backgroundTaskID() == UIBackgroundTaskInvalid; }, 30));
    EXPECT_EQ(app->openBackgroundTaskCount(), 0u);

    sysctlResetOverridesForTesting();
    setNetworkInterfaceListForTesting(std::nullopt);
    ZVWorkDispatch::setCommonEventHandler(nullptr);
    ZVSLNetworkWork::setUploader(nullptr);
}
