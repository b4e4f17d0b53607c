#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/DispatchActivity.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kTimeout = 5.0;

dispatch_time_t inMs(int64_t ms) { return dispatch_time(DISPATCH_TIME_NOW, ms * int64_t(NSEC_PER_MSEC)); }

// Counts blocks that run at the same time and remembers the most at once.
struct OverlapMeter {
    std::atomic<int> active{0};
    std::atomic<int> most{0};
    void enter() {
        int now = ++active;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
    }
    void leave() { --active; }
};

// Waits (bounded) until `n` parties arrived; true when all did.
struct Rendezvous {
    explicit Rendezvous(int n) : needed(n) {}
    bool arriveAndWait() {
        ++arrived;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (arrived.load() < needed) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::yield();
        }
        return true;
    }
    const int needed;
    std::atomic<int> arrived{0};
};

TEST(DispatchQueue, SerialQueueRunsBlocksOneAtATimeInSubmissionOrder) {
    auto q = dispatch_queue_create("test.serial", DISPATCH_QUEUE_SERIAL);
    std::vector<int> order;
    OverlapMeter meter;
    std::atomic<int> done{0};
    constexpr int kCount = 2000;
    for (int i = 0; i < kCount; ++i) {
        dispatch_async(q, [&, i] {
            meter.enter();
            order.push_back(i);
            meter.leave();
            ++done;
        });
    }
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load() == kCount; }, kTimeout));
    ASSERT_EQ(order.size(), size_t(kCount));
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(order[i], i);
    EXPECT_EQ(meter.most.load(), 1);
}

TEST(DispatchQueue, SerialQueuesSubmittedFromManyThreadsKeepEachSubmittersOrder) {
    auto q = dispatch_queue_create("test.serial.many", DISPATCH_QUEUE_SERIAL);
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> done{0};
    auto group = dispatch_group_create();
    for (int t = 0; t < kThreads; ++t) {
        dispatch_group_async(group, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&, t] {
            for (int i = 0; i < kEach; ++i)
                dispatch_async(q, [&, t, i] {
                    seen[t].push_back(i);
                    ++done;
                });
        });
    }
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load() == kThreads * kEach; }, kTimeout));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(seen[t][i], i);
}

TEST(DispatchQueue, ConcurrentAndGlobalQueuesRunBlocksInParallel) {
    struct Case {
        const char* name;
        dispatch_queue_t queue;
    };
    Case cases[] = {
        {"custom concurrent", dispatch_queue_create("test.concurrent", DISPATCH_QUEUE_CONCURRENT)},
        {"global default", dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0)},
        {"global background", dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each block waits for the other: only parallel execution lets both pass.
        Rendezvous meet(2);
        std::atomic<int> met{0}, done{0};
        for (int i = 0; i < 2; ++i)
            dispatch_async(c.queue, [&] {
                if (meet.arriveAndWait()) ++met;
                ++done;
            });
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load() == 2; }, kTimeout));
        EXPECT_EQ(met.load(), 2);
    }
}

TEST(DispatchQueue, BarrierWaitsForEarlierBlocksAndHoldsBackLaterOnes) {
    auto q = dispatch_queue_create("test.barrier", DISPATCH_QUEUE_CONCURRENT);
    constexpr int kBefore = 6, kAfter = 6;
    auto gate = dispatch_semaphore_create(0);
    std::atomic<int> beforeDone{0}, afterDone{0}, afterSawBarrier{0};
    std::atomic<bool> barrierDone{false};
    OverlapMeter meter;
    int beforeDoneSeenByBarrier = -1;
    int activeDuringBarrier = -1;

    for (int i = 0; i < kBefore; ++i)
        dispatch_async(q, [&] {
            meter.enter();
            dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER);
            meter.leave();
            ++beforeDone;
        });
    dispatch_barrier_async(q, [&] {
        meter.enter();
        beforeDoneSeenByBarrier = beforeDone.load();
        activeDuringBarrier = meter.active.load();
        meter.leave();
        barrierDone = true;
    });
    for (int i = 0; i < kAfter; ++i)
        dispatch_async(q, [&] {
            if (barrierDone.load()) ++afterSawBarrier;
            ++afterDone;
        });

    // The earlier blocks run together while the barrier waits behind them.
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return meter.active.load() == kBefore; }, kTimeout));
    EXPECT_FALSE(barrierDone.load());
    EXPECT_EQ(afterDone.load(), 0);
    for (int i = 0; i < kBefore; ++i) dispatch_semaphore_signal(gate);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return afterDone.load() == kAfter; }, kTimeout));
    EXPECT_EQ(beforeDoneSeenByBarrier, kBefore);
    EXPECT_EQ(activeDuringBarrier, 1);
    EXPECT_EQ(afterSawBarrier.load(), kAfter);
}

