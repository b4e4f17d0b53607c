#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/ManualClock.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_dispatch/RunLoopObserver.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <chrono>

#include <string>
#include <thread>
#include <vector>

namespace {

class ManualClockTest : public ::testing::Test {
protected:
    void SetUp() override { ManualClock::install(); }
    void TearDown() override { ManualClock::uninstall(); }
};

dispatch_time_t in(double seconds) { return dispatch_time(DISPATCH_TIME_NOW, int64_t(seconds * NSEC_PER_SEC)); }

TEST_F(ManualClockTest, AdvanceFiresTimersAndAftersInTimeOrderDrainingTheMainQueueBetween) {
    std::vector<std::string> log;
    auto main = dispatch_get_main_queue();
    NSTimer::scheduledTimerWithTimeInterval(2.0, false, [&](auto&) {
        log.push_back("timer@2");
        // Work the timer hands on runs before later-dated work.
        dispatch_async(main, [&] { log.push_back("async from timer"); });
    });
    dispatch_after(in(3.2), main, [&] { log.push_back("after@3.2"); });
    dispatch_after(in(1.0), main, [&] { log.push_back("after@1"); });
    auto repeating = NSTimer::scheduledTimerWithTimeInterval(1.5, true, [&](auto&) { log.push_back("tick"); });

    ManualClock::advance(0.5);
    EXPECT_TRUE(log.empty());
    ManualClock::advance(3.0);
    std::vector<std::string> expected{"after@1", "tick", "timer@2", "async from timer", "tick", "after@3.2"};
    EXPECT_EQ(log, expected);
    repeating->invalidate();
}

TEST_F(ManualClockTest, TimersDueAtTheSameInstantFireInTheOrderTheyWereAdded) {
    // Made in one order, added in another: the firing order must be the
    // adding order, whatever the timers' places in memory.
    const std::vector<int> addOrder{5, 0, 7, 2, 6, 1, 4, 3};
    std::vector<int> fired;
    std::vector<std::shared_ptr<NSTimer>> timers;
    for (int i = 0; i < 8; ++i)
        timers.push_back(NSTimer::timerWithTimeInterval(1.0, false, [&fired, i](auto&) { fired.push_back(i); }));
    auto loop = NSRunLoop::mainRunLoop();
    for (int i : addOrder) loop->addTimer(timers[i], NSDefaultRunLoopMode);
    // Adding one again in another mode keeps its first place.
    loop->addTimer(timers[5], NSRunLoopCommonModes);
    // All due at the same manual instant (each was dated when it was made).
    NSDate due = NSDate::dateWithTimeIntervalSinceNow(1.0);
    for (auto& timer : timers) timer->setFireDate(due);
    ManualClock::advance(1.0);
    EXPECT_EQ(fired, addOrder);
}

TEST_F(ManualClockTest, TimersMadeApartInRealTimeAreDueAtTheSameManualInstant) {
    // Real time passing between making and adding a timer must not date it earlier: the two
    // are due together, so they fire in the order they were added.
    std::vector<int> fired;
    auto first = NSTimer::timerWithTimeInterval(1.0, false, [&fired](auto&) { fired.push_back(1); });
    const auto made = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - made < std::chrono::milliseconds(2)) std::this_thread::yield();
    auto second = NSTimer::timerWithTimeInterval(1.0, false, [&fired](auto&) { fired.push_back(2); });
    auto loop = NSRunLoop::mainRunLoop();
    loop->addTimer(second, NSDefaultRunLoopMode);
    loop->addTimer(first, NSDefaultRunLoopMode);
    ManualClock::advance(0.999);
    EXPECT_TRUE(fired.empty());
    ManualClock::advance(0.001);
    EXPECT_EQ(fired, (std::vector<int>{2, 1}));
}

TEST_F(ManualClockTest, NSDateAndMediaTimeFollowTheManualClockOnly) {
    NSDate start = NSDate::date();
    double media = ManualClock::mediaTime();
    std::this_thread::yield();
    EXPECT_EQ(NSDate::date(), start);
    ManualClock::advance(10);
    EXPECT_DOUBLE_EQ(NSDate::date().timeIntervalSinceDate(start), 10);
    EXPECT_NEAR(ManualClock::mediaTime() - media, 10, 1e-6);
}

TEST_F(ManualClockTest, ATimerInsideAnAfterIsDatedFromTheAftersTime) {
    std::vector<double> firedAt;
    double origin = ManualClock::mediaTime();
    dispatch_after(in(1.0), dispatch_get_main_queue(), [&] {
        NSTimer::scheduledTimerWithTimeInterval(1.0, false, [&](auto&) {
            firedAt.push_back(ManualClock::mediaTime() - origin);
        });
    });
    ManualClock::advance(5);
    ASSERT_EQ(firedAt.size(), 1u);
    // dispatch_time counts from the real clock: the call itself may take a moment.
    EXPECT_NEAR(firedAt[0], 2.0, 0.05);
}

