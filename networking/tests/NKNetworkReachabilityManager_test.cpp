#include <networking/NKNetworkReachabilityManager.h>
#include <networking/NKNetworkingNotifications.h>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/un.h>

#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/NSException.h>

#include "NKSessionTestSupport.h"

namespace {

TEST(NKNetworkReachabilityStatus, FromFlags) {
    struct Case {
        SCNetworkReachabilityFlags flags;
        int64_t status;
    } cases[] = {
        {0x0, 0},      {0x2, 2},  {0x40002, 1}, {0x6, 0},       {0xE, 2},  {0x2E, 2},
        {0x1E, 0},     {0x4000E, 1}, {0x40000, 0}, {0x26, 2},   {0x36, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NKNetworkReachabilityStatusForFlags(c.flags), c.status) << std::hex << c.flags;
    }
}

TEST(NKNetworkReachabilityStatus, Texts) {
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(-1), "Unknown");
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(0), "Not Reachable");
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(1), "Reachable via WWAN");
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(2), "Reachable via WiFi");
    EXPECT_EQ(NKStringFromNetworkReachabilityStatus(7), "Unknown");
}

TEST(NKNetworkReachabilityManager, FreshManagerIsUnknown) {
    auto manager = NKNetworkReachabilityManager::manager();
    ASSERT_TRUE(manager->networkReachability());
    EXPECT_EQ(manager->networkReachabilityStatus(), -1);
    EXPECT_FALSE(manager->isReachable());
    EXPECT_FALSE(manager->isReachableViaWWAN());
    EXPECT_FALSE(manager->isReachableViaWiFi());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Unknown");
    EXPECT_EQ(NKNetworkReachabilityManager::sharedManager(), NKNetworkReachabilityManager::sharedManager());
}

TEST(NKNetworkReachabilityManager, InitWithoutReferenceRaises) {
    try {
        NKNetworkReachabilityManager manager;
        FAIL() << "expected an exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "NSGenericException");
        EXPECT_EQ(e.reason(), "`-init` unavailable. Use `-initWithReachability:` instead");
    }
}

class Observer : public NSObject {
public:
    int changes = 0;
    void observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value&, void*) override {
        if (keyPath == "reachable") ++changes;
    }
};

TEST(NKNetworkReachabilityManager, ReachableKeyFollowsStatus) {
    auto manager = NKNetworkReachabilityManager::manager();
    auto observer = std::make_shared<Observer>();
    manager->addObserver(*observer, "reachable", NSKeyValueObservingOptionNew);
    manager->setNetworkReachabilityStatus(2);
    EXPECT_EQ(observer->changes, 1);
    EXPECT_TRUE(manager->isReachable());
    EXPECT_TRUE(manager->isReachableViaWiFi());
    manager->removeObserver(*observer, "reachable");
}

// Collects reachability notifications for one manager, checking each arrives on the main thread.
struct Recorder {
    std::vector<int64_t> statuses;
    bool offMain = false;
    std::shared_ptr<NSObject> token;
    explicit Recorder(const NKNetworkReachabilityManager::Ptr& manager) {
        token = NSNotificationCenter::defaultCenter()->addObserverForName(
            NKNetworkingReachabilityDidChangeNotification, Value(manager), nullptr, [this](const NSNotification& n) {
                if (!NSThread::isMainThread()) offMain = true;
                statuses.push_back(n.userInfo().objectForKey(Value(NKNetworkingReachabilityNotificationStatusItem)).integerValue());
            });
    }
    ~Recorder() { NSNotificationCenter::defaultCenter()->removeObserver(token); }
};

TEST(NKNetworkReachabilityManager, MonitoringReportsCurrentStateThenChanges) {
    auto manager = NKNetworkReachabilityManager::manager();
    SCNetworkReachabilitySetFlagsOverride(manager->networkReachability(), kSCNetworkReachabilityFlagsReachable);
    Recorder recorder(manager);
    std::vector<int64_t> blockStatuses;
    manager->setReachabilityStatusChangeBlock([&](int64_t status) { blockStatuses.push_back(status); });

    // Starting twice leaves one registration: one initial report each, one per change.
    manager->startMonitoring();
    manager->startMonitoring();
    ASSERT_TRUE(nktest::waitFor([&] { return recorder.statuses.size() >= 2; }));
    EXPECT_EQ(recorder.statuses, (std::vector<int64_t>{2, 2}));
    EXPECT_EQ(manager->networkReachabilityStatus(), 2);

    SCNetworkReachabilitySetFlagsOverride(manager->networkReachability(),
                                          kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
    ASSERT_TRUE(nktest::waitFor([&] { return recorder.statuses.size() >= 3; }));
    nktest::waitFor([] { return false; }, 0.2);  // a duplicate registration would report again
    EXPECT_EQ(recorder.statuses, (std::vector<int64_t>{2, 2, 1}));
    EXPECT_EQ(blockStatuses, recorder.statuses);
    EXPECT_EQ(manager->networkReachabilityStatus(), 1);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WWAN");
    EXPECT_FALSE(recorder.offMain);

    // Stopped: changes are no longer told, the status stays.
    manager->stopMonitoring();
    SCNetworkReachabilitySetFlagsOverride(manager->networkReachability(), 0);
    nktest::waitFor([] { return false; }, 0.2);
    EXPECT_EQ(recorder.statuses.size(), 3u);
    EXPECT_EQ(manager->networkReachabilityStatus(), 1);
}

TEST(NKNetworkReachabilityManager, WithoutReferenceNothingStarts) {
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;
    auto manager = NKNetworkReachabilityManager::managerForAddress(reinterpret_cast<struct sockaddr*>(&address));
    ASSERT_FALSE(manager->networkReachability());
    manager->startMonitoring();
    manager->stopMonitoring();
    EXPECT_EQ(manager->networkReachabilityStatus(), -1);
}

TEST(NKNetworkReachabilityManager, DomainManagerReportsAStatus) {
    auto manager = NKNetworkReachabilityManager::managerForDomain("localhost");
    ASSERT_TRUE(manager->networkReachability());
    Recorder recorder(manager);
    manager->startMonitoring();
    ASSERT_TRUE(nktest::waitFor([&] { return !recorder.statuses.empty(); }));
    EXPECT_NE(recorder.statuses.front(), -1);
    manager->stopMonitoring();
}

}  // namespace
