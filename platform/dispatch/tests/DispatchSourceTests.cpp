#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr double kTimeout = 5.0;
constexpr uint64_t kMs = NSEC_PER_MSEC;

dispatch_time_t inMs(int64_t ms) { return dispatch_time(DISPATCH_TIME_NOW, ms * int64_t(kMs)); }

// A timer source on its own serial queue, counting handler runs.
struct TimerFixture : ::testing::Test {
    dispatch_queue_t queue = dispatch_queue_create("test.timer", DISPATCH_QUEUE_SERIAL);
    dispatch_source_t timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, queue);
    std::atomic<int> fired{0};
    std::atomic<int> cancelHandlerRuns{0};
    std::atomic<int> firedAtCancel{-1};

    void SetUp() override {
        dispatch_source_set_event_handler(timer, [this] { ++fired; });
        dispatch_source_set_cancel_handler(timer, [this] {
            firedAtCancel = fired.load();
            ++cancelHandlerRuns;
        });
    }
    void TearDown() override {
        // No handler may touch the fixture once it is gone.
        dispatch_source_set_cancel_handler(timer, nullptr);
        dispatch_source_cancel(timer);
        dispatch_sync(queue, [] {});
    }
    // Runs a marker through the timer's queue after `ms`; true once it ran.
    bool passTimeOnQueue(int ms) {
        std::atomic<bool> done{false};
        dispatch_after(inMs(ms), queue, [&] { done = true; });
        return spinMainRunLoopUntil([&] { return done.load(); }, kTimeout);
    }
};

TEST_F(TimerFixture, RepeatsUntilCancelledThenRunsTheCancelHandlerOnceAfterTheLastEvent) {
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, 5 * kMs, 1 * kMs);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired.load() >= 3; }, kTimeout));
    EXPECT_EQ(dispatch_source_testcancel(timer), 0);
    dispatch_source_cancel(timer);
    EXPECT_NE(dispatch_source_testcancel(timer), 0);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return cancelHandlerRuns.load() == 1; }, kTimeout));
    int atCancel = firedAtCancel.load();
    ASSERT_TRUE(passTimeOnQueue(30));
    EXPECT_EQ(fired.load(), atCancel);
    EXPECT_EQ(cancelHandlerRuns.load(), 1);
    dispatch_source_cancel(timer);  // a second cancel changes nothing
    ASSERT_TRUE(passTimeOnQueue(0));
    EXPECT_EQ(cancelHandlerRuns.load(), 1);
}

TEST_F(TimerFixture, AOneShotTimerFiresOnceAndNotBeforeItsStart) {
    auto start = inMs(20);
    std::atomic<bool> early{false};
    dispatch_source_set_event_handler(timer, [&] {
        if (dispatch_time(DISPATCH_TIME_NOW, 0) < start) early = true;
        ++fired;
    });
    dispatch_source_set_timer(timer, start, DISPATCH_TIME_FOREVER, 0);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired.load() == 1; }, kTimeout));
    ASSERT_TRUE(passTimeOnQueue(30));
    EXPECT_EQ(fired.load(), 1);
    EXPECT_FALSE(early.load());
}

TEST_F(TimerFixture, ASourceDoesNothingUntilResumed) {
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, 2 * kMs, 0);
    ASSERT_TRUE(passTimeOnQueue(20));
    EXPECT_EQ(fired.load(), 0);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired.load() >= 1; }, kTimeout));
}

TEST_F(TimerFixture, FiringsWhileSuspendedCoalesceIntoOneRunOnResume) {
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, 2 * kMs, 0);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired.load() >= 1; }, kTimeout));
    dispatch_suspend(timer);
    dispatch_sync(queue, [] {});  // a run already queued has finished
    int before = fired.load();
    ASSERT_TRUE(passTimeOnQueue(20));  // several intervals pass
    EXPECT_EQ(fired.load(), before);
    // Re-arm far away so that only the coalesced firing can run on resume.
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, 3600 * NSEC_PER_SEC, 0);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired.load() == before + 1; }, kTimeout));
    ASSERT_TRUE(passTimeOnQueue(10));
    EXPECT_EQ(fired.load(), before + 1);
}

TEST_F(TimerFixture, ReArmingReplacesTheSchedule) {
    dispatch_source_set_timer(timer, DISPATCH_TIME_FOREVER, DISPATCH_TIME_FOREVER, 0);  // disarmed
    dispatch_resume(timer);
    ASSERT_TRUE(passTimeOnQueue(10));
    EXPECT_EQ(fired.load(), 0);
    dispatch_source_set_timer(timer, inMs(3600 * 1000), DISPATCH_TIME_FOREVER, 0);
    dispatch_source_set_timer(timer, inMs(5), 5 * kMs, 0);  // replaces the far one
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired.load() >= 2; }, kTimeout));
    dispatch_source_set_timer(timer, DISPATCH_TIME_FOREVER, 0, 0);  // disarm again
    dispatch_sync(queue, [] {});
    int stopped = fired.load();
    ASSERT_TRUE(passTimeOnQueue(25));
    EXPECT_EQ(fired.load(), stopped);
}

TEST_F(TimerFixture, CancellingASuspendedSourceRunsTheCancelHandlerOnResume) {
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, 2 * kMs, 0);
    dispatch_source_cancel(timer);  // still suspended since creation
    ASSERT_TRUE(passTimeOnQueue(5));
    EXPECT_EQ(cancelHandlerRuns.load(), 0);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return cancelHandlerRuns.load() == 1; }, kTimeout));
    EXPECT_EQ(fired.load(), 0);
}

TEST_F(TimerFixture, AnExtraResumeIsIgnored) {
    dispatch_resume(timer);
    dispatch_resume(timer);  // one too many
    dispatch_suspend(timer);  // so this one suspends again
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, 2 * kMs, 0);
    ASSERT_TRUE(passTimeOnQueue(15));
    EXPECT_EQ(fired.load(), 0);
}

TEST(DispatchSource, TimerHandlersRunOnTheMainQueueWhileTheLoopSpins) {
    auto timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    int fired = 0;
    std::string label;
    dispatch_source_set_event_handler(timer, [&] {
        ++fired;
        label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
    });
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, 2 * kMs, 10 * kMs);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired >= 2; }, kTimeout));
    EXPECT_EQ(label, dispatch_queue_get_label(dispatch_get_main_queue()));
    dispatch_source_cancel(timer);
}

TEST(DispatchSource, OnlyTimersAreMade) {
    EXPECT_EQ(dispatch_source_create(nullptr, 0, 0, nullptr), nullptr);
    auto timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, nullptr);  // default global queue
    ASSERT_NE(timer, nullptr);
    std::atomic<bool> fired{false};
    dispatch_source_set_event_handler(timer, [&] { fired = true; });
    dispatch_source_set_timer(timer, DISPATCH_TIME_NOW, DISPATCH_TIME_FOREVER, 0);
    dispatch_resume(timer);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return fired.load(); }, kTimeout));
}

}  // namespace