TEST_F(ManualClockTest, RealTimeNeverFiresManualWork) {
    bool fired = false;
    NSTimer::scheduledTimerWithTimeInterval(0.001, false, [&](auto&) { fired = true; });
    dispatch_after(in(0.001), dispatch_get_main_queue(), [&] { fired = true; });
    bool marker = false;
    // A block on a background queue ends the real-time spin.
    dispatch_after(in(0.05), dispatch_get_global_queue(0, 0), [&] {
        dispatch_async(dispatch_get_main_queue(), [&] { marker = true; });
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return marker; }, 10));
    EXPECT_FALSE(fired);
    ManualClock::advance(0.001);
    EXPECT_TRUE(fired);
}

TEST(ManualClock, UninstallHandsPendingWorkBackToRealTime) {
    bool timerFired = false, afterFired = false;
    {
        ManualClock::Scope scope;
        NSTimer::scheduledTimerWithTimeInterval(0.01, false, [&](auto&) { timerFired = true; });
        dispatch_after(in(0.01), dispatch_get_main_queue(), [&] { afterFired = true; });
    }
    EXPECT_FALSE(ManualClock::isInstalled());
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return timerFired && afterFired; }, 10));
}

TEST(ManualClock, AdvanceWithoutInstallingOrOffTheMainThreadIsRefused) {
    EXPECT_THROW(ManualClock::advance(1), std::logic_error);
    ManualClock::Scope scope;
    bool threw = false;
    std::thread([&] {
        try {
            ManualClock::advance(1);
        } catch (const std::logic_error&) {
            threw = true;
        }
    }).join();
    EXPECT_TRUE(threw);
}

TEST(RunLoopObserver, ObserversSeeTheTurnInOrderAndBeforeWaitingOnlyWhenIdle) {
    auto loop = NSRunLoop::mainRunLoop();
    std::vector<std::string> log;
    auto late = std::make_shared<RunLoopObserver>(kCFRunLoopBeforeWaiting | kCFRunLoopExit, true, 100,
                                                  [&](CFRunLoopActivity a) {
                                                      log.push_back(a == kCFRunLoopExit ? "late exit" : "late wait");
                                                  });
    auto early = std::make_shared<RunLoopObserver>(kCFRunLoopBeforeWaiting | kCFRunLoopAfterWaiting, true, -5,
                                                   [&](CFRunLoopActivity a) {
                                                       log.push_back(a == kCFRunLoopBeforeWaiting ? "early wait"
                                                                                                   : "early woke");
                                                   });
    loop->addObserver(late, NSRunLoopCommonModes);
    loop->addObserver(early, NSDefaultRunLoopMode);

    // A turn with work returns without waiting.
    dispatch_async(dispatch_get_main_queue(), [&] { log.push_back("block"); });
    EXPECT_TRUE(loop->runMode(NSDefaultRunLoopMode, NSDate::dateWithTimeIntervalSinceNow(1)));
    EXPECT_EQ(log, (std::vector<std::string>{"block", "late exit"}));

    // An idle turn announces the wait, then the wake-up.
    log.clear();
    dispatch_after(in(0.01), dispatch_get_global_queue(0, 0),
                   [loop] { dispatch_async(dispatch_get_main_queue(), [] {}); });
    EXPECT_TRUE(loop->runMode(NSDefaultRunLoopMode, NSDate::dateWithTimeIntervalSinceNow(10)));
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "early wait");
    EXPECT_EQ(log[1], "late wait");
    EXPECT_EQ(log[2], "early woke");
    EXPECT_EQ(log.back(), "late exit");

    // Other modes do not see default-mode observers; invalid ones are dropped.
    log.clear();
    early->invalidate();
    loop->removeObserver(late, NSRunLoopCommonModes);
    dispatch_async(dispatch_get_main_queue(), [] {});
    loop->runMode(NSDefaultRunLoopMode, NSDate::dateWithTimeIntervalSinceNow(1));
    EXPECT_TRUE(log.empty());
}

TEST(RunLoopObserver, ANonRepeatingObserverRunsOnce) {
    auto loop = NSRunLoop::mainRunLoop();
    int calls = 0;
    auto once = std::make_shared<RunLoopObserver>(kCFRunLoopExit, false, 0, [&](CFRunLoopActivity) { ++calls; });
    loop->addObserver(once, NSDefaultRunLoopMode);
    for (int i = 0; i < 3; ++i) loop->runModeUntil(NSDefaultRunLoopMode, std::chrono::steady_clock::now());
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(once->isValid());
}

}  // namespace
