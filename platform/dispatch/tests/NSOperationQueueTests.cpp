#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/NSOperationQueue.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr double kTimeout = 5.0;

// Counts operations running at once and remembers the most.
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

// For use off the main thread: polls `condition` until it holds or time runs out.
bool waitUntil(const std::function<bool()>& condition, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(NSOperationQueue, MaxConcurrentOperationCountBoundsParallelism) {
    struct Case {
        long max;
        int expectedMost;
    };
    for (auto c : {Case{1, 1}, Case{2, 2}, Case{3, 3}}) {
        SCOPED_TRACE(c.max);
        auto queue = NSOperationQueue::create();
        queue->setMaxConcurrentOperationCount(c.max);
        OverlapMeter meter;
        std::mutex m;
        std::vector<int> order;
        constexpr int kOps = 8;
        for (int i = 0; i < kOps; ++i)
            queue->addOperationWithBlock([&, i] {
                meter.enter();
                {
                    std::lock_guard lock(m);
                    order.push_back(i);
                }
                // Everyone waits (bounded) until the queue is as full as it may get.
                waitUntil([&] { return meter.most.load() >= c.expectedMost; }, 2.0);
                meter.leave();
            });
        queue->waitUntilAllOperationsAreFinished();
        EXPECT_EQ(meter.most.load(), c.expectedMost);
        EXPECT_EQ(order.size(), size_t(kOps));
        if (c.max == 1) {
            for (int i = 0; i < kOps; ++i) EXPECT_EQ(order[i], i);
        }
        EXPECT_EQ(queue->operationCount(), 0u);
    }
}

TEST(NSOperationQueue, DependenciesOrderOperationsAcrossQueues) {
    auto q1 = NSOperationQueue::create();
    auto q2 = NSOperationQueue::create();
    std::mutex m;
    std::vector<std::string> order;
    auto record = [&](const char* s) {
        std::lock_guard lock(m);
        order.push_back(s);
    };
    auto c = NSBlockOperation::blockOperationWithBlock([&] { record("c"); });
    auto b = NSBlockOperation::blockOperationWithBlock([&] { record("b"); });
    auto a = NSBlockOperation::blockOperationWithBlock([&] { record("a"); });
    c->addDependency(b);
    b->addDependency(a);
    EXPECT_EQ(c->dependencies().size(), 1u);
    EXPECT_FALSE(c->isReady());
    q1->setSuspended(true);  // a is held back until all are queued
    q2->addOperation(c);
    q2->addOperation(b);
    q1->addOperation(a);
    EXPECT_FALSE(b->isExecuting());
    q1->setSuspended(false);
    q2->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(c->isFinished());
}

TEST(NSOperationQueue, CancelledOperationsFinishWithoutRunningAndStillComplete) {
    auto queue = NSOperationQueue::create();
    queue->setSuspended(true);
    std::atomic<int> ran{0}, completed{0};
    std::vector<std::shared_ptr<NSBlockOperation>> ops;
    auto never = NSBlockOperation::blockOperationWithBlock([] {});
    for (int i = 0; i < 5; ++i) {
        auto op = NSBlockOperation::blockOperationWithBlock([&] { ++ran; });
        op->setCompletionBlock([&] { ++completed; });
        ops.push_back(op);
    }
    ops[4]->addDependency(never);  // cancelling frees it from its dependency
    for (auto& op : ops) queue->addOperation(op);
    EXPECT_EQ(queue->operationCount(), 5u);
    EXPECT_TRUE(queue->isSuspended());
    queue->cancelAllOperations();
    for (auto& op : ops) EXPECT_TRUE(op->isCancelled());
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(completed.load(), 5);
    for (auto& op : ops) EXPECT_TRUE(op->isFinished());
}

TEST(NSOperationQueue, ASuspendedQueueStartsNothing) {
    auto queue = NSOperationQueue::create();
    queue->setSuspended(true);
    std::atomic<bool> ran{false};
    queue->addOperationWithBlock([&] { ran = true; });
    // Let other work pass through the pool first.
    dispatch_sync(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [] {});
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(queue->operationCount(), 1u);
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(ran.load());
}

TEST(NSOperationQueue, OperationStateAndCurrentQueueWhileRunning) {
    auto queue = NSOperationQueue::create();
    queue->setName("test.operations");
    EXPECT_EQ(queue->name(), "test.operations");
    std::shared_ptr<NSBlockOperation> op;
    bool executingInside = false, finishedInside = true;
    std::shared_ptr<NSOperationQueue> currentInside;
    op = NSBlockOperation::blockOperationWithBlock([&] {
        executingInside = op->isExecuting();
        finishedInside = op->isFinished();
        currentInside = NSOperationQueue::currentQueue();
    });
    EXPECT_FALSE(op->isExecuting());
    queue->addOperation(op);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(executingInside);
    EXPECT_FALSE(finishedInside);
    EXPECT_EQ(currentInside, queue);
    EXPECT_TRUE(op->isFinished());
    EXPECT_FALSE(op->isExecuting());
    EXPECT_EQ(NSOperationQueue::currentQueue(), nullptr);
    op.reset();
}

TEST(NSOperationQueue, AnOperationIsTakenOnce) {
    auto queue = NSOperationQueue::create();
    std::atomic<int> runs{0};
    auto op = NSBlockOperation::blockOperationWithBlock([&] { ++runs; });
    queue->addOperation(op);
    queue->addOperation(op);
    queue->waitUntilAllOperationsAreFinished();
    queue->addOperation(op);  // finished: nothing
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(runs.load(), 1);
}

TEST(NSOperationQueue, BlockOperationsRunAllTheirBlocks) {
    std::vector<int> order;
    auto op = NSBlockOperation::blockOperationWithBlock([&] { order.push_back(1); });
    op->addExecutionBlock([&] { order.push_back(2); });
    EXPECT_EQ(op->executionBlocks().size(), 2u);
    op->start();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    op->start();  // only once
    EXPECT_EQ(order.size(), 2u);
}

TEST(NSOperationQueue, SubclassesOverrideMain) {
    struct Counting : NSOperation {
        int* runs;
        explicit Counting(int* r) : runs(r) {}
        void main() override { ++*runs; }
    };
    int runs = 0;
    auto queue = NSOperationQueue::create();
    queue->addOperation(std::make_shared<Counting>(&runs));
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(runs, 1);
}

TEST(NSOperationQueue, TheMainOperationQueueRunsOnTheMainThreadWhenTheLoopSpins) {
    auto main = NSOperationQueue::mainQueue();
    EXPECT_EQ(main, NSOperationQueue::mainQueue());
    EXPECT_EQ(main->maxConcurrentOperationCount(), 1);
    EXPECT_EQ(main->underlyingQueue(), dispatch_get_main_queue());
    main->setMaxConcurrentOperationCount(4);  // stays serial
    EXPECT_EQ(main->maxConcurrentOperationCount(), 1);

    std::vector<int> order;
    bool allOnMain = true;
    std::shared_ptr<NSOperationQueue> current;
    for (int i = 0; i < 3; ++i)
        main->addOperationWithBlock([&, i] {
            allOnMain = allOnMain && NSThread::isMainThread();
            current = NSOperationQueue::currentQueue();
            order.push_back(i);
        });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return order.size() == 3; }, kTimeout));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(allOnMain);
    EXPECT_EQ(current, main);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return main->operationCount() == 0; }, kTimeout));
}

