#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constexpr double kTimeout = 5.0;

dispatch_time_t inMs(int64_t ms) { return dispatch_time(DISPATCH_TIME_NOW, ms * int64_t(NSEC_PER_MSEC)); }
dispatch_queue_t global() { return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0); }

TEST(DispatchGroup, NotifyRunsOnceAfterEveryMemberFinished) {
    auto group = dispatch_group_create();
    auto q = dispatch_queue_create("test.group.notify", DISPATCH_QUEUE_SERIAL);
    std::atomic<int> finished{0};
    int finishedSeenByNotify = -1;
    std::atomic<int> notified{0};
    constexpr int kMembers = 20;
    for (int i = 0; i < kMembers; ++i) dispatch_group_async(group, global(), [&] { ++finished; });
    dispatch_group_enter(group);  // a member that is not a block
    dispatch_group_notify(group, q, [&] {
        finishedSeenByNotify = finished.load();
        ++notified;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return finished.load() == kMembers; }, kTimeout));
    EXPECT_EQ(notified.load(), 0);
    dispatch_group_leave(group);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return notified.load() == 1; }, kTimeout));
    dispatch_sync(q, [] {});
    EXPECT_EQ(finishedSeenByNotify, kMembers);
    EXPECT_EQ(notified.load(), 1);
}

TEST(DispatchGroup, NotifyOnAnEmptyGroupRunsAtOnce) {
    auto group = dispatch_group_create();
    bool ran = false;
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] { ran = true; });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return ran; }, kTimeout));
}

TEST(DispatchGroup, WaitTimesOutWhileAMemberRunsAndSucceedsAfter) {
    auto group = dispatch_group_create();
    auto gate = dispatch_semaphore_create(0);
    dispatch_group_async(group, global(), [&] { dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER); });
    EXPECT_NE(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    auto before = dispatch_time(DISPATCH_TIME_NOW, 0);
    EXPECT_NE(dispatch_group_wait(group, inMs(20)), 0);
    EXPECT_GE(dispatch_time(DISPATCH_TIME_NOW, 0), before + 20 * NSEC_PER_MSEC);
    dispatch_semaphore_signal(gate);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
}

TEST(DispatchGroup, AnUnmatchedLeaveIsIgnored) {
    auto group = dispatch_group_create();
    dispatch_group_leave(group);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    // The count did not go negative: one enter still makes the group busy.
    dispatch_group_enter(group);
    EXPECT_NE(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
    dispatch_group_leave(group);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
}

TEST(DispatchGroup, TheGroupCanBeReusedAfterItEmptied) {
    auto group = dispatch_group_create();
    std::atomic<int> notified{0};
    for (int round = 1; round <= 3; ++round) {
        dispatch_group_async(group, global(), [] {});
        dispatch_group_notify(group, global(), [&] { ++notified; });
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return notified.load() == round; }, kTimeout));
    }
}

TEST(DispatchSemaphore, CountsUnitsAndTimesOut) {
    auto sem = dispatch_semaphore_create(2);
    EXPECT_EQ(dispatch_semaphore_wait(sem, DISPATCH_TIME_NOW), 0);
    EXPECT_EQ(dispatch_semaphore_wait(sem, DISPATCH_TIME_NOW), 0);
    EXPECT_NE(dispatch_semaphore_wait(sem, DISPATCH_TIME_NOW), 0);
    auto before = dispatch_time(DISPATCH_TIME_NOW, 0);
    EXPECT_NE(dispatch_semaphore_wait(sem, inMs(20)), 0);
    EXPECT_GE(dispatch_time(DISPATCH_TIME_NOW, 0), before + 20 * NSEC_PER_MSEC);
    EXPECT_EQ(dispatch_semaphore_signal(sem), 0);  // nobody waited
    EXPECT_EQ(dispatch_semaphore_wait(sem, DISPATCH_TIME_NOW), 0);
}

