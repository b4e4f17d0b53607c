#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_dispatch/RunLoopSource.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

constexpr double kTimeout = 5.0;

NSDate inSeconds(double s) { return NSDate::dateWithTimeIntervalSinceNow(s); }

TEST(MainQueue, BlocksRunOnlyWhileTheMainRunLoopSpinsAndInOrder) {
    std::vector<int> order;
    bool allOnMain = true;
    auto group = dispatch_group_create();
    // Submitted from a worker, which finishes before the loop spins.
    dispatch_group_async(group, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        for (int i = 0; i < 50; ++i)
            dispatch_async(dispatch_get_main_queue(), [&, i] {
                allOnMain = allOnMain && NSThread::isMainThread();
                order.push_back(i);
            });
    });
    ASSERT_EQ(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 5 * int64_t(NSEC_PER_SEC))), 0);
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return order.size() == 50; }, kTimeout));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
    EXPECT_TRUE(allOnMain);
}

TEST(MainQueue, ALoopTurnNestedInAMainQueueBlockDoesNotRunLaterMainQueueBlocks) {
    std::vector<std::string> events;
    bool done = false;
    dispatch_async(dispatch_get_main_queue(), [&] {
        dispatch_async(dispatch_get_main_queue(), [&] {
            events.push_back("later block");
            done = true;
        });
        bool performed = false;
        NSRunLoop::mainRunLoop()->performBlock([&] {
            events.push_back("performed");
            performed = true;
        });
        spinMainRunLoopUntil([&] { return performed; }, kTimeout);
        events.push_back("first block ends");
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done; }, kTimeout));
    EXPECT_EQ(events, (std::vector<std::string>{"performed", "first block ends", "later block"}));
}

TEST(RunLoop, RunModeTellsWhetherItHandledSomething) {
    auto loop = NSRunLoop::currentRunLoop();
    EXPECT_EQ(loop, NSRunLoop::mainRunLoop());
    EXPECT_FALSE(loop->runMode(NSDefaultRunLoopMode, inSeconds(0.01)));
    bool ran = false;
    loop->performBlock([&] { ran = true; });
    EXPECT_TRUE(loop->runMode(NSDefaultRunLoopMode, inSeconds(kTimeout)));
    EXPECT_TRUE(ran);
    // A date in the past still handles what is due.
    bool ranAgain = false;
    dispatch_async(dispatch_get_main_queue(), [&] { ranAgain = true; });
    EXPECT_TRUE(loop->runMode(NSDefaultRunLoopMode, NSDate::distantPast()));
    EXPECT_TRUE(ranAgain);
}

TEST(RunLoop, RunModeWaitsForWorkFromAnotherThread) {
    std::atomic<bool> ran{false};
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 10 * int64_t(NSEC_PER_MSEC)), dispatch_get_main_queue(),
                   [&] { ran = true; });
    // Blocks until the main-queue block arrives, far before the date.
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->runMode(NSDefaultRunLoopMode, NSDate::distantFuture()));
    EXPECT_TRUE(ran.load());
}

TEST(RunLoop, RunUntilDateReturnsAtTheDate) {
    auto start = std::chrono::steady_clock::now();
    NSRunLoop::mainRunLoop()->runUntilDate(inSeconds(0.03));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
}

