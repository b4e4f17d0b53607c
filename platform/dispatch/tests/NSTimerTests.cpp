#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr double kTimeout = 5.0;
using Clock = std::chrono::steady_clock;

// Spins until a one-shot marker timer added after the fact has fired: any
// firing due before it has happened by then.
bool spinPast(double seconds) {
    bool marker = false;
    NSTimer::scheduledTimerWithTimeInterval(seconds, false, [&](auto&) { marker = true; });
    return spinMainRunLoopUntil([&] { return marker; }, kTimeout);
}

class Target : public NSObject {};

TEST(NSTimer, ARepeatingTimerFiresUntilInvalidatedAndNeverEarly) {
    int fired = 0;
    auto created = Clock::now();
    Clock::time_point firstFire{};
    auto timer = NSTimer::scheduledTimerWithTimeInterval(0.005, true, [&](const std::shared_ptr<NSTimer>& t) {
        if (++fired == 1) firstFire = Clock::now();
        if (fired == 3) t->invalidate();
    });
    EXPECT_TRUE(timer->isValid());
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 0.005);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired == 3; }, kTimeout));
    EXPECT_FALSE(timer->isValid());
    EXPECT_GE(firstFire - created, std::chrono::milliseconds(5));
    ASSERT_TRUE(spinPast(0.02));
    EXPECT_EQ(fired, 3);
}

TEST(NSTimer, AOneShotTimerFiresOnceThenIsInvalid) {
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(0.002, false, [&](auto&) { ++fired; });
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 0);  // one-shot timers report no interval
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired == 1; }, kTimeout));
    EXPECT_FALSE(timer->isValid());
    ASSERT_TRUE(spinPast(0.01));
    EXPECT_EQ(fired, 1);
}

TEST(NSTimer, TargetSelectorStyleCarriesUserInfoAndReleasesTheTargetOnInvalidate) {
    auto target = std::make_shared<Target>();
    std::weak_ptr<Target> weakTarget = target;
    Value seenInfo;
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(
        0.001, target,
        [&](const std::shared_ptr<NSTimer>& t) {
            seenInfo = t->userInfo();
            ++fired;
        },
        Value::dict({{"duration", 1.5}}), true);
    target.reset();
    EXPECT_FALSE(weakTarget.expired());  // the timer keeps its target
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired >= 1; }, kTimeout));
    EXPECT_EQ(seenInfo.objectForKey("duration").doubleValue(), 1.5);
    timer->invalidate();
    EXPECT_TRUE(weakTarget.expired());
    EXPECT_TRUE(timer->userInfo().isDictionary());
    // Timers travel as values too (a callback told "a timer or a number").
    Value boxed(timer);
    EXPECT_EQ(boxed.objectAs<NSTimer>(), timer);
    EXPECT_EQ(timer->className(), "NSTimer");
    EXPECT_TRUE(timer->isKindOfClass(&NSTimer::classObject()));
}

TEST(NSTimer, FireCallsTheBlockNowAndOnlyInvalidatesOneShotTimers) {
    struct Case {
        bool repeats;
        bool validAfter;
    };
    for (auto c : {Case{true, true}, Case{false, false}}) {
        SCOPED_TRACE(c.repeats ? "repeating" : "one-shot");
        int fired = 0;
        auto timer = NSTimer::timerWithTimeInterval(3600, c.repeats, [&](auto&) { ++fired; });
        timer->fire();
        EXPECT_EQ(fired, 1);
        EXPECT_EQ(timer->isValid(), c.validAfter);
        timer->invalidate();
        timer->fire();  // nothing once invalid
        EXPECT_EQ(fired, 1);
    }
}

TEST(NSTimer, SetFireDateMovesTheNextFiring) {
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(3600, true, [&](auto&) { ++fired; });
    EXPECT_NEAR(timer->fireDate().timeIntervalSinceNow(), 3600, 1);
    timer->setFireDate(NSDate::dateWithTimeIntervalSinceNow(0.005));
    EXPECT_NEAR(timer->fireDate().timeIntervalSinceNow(), 0.005, 0.5);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired == 1; }, kTimeout));
    // A repeating timer goes on with its interval from there.
    EXPECT_GT(timer->fireDate().timeIntervalSinceNow(), 3500);
    // A date in the past fires on the next turn.
    timer->setFireDate(NSDate::distantPast());
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired == 2; }, kTimeout));
    timer->invalidate();
}

TEST(NSTimer, AddedTimersFireOnlyOnceAddedAndToleranceIsKept) {
    int fired = 0;
    auto timer = NSTimer::timerWithTimeInterval(0, false, [&](auto&) { ++fired; });  // 0 s: fires at once
    timer->setTolerance(0.25);
    EXPECT_DOUBLE_EQ(timer->tolerance(), 0.25);
    timer->setTolerance(-1);
    EXPECT_DOUBLE_EQ(timer->tolerance(), 0);
    ASSERT_TRUE(spinPast(0.005));
    EXPECT_EQ(fired, 0);
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired == 1; }, kTimeout));
}

TEST(NSTimer, TimersAddedFromAnotherThreadFireOnTheMainThread) {
    std::atomic<bool> added{false};
    bool fired = false, onMain = false;
    std::thread([&] {
        auto timer = NSTimer::timerWithTimeInterval(0.001, false, [&](auto&) {
            onMain = NSThread::isMainThread();
            fired = true;
        });
        NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
        added = true;
    }).join();
    ASSERT_TRUE(added.load());
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired; }, kTimeout));
    EXPECT_TRUE(onMain);
}

}  // namespace