TEST(DispatchSemaphore, ANegativeStartGivesNoSemaphore) { EXPECT_EQ(dispatch_semaphore_create(-1), nullptr); }

TEST(DispatchSemaphore, SignalWakesAWaiterThatWaitsForever) {
    auto sem = dispatch_semaphore_create(0);
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = dispatch_semaphore_wait(sem, DISPATCH_TIME_FOREVER) == 0; });
    dispatch_semaphore_signal(sem);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return woke.load(); }, kTimeout));
    waiter.join();
}

TEST(DispatchSemaphore, GuardsAResourceAcrossManyBlocks) {
    auto sem = dispatch_semaphore_create(3);
    std::atomic<int> inside{0}, most{0}, done{0};
    constexpr int kBlocks = 40;
    for (int i = 0; i < kBlocks; ++i)
        dispatch_async(global(), [&] {
            dispatch_semaphore_wait(sem, DISPATCH_TIME_FOREVER);
            int now = ++inside;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::yield();
            --inside;
            dispatch_semaphore_signal(sem);
            ++done;
        });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load() == kBlocks; }, kTimeout));
    EXPECT_LE(most.load(), 3);
}

TEST(DispatchOnce, RunsTheBlockOnceUnderContentionAndEveryCallerSeesItsEffect) {
    dispatch_once_t token = 0;
    std::atomic<int> runs{0};
    std::atomic<bool> go{false};
    int value = 0;
    constexpr int kThreads = 16;
    std::vector<int> seen(kThreads, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            dispatch_once(&token, [&] {
                ++runs;
                std::this_thread::yield();
                value = 42;
            });
            seen[t] = value;
        });
    go = true;
    for (auto& th : threads) th.join();
    EXPECT_EQ(runs.load(), 1);
    for (int v : seen) EXPECT_EQ(v, 42);
    dispatch_once(&token, [&] { ++runs; });
    EXPECT_EQ(runs.load(), 1);
}

TEST(DispatchOnce, AThrowingBlockLeavesTheTokenForTheNextCaller) {
    dispatch_once_t token = 0;
    EXPECT_THROW(dispatch_once(&token, [] { throw std::runtime_error("first"); }), std::runtime_error);
    int runs = 0;
    dispatch_once(&token, [&] { ++runs; });
    dispatch_once(&token, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(DispatchBlock, ACancelledBlockDoesNothingThroughAnyCopy) {
    auto q = dispatch_queue_create("test.block.cancel", DISPATCH_QUEUE_SERIAL);
    auto gate = dispatch_semaphore_create(0);
    dispatch_async(q, [&] { dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER); });
    int runs = 0;
    dispatch_block_t block = dispatch_block_create(0, [&] { ++runs; });
    dispatch_block_t copy = block;
    dispatch_async(q, copy);
    EXPECT_EQ(dispatch_block_testcancel(block), 0);
    dispatch_block_cancel(block);
    EXPECT_NE(dispatch_block_testcancel(copy), 0);
    dispatch_semaphore_signal(gate);
    dispatch_sync(q, [] {});
    EXPECT_EQ(runs, 0);
}

TEST(DispatchBlock, AnUncancelledBlockRunsAndPlainBlocksIgnoreCancel) {
    int runs = 0;
    dispatch_block_t block = dispatch_block_create(0, [&] { ++runs; });
    auto q = dispatch_queue_create("test.block.run", DISPATCH_QUEUE_SERIAL);
    dispatch_sync(q, block);
    EXPECT_EQ(runs, 1);
    dispatch_block_cancel(block);  // after it ran: later runs do nothing
    block();
    EXPECT_EQ(runs, 1);

    dispatch_block_t plain = [&] { ++runs; };
    dispatch_block_cancel(plain);
    EXPECT_EQ(dispatch_block_testcancel(plain), 0);
    plain();
    EXPECT_EQ(runs, 2);
}

}  // namespace