TEST(DispatchQueue, SyncReturnsAfterTheBlockRanOnTheQueue) {
    auto concurrent = dispatch_queue_create("test.sync.concurrent", DISPATCH_QUEUE_CONCURRENT);
    struct Case {
        const char* name;
        dispatch_queue_t queue;
        bool barrier;
    };
    Case cases[] = {
        {"serial", dispatch_queue_create("test.sync.serial", DISPATCH_QUEUE_SERIAL), false},
        {"concurrent", concurrent, false},
        {"concurrent barrier", concurrent, true},
        {"global", dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool ran = false;
        std::string label;
        auto block = [&] {
            ran = true;
            label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
        };
        if (c.barrier)
            dispatch_barrier_sync(c.queue, block);
        else
            dispatch_sync(c.queue, block);
        EXPECT_TRUE(ran);
        EXPECT_EQ(label, dispatch_queue_get_label(c.queue));
    }
}

TEST(DispatchQueue, SyncAfterAsyncOnASerialQueueSeesTheEarlierBlocksDone) {
    auto q = dispatch_queue_create("test.sync.order", DISPATCH_QUEUE_SERIAL);
    int counter = 0;
    for (int i = 0; i < 100; ++i) dispatch_async(q, [&] { ++counter; });
    int seen = -1;
    dispatch_sync(q, [&] { seen = counter; });
    EXPECT_EQ(seen, 100);
}

// A serial queue that runs and holds nothing lends itself to the caller: the block runs on the
// calling thread. What is submitted while it runs waits for it, then runs in order on a worker.
TEST(DispatchQueue, SyncOntoAnIdleSerialQueueRunsOnTheCallerAndHoldsBackLaterBlocks) {
    auto q = dispatch_queue_create("test.sync.idle", DISPATCH_QUEUE_SERIAL);
    std::vector<std::string> order;  // written on the queue only
    std::thread::id ranOn;
    dispatch_sync(q, [&] {
        ranOn = std::this_thread::get_id();
        dispatch_async(q, [&] { order.push_back("after 1"); });
        dispatch_async(q, [&] { order.push_back("after 2"); });
        order.push_back("sync");
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    std::vector<std::string> seen;
    dispatch_sync(q, [&] { seen = order; });  // queued behind the two: waits for them
    EXPECT_EQ(seen, (std::vector<std::string>{"sync", "after 1", "after 2"}));
}

TEST(DispatchQueue, SyncPassesTheBlocksExceptionToTheCaller) {
    auto q = dispatch_queue_create("test.sync.throw", DISPATCH_QUEUE_SERIAL);
    EXPECT_THROW(dispatch_sync(q, [] { throw std::runtime_error("boom"); }), std::runtime_error);
    bool ran = false;
    dispatch_sync(q, [&] { ran = true; });  // the queue still works
    EXPECT_TRUE(ran);
}

TEST(DispatchQueue, SyncOntoTheMainQueueFromAWorkerRunsWhenTheMainLoopSpins) {
    std::atomic<bool> returned{false};
    bool ranOnMain = false;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        dispatch_sync(dispatch_get_main_queue(), [&] { ranOnMain = NSThread::isMainThread(); });
        returned = true;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return returned.load(); }, kTimeout));
    EXPECT_TRUE(ranOnMain);
}

using DispatchQueueDeathTest = ::testing::Test;

TEST_F(DispatchQueueDeathTest, SyncOntoTheQueueTheThreadIsRunningAbortsInsteadOfHanging) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto q = dispatch_queue_create("test.self.sync", DISPATCH_QUEUE_SERIAL);
            dispatch_sync(q, [&] { dispatch_sync(q, [] {}); });
        },
        "test.self.sync");
    // Through another queue's sync the wait on oneself is still seen.
    EXPECT_DEATH(
        {
            auto a = dispatch_queue_create("test.outer", DISPATCH_QUEUE_SERIAL);
            auto b = dispatch_queue_create("test.inner", DISPATCH_QUEUE_SERIAL);
            dispatch_sync(a, [&] { dispatch_sync(b, [&] { dispatch_sync(a, [] {}); }); });
        },
        "test.outer");
    // The main thread outside any block counts as running the main queue.
    EXPECT_DEATH(dispatch_sync(dispatch_get_main_queue(), [] {}), "main");
}

