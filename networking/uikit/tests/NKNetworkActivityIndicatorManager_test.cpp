#include <networking_uikit/NKNetworkActivityIndicatorManager.h>

#include <gtest/gtest.h>

#include <vector>

#include <networking/NKNetworkingNotifications.h>
#include <platform_dispatch/ManualClock.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLSession.h>
#include <platform_uikit/UIApplication.h>

namespace {

// The indicator's timeline on the manual clock. Task notifications are posted by hand with
// never-resumed tasks as senders, so nothing touches the network.
class ActivityIndicatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = NKNetworkActivityIndicatorManager::create();
        manager->setNetworkingActivityActionWithBlock([this](bool visible) { shown.push_back(visible); });
        manager->setEnabled(true);
    }
    void TearDown() override { session->invalidateAndCancel(); }
    NSURLSessionDataTaskPtr task(const char* url = "http://127.0.0.1:9/a") {
        return session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(url)));
    }
    static void post(const char* name, const Value& sender) {
        NSNotificationCenter::defaultCenter()->postNotificationName(name, sender);
        drain();
    }
    static void start(const NSURLSessionTaskPtr& t) { post(NKNetworkingTaskDidResumeNotification, Value(t)); }
    static void finish(const NSURLSessionTaskPtr& t) { post(NKNetworkingTaskDidCompleteNotification, Value(t)); }
    // Runs the main-queue state updates the counters scheduled.
    static void drain() { ManualClock::advance(0); }

    ManualClock::Scope clock;
    NSURLSessionPtr session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    NKNetworkActivityIndicatorManager::Ptr manager;
    std::vector<bool> shown;
};

TEST_F(ActivityIndicatorTest, ShowsAfterTheActivationDelayAndHidesAfterTheCompletionDelay) {
    auto t = task();
    start(t);
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateDelayingStart);
    ManualClock::advance(0.99);
    EXPECT_TRUE(shown.empty());
    ManualClock::advance(0.02);
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateActive);
    EXPECT_EQ(shown, std::vector<bool>{true});
    finish(t);
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateDelayingEnd);
    EXPECT_TRUE(manager->isNetworkActivityIndicatorVisible());
    ManualClock::advance(0.16);
    EXPECT_EQ(shown, std::vector<bool>{true});
    ManualClock::advance(0.02);
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateNotActive);
    EXPECT_EQ(shown, (std::vector<bool>{true, false}));
}

TEST_F(ActivityIndicatorTest, ARequestShorterThanTheActivationDelayNeverShows) {
    auto t = task();
    start(t);
    ManualClock::advance(0.5);
    finish(t);
    ManualClock::advance(2);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateNotActive);
}

TEST_F(ActivityIndicatorTest, ANewRequestWithinTheCompletionDelayKeepsItShown) {
    auto a = task(), b = task();
    start(a);
    ManualClock::advance(1.0);
    finish(a);
    ManualClock::advance(0.1);
    start(b);
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateActive);
    ManualClock::advance(1);
    EXPECT_EQ(shown, std::vector<bool>{true});  // no gap
    finish(b);
    ManualClock::advance(0.2);
    EXPECT_EQ(shown, (std::vector<bool>{true, false}));
}

TEST_F(ActivityIndicatorTest, SuspendCountsAsFinishAndResumeAsANewStart) {
    auto t = task();
    start(t);
    post(NKNetworkingTaskDidSuspendNotification, Value(t));
    EXPECT_EQ(manager->activityCount(), 0);
    start(t);
    EXPECT_EQ(manager->activityCount(), 1);
}

TEST_F(ActivityIndicatorTest, SendersWithoutARequestURLAndUnmatchedFinishesChangeNothing) {
    struct Case {
        const char* name;
        Value sender;
    } cases[] = {
        {"no sender", Value()},
        {"not a task", Value(std::make_shared<NSObject>())},
        {"request without URL", Value(session->dataTaskWithRequest(std::make_shared<NSURLRequest>(nullptr)))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        post(NKNetworkingTaskDidResumeNotification, c.sender);
        EXPECT_EQ(manager->activityCount(), 0);
    }
    finish(task());
    EXPECT_EQ(manager->activityCount(), 0);
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateNotActive);
}

TEST_F(ActivityIndicatorTest, WhileDisabledCountsMoveButTheIndicatorStaysOff) {
    manager->setEnabled(false);
    auto t = task();
    start(t);
    EXPECT_EQ(manager->activityCount(), 1);
    ManualClock::advance(2);
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateNotActive);
    EXPECT_TRUE(shown.empty());
}

TEST_F(ActivityIndicatorTest, DisablingWhileShownHidesAtOnce) {
    start(task());
    ManualClock::advance(1.0);
    ASSERT_EQ(shown, std::vector<bool>{true});
    manager->setEnabled(false);
    EXPECT_EQ(shown, (std::vector<bool>{true, false}));
    EXPECT_EQ(manager->currentState(), NKNetworkActivityManagerStateNotActive);
}

TEST_F(ActivityIndicatorTest, WithoutACallbackTheApplicationsIndicatorFollows) {
    manager->setNetworkingActivityActionWithBlock(nullptr);
    auto app = UIApplication::sharedApplication();
    app->setNetworkActivityIndicatorVisible(false);
    auto t = task();
    start(t);
    ManualClock::advance(1.0);
    EXPECT_TRUE(app->isNetworkActivityIndicatorVisible());
    finish(t);
    ManualClock::advance(0.17);
    EXPECT_FALSE(app->isNetworkActivityIndicatorVisible());
    EXPECT_TRUE(shown.empty());
}

// The counters are public and may move from any thread.
TEST_F(ActivityIndicatorTest, CountersMoveFromOtherThreads) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([this] {
            for (int k = 0; k < 1000; ++k) manager->incrementActivityCount();
            for (int k = 0; k < 1000; ++k) manager->decrementActivityCount();
        });
    for (auto& t : threads) t.join();
    drain();
    EXPECT_EQ(manager->activityCount(), 0);
    EXPECT_FALSE(manager->isNetworkActivityOccurring());
}

}  // namespace