TEST(NSOperationQueue, AnUnderlyingQueueCarriesTheOperations) {
    auto queue = NSOperationQueue::create();
    EXPECT_EQ(queue->underlyingQueue(), nullptr);
    auto serial = dispatch_queue_create("test.underlying", DISPATCH_QUEUE_SERIAL);
    queue->setUnderlyingQueue(serial);
    EXPECT_EQ(queue->underlyingQueue(), serial);
    std::string label;
    queue->addOperationWithBlock([&] { label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL); });
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(label, "test.underlying");
}

TEST(NSOperationQueue, OperationsBlockingOnSemaphoresDoNotStallOtherQueues) {
    // Like upload queues of width 1 whose operation waits for a request
    // answered through another queue.
    constexpr int kQueues = 12;
    std::vector<std::shared_ptr<NSOperationQueue>> queues;
    auto answer = dispatch_semaphore_create(0);
    std::atomic<int> done{0};
    for (int i = 0; i < kQueues; ++i) {
        auto q = NSOperationQueue::create();
        q->setMaxConcurrentOperationCount(1);
        q->addOperationWithBlock([&] {
            if (dispatch_semaphore_wait(answer, dispatch_time(DISPATCH_TIME_NOW, 5 * int64_t(NSEC_PER_SEC))) == 0)
                ++done;
        });
        queues.push_back(q);
    }
    auto responder = NSOperationQueue::create();
    responder->addOperationWithBlock([&] {
        for (int i = 0; i < kQueues; ++i) dispatch_semaphore_signal(answer);
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load() == kQueues; }, 10.0));
}

}  // namespace

TEST(NSOperationQueue, ABoundedWaitGivesUpAtItsDeadlineAndSeesTheQueueDrain) {
    auto queue = NSOperationQueue::create();
    queue->setMaxConcurrentOperationCount(1);
    EXPECT_TRUE(queue->waitUntilAllOperationsAreFinished(DISPATCH_TIME_NOW));  // empty
    dispatch_semaphore_t release = dispatch_semaphore_create(0);
    std::atomic<int> ran{0};
    queue->addOperationWithBlock([&] {
        dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER);
        ++ran;
    });
    queue->addOperationWithBlock([&] { ++ran; });
    EXPECT_FALSE(queue->waitUntilAllOperationsAreFinished(DISPATCH_TIME_NOW));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(queue->waitUntilAllOperationsAreFinished(dispatch_time(DISPATCH_TIME_NOW, 50 * NSEC_PER_MSEC)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(queue->operationCount(), 2u);
    // Released, both operations end before a generous deadline, and the wait says so.
    dispatch_semaphore_signal(release);
    EXPECT_TRUE(queue->waitUntilAllOperationsAreFinished(
        dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kTimeout * NSEC_PER_SEC))));
    EXPECT_EQ(ran.load(), 2);
    EXPECT_EQ(queue->operationCount(), 0u);
}