TEST(RunLoop, ModesDecideWhatFires) {
    auto loop = NSRunLoop::currentRunLoop();
    const NSRunLoopMode tracking = "TestTrackingMode";
    int inDefault = 0, inCommon = 0, inTracking = 0;
    auto tDefault = NSTimer::timerWithTimeInterval(0.001, true, [&](auto&) { ++inDefault; });
    auto tCommon = NSTimer::timerWithTimeInterval(0.001, true, [&](auto&) { ++inCommon; });
    auto tTracking = NSTimer::timerWithTimeInterval(0.001, true, [&](auto&) { ++inTracking; });
    loop->addTimer(tDefault, NSDefaultRunLoopMode);
    loop->addTimer(tCommon, NSRunLoopCommonModes);
    loop->addTimer(tTracking, tracking);

    ASSERT_TRUE(spinMainRunLoopUntil([&] { return inDefault >= 2 && inCommon >= 2; }, kTimeout));
    EXPECT_EQ(inTracking, 0);

    int defaultBefore = inDefault;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (inTracking < 2 && std::chrono::steady_clock::now() < deadline)
        loop->runModeUntil(tracking, std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
    EXPECT_GE(inTracking, 2);
    EXPECT_EQ(inDefault, defaultBefore);
    // A mode that is not common drains no main-queue block either.
    bool mainBlockRan = false;
    dispatch_async(dispatch_get_main_queue(), [&] { mainBlockRan = true; });
    loop->runModeUntil(tracking, std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
    EXPECT_FALSE(mainBlockRan);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return mainBlockRan; }, kTimeout));

    for (auto& t : {tDefault, tCommon, tTracking}) t->invalidate();
}

TEST(RunLoop, ThreadsOtherThanMainHaveTheirOwnLoopsWithSources) {
    std::shared_ptr<NSRunLoop> threadLoop;
    std::shared_ptr<RunLoopSource> source;
    std::atomic<int> performed{0};
    std::atomic<bool> performedOnThatThread{true};
    std::atomic<bool> threadDone{false}, ready{false};
    auto thread = std::make_shared<NSThread>([&] {
        auto loop = NSRunLoop::currentRunLoop();
        EXPECT_NE(loop, NSRunLoop::mainRunLoop());
        auto self = NSThread::currentThread();
        source = std::make_shared<RunLoopSource>([&, self] {
            if (NSThread::currentThread() != self) performedOnThatThread = false;
            ++performed;
        });
        loop->addSource(source, NSDefaultRunLoopMode);
        threadLoop = loop;
        ready = true;
        while (!NSThread::currentThread()->isCancelled())
            loop->runModeUntil(NSDefaultRunLoopMode, std::chrono::steady_clock::now() + std::chrono::seconds(1));
        threadDone = true;
    });
    thread->start();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return ready.load(); }, kTimeout));
    source->signal();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return performed.load() == 1; }, kTimeout));
    source->signal();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return performed.load() == 2; }, kTimeout));
    EXPECT_TRUE(performedOnThatThread.load());

    // Blocks performed on that loop run there too.
    std::atomic<bool> blockRan{false};
    threadLoop->performBlock([&] { blockRan = true; });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return blockRan.load(); }, kTimeout));

    // Once removed (or invalid) the source is not served any more.
    threadLoop->removeSource(source, NSDefaultRunLoopMode);
    source->signal();
    std::atomic<bool> marker{false};
    threadLoop->performBlock([&] { marker = true; });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return marker.load(); }, kTimeout));
    EXPECT_EQ(performed.load(), 2);

    thread->cancel();
    threadLoop->performBlock([] {});  // ends the thread's current turn
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return threadDone.load(); }, kTimeout));
}

TEST(RunLoop, RunOnAThreadReturnsWhenItsLastTimerIsGone) {
    std::atomic<int> fired{0};
    std::atomic<bool> returned{false};
    NSThread::detachNewThreadWithBlock([&] {
        NSTimer::scheduledTimerWithTimeInterval(0.002, true, [&](const std::shared_ptr<NSTimer>& t) {
            if (++fired == 3) t->invalidate();
        });
        NSRunLoop::currentRunLoop()->run();
        returned = true;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return returned.load(); }, kTimeout));
    EXPECT_EQ(fired.load(), 3);
}

TEST(RunLoop, SpinHelperReportsATimeOut) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(spinMainRunLoopUntil([] { return false; }, 0.02));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(19));
    EXPECT_TRUE(spinMainRunLoopUntil([] { return true; }, 0));
}

}  // namespace
