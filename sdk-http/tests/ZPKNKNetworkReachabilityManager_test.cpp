// The kit's reachability manager: its own class and shared instance, the shared status
// logic, and reports on the main thread.

#include <gtest/gtest.h>

#include <networking/NKNetworkReachabilityManager.h>
#include <networking/NKNetworkingNotifications.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/NSException.h>
#include <sdk_http/ZPKNKNetworkReachabilityManager.h>

namespace {

TEST(ZPKNKNetworkReachabilityManager, OwnClassAndSharedInstance) {
    auto shared = ZPKNKNetworkReachabilityManager::sharedManager();
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared, ZPKNKNetworkReachabilityManager::sharedManager());
    EXPECT_NE(static_cast<NSObject*>(shared.get()),
              static_cast<NSObject*>(NKNetworkReachabilityManager::sharedManager().get()));
    EXPECT_EQ(shared->className(), "ZPKNKNetworkReachabilityManager");
    EXPECT_FALSE(shared->isKindOfClass(&NKNetworkReachabilityManager::classObject()));
    EXPECT_TRUE(shared->networkReachability());
    EXPECT_THROW(ZPKNKNetworkReachabilityManager(), NSException);
}

TEST(ZPKNKNetworkReachabilityManager, StartedManagerReportsOnTheMainThread) {
    auto manager = ZPKNKNetworkReachabilityManager::manager();
    EXPECT_EQ(manager->networkReachabilityStatus(), -1);
    EXPECT_FALSE(manager->isReachable());
    SCNetworkReachabilitySetFlagsOverride(manager->networkReachability(),
                                          kSCNetworkReachabilityFlagsReachable |
                                              kSCNetworkReachabilityFlagsConnectionRequired |
                                              kSCNetworkReachabilityFlagsConnectionOnTraffic);
    std::vector<int64_t> statuses;
    bool offMain = false;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        NKNetworkingReachabilityDidChangeNotification, Value(manager), nullptr, [&](const NSNotification& n) {
            offMain = offMain || !NSThread::isMainThread();
            statuses.push_back(
                n.userInfo().objectForKey(Value(NKNetworkingReachabilityNotificationStatusItem)).integerValue());
        });
    manager->startMonitoring();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return !statuses.empty(); }, 10));
    EXPECT_EQ(statuses.front(), NKNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WiFi");
    SCNetworkReachabilitySetFlagsOverride(manager->networkReachability(),
                                          kSCNetworkReachabilityFlagsReachable |
                                              kSCNetworkReachabilityFlagsConnectionRequired |
                                              kSCNetworkReachabilityFlagsInterventionRequired);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return statuses.back() == 0; }, 10));
    EXPECT_FALSE(manager->isReachable());
    EXPECT_FALSE(offMain);
    manager->stopMonitoring();
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

}  // namespace