TEST(DispatchQueue, LabelsOfQueuesAndOfTheCurrentQueue) {
    auto serial = dispatch_queue_create("com.example.serial", DISPATCH_QUEUE_SERIAL);
    auto concurrent = dispatch_queue_create("com.example.concurrent", DISPATCH_QUEUE_CONCURRENT);
    auto unnamed = dispatch_queue_create(nullptr, DISPATCH_QUEUE_SERIAL);
    EXPECT_STREQ(dispatch_queue_get_label(serial), "com.example.serial");
    EXPECT_STREQ(dispatch_queue_get_label(concurrent), "com.example.concurrent");
    EXPECT_STREQ(dispatch_queue_get_label(unnamed), "");
    EXPECT_STREQ(dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL),
                 dispatch_queue_get_label(dispatch_get_main_queue()));
    EXPECT_STRNE(dispatch_queue_get_label(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0)),
                 dispatch_queue_get_label(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0)));

    for (auto& q : {serial, concurrent}) {
        std::string inside;
        dispatch_sync(q, [&] { inside = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL); });
        EXPECT_EQ(inside, dispatch_queue_get_label(q));
    }
    std::string onWorker = "unset";
    std::atomic<bool> done{false};
    NSThread::detachNewThreadWithBlock([&] {
        onWorker = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
        done = true;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, kTimeout));
    EXPECT_EQ(onWorker, "");
}

TEST(DispatchQueue, GlobalQueuesAreSharedPerPriority) {
    EXPECT_EQ(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
              dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
    EXPECT_NE(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
              dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0));
    EXPECT_EQ(dispatch_get_global_queue(12345, 0), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
    EXPECT_EQ(dispatch_get_main_queue(), dispatch_get_main_queue());
}

int destroyedCount = 0;
void countDestroy(void* p) {
    ++destroyedCount;
    delete static_cast<int*>(p);
}

TEST(DispatchQueue, QueueSpecificsAreSeenOnlyOnTheirQueue) {
    static const char keyA = 0, keyB = 0;
    auto a = dispatch_queue_create("test.specific.a", DISPATCH_QUEUE_SERIAL);
    auto b = dispatch_queue_create("test.specific.b", DISPATCH_QUEUE_CONCURRENT);
    int valueA = 1, valueB = 2;
    dispatch_queue_set_specific(a, &keyA, &valueA, nullptr);
    dispatch_queue_set_specific(b, &keyB, &valueB, nullptr);

    EXPECT_EQ(dispatch_queue_get_specific(a, &keyA), &valueA);
    EXPECT_EQ(dispatch_queue_get_specific(a, &keyB), nullptr);
    EXPECT_EQ(dispatch_get_specific(&keyA), nullptr);  // main queue has none

    void *onA = nullptr, *otherOnA = nullptr, *onBFromA = nullptr;
    dispatch_sync(a, [&] {
        onA = dispatch_get_specific(&keyA);
        otherOnA = dispatch_get_specific(&keyB);
        dispatch_sync(b, [&] { onBFromA = dispatch_get_specific(&keyB); });
    });
    EXPECT_EQ(onA, &valueA);
    EXPECT_EQ(otherOnA, nullptr);
    EXPECT_EQ(onBFromA, &valueB);

    dispatch_queue_set_specific(a, &keyA, nullptr, nullptr);
    EXPECT_EQ(dispatch_queue_get_specific(a, &keyA), nullptr);
}

TEST(DispatchQueue, SpecificDestructorsRunOnReplacementAndWithTheQueue) {
    static const char key = 0;
    destroyedCount = 0;
    {
        auto q = dispatch_queue_create("test.specific.dtor", DISPATCH_QUEUE_SERIAL);
        dispatch_queue_set_specific(q, &key, new int(1), countDestroy);
        dispatch_queue_set_specific(q, &key, new int(2), countDestroy);
        EXPECT_EQ(destroyedCount, 1);
        EXPECT_EQ(*static_cast<int*>(dispatch_queue_get_specific(q, &key)), 2);
    }
    EXPECT_EQ(destroyedCount, 2);
}

TEST(DispatchQueue, ApplyCallsEveryIndexOnceAndReturnsAfterAll) {
    struct Case {
        const char* name;
        dispatch_queue_t queue;
        size_t iterations;
    };
    Case cases[] = {
        {"serial", dispatch_queue_create("test.apply.serial", DISPATCH_QUEUE_SERIAL), 100},
        {"concurrent", dispatch_queue_create("test.apply.concurrent", DISPATCH_QUEUE_CONCURRENT), 1000},
        {"global", dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), 1000},
        {"single", dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), 1},
        {"none", dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::atomic<int>> hits(c.iterations);
        dispatch_apply(c.iterations, c.queue, [&](size_t i) { ++hits[i]; });
        for (size_t i = 0; i < c.iterations; ++i) ASSERT_EQ(hits[i].load(), 1) << i;
    }
}

TEST(DispatchQueue, ApplyFromABlockWithABarrierQueuedBehindItCompletes) {
    auto q = dispatch_queue_create("test.apply.barrier", DISPATCH_QUEUE_CONCURRENT);
    std::atomic<int> sum{0};
    std::atomic<bool> applied{false}, barrierRan{false};
    auto inBlock = dispatch_semaphore_create(0);
    dispatch_async(q, [&] {
        dispatch_semaphore_wait(inBlock, DISPATCH_TIME_FOREVER);  // the barrier is queued by now
        dispatch_apply(100, q, [&](size_t i) { sum += int(i); });
        applied = true;
    });
    dispatch_barrier_async(q, [&] { barrierRan = true; });
    dispatch_semaphore_signal(inBlock);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return applied.load() && barrierRan.load(); }, kTimeout));
    EXPECT_EQ(sum.load(), 4950);
}

TEST(DispatchQueue, SerialApplyRunsInIndexOrder) {
    auto q = dispatch_queue_create("test.apply.order", DISPATCH_QUEUE_SERIAL);
    std::vector<size_t> order;
    dispatch_apply(50, q, [&](size_t i) { order.push_back(i); });
    for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], i);
    EXPECT_EQ(order.size(), 50u);
}

TEST(DispatchQueue, AfterRunsBlocksByDeadlineAndNeverEarly) {
    auto q = dispatch_queue_create("test.after", DISPATCH_QUEUE_SERIAL);
    std::mutex m;
    std::vector<int> order;
    std::atomic<int> early{0};
    // Deadlines from one instant, so a slow loop here cannot reorder them.
    const auto start = dispatch_time(DISPATCH_TIME_NOW, 0);
    for (int delay : {60, 20, 40, 0}) {
        auto deadline = dispatch_time(start, delay * int64_t(NSEC_PER_MSEC));
        dispatch_after(deadline, q, [&, delay, deadline] {
            if (dispatch_time(DISPATCH_TIME_NOW, 0) < deadline) ++early;
            std::lock_guard lock(m);
            order.push_back(delay);
        });
    }
    ASSERT_TRUE(spinMainRunLoopUntil(
        [&] {
            std::lock_guard lock(m);
            return order.size() == 4;
        },
        kTimeout));
    EXPECT_EQ(order, (std::vector<int>{0, 20, 40, 60}));
    EXPECT_EQ(early.load(), 0);
}

TEST(DispatchQueue, AfterOntoTheMainQueueRunsOnTheMainThread) {
    bool onMain = false, ran = false;
    dispatch_after(inMs(5), dispatch_get_main_queue(), [&] {
        onMain = NSThread::isMainThread();
        ran = true;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return ran; }, kTimeout));
    EXPECT_TRUE(onMain);
}

// A block that is due already waits on its queue at once, where a host waiting for quiet sees it.
TEST(DispatchQueue, AfterWithADeadlineThatHasPassedQueuesTheBlockAtOnce) {
    ASSERT_FALSE(dispatch_main_queue_has_work());
    std::vector<std::string> order;
    dispatch_after(DISPATCH_TIME_NOW, dispatch_get_main_queue(), [&] { order.push_back("now"); });
    EXPECT_TRUE(dispatch_main_queue_has_work());
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, -int64_t(NSEC_PER_SEC)), dispatch_get_main_queue(),
                   [&] { order.push_back("past"); });
    dispatch_async(dispatch_get_main_queue(), [&] { order.push_back("async"); });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return order.size() == 3; }, kTimeout));
    EXPECT_EQ(order, (std::vector<std::string>{"now", "past", "async"}));
    EXPECT_FALSE(dispatch_main_queue_has_work());
}

TEST(DispatchTime, ArithmeticSaturatesAndKeepsForever) {
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, 5), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -5), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER - 10, 100), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(1000, 500), 1500u);
    EXPECT_EQ(dispatch_time(1000, -500), 500u);
    EXPECT_GT(dispatch_time(100, -500), 0u);  // never becomes "now"
    auto now = dispatch_time(DISPATCH_TIME_NOW, 0);
    EXPECT_GE(dispatch_time(DISPATCH_TIME_NOW, int64_t(NSEC_PER_SEC)), now + NSEC_PER_SEC);
}

TEST(DispatchQueue, WorkersBlockedOnSemaphoresDoNotStarveTheBlockThatReleasesThem) {
    // More waiting blocks than the pool has threads: the releasing block,
    // submitted last, must still get a thread.
    constexpr int kWaiters = 64;
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    auto sem = dispatch_semaphore_create(0);
    std::atomic<int> released{0};
    for (int i = 0; i < kWaiters; ++i)
        dispatch_async(global, [&] {
            if (dispatch_semaphore_wait(sem, inMs(5000)) == 0) ++released;
        });
    dispatch_async(global, [&] {
        for (int i = 0; i < kWaiters; ++i) dispatch_semaphore_signal(sem);
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return released.load() == kWaiters; }, 10.0));
}

}  // namespace
