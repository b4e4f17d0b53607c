#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_dispatch/DispatchTime.h>

#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace {

using dispatch_detail::WorkerPool;

// A worker that comes back from a blocking wait leaves one thread too many; the next worker
// to look for a job retires. When that is an idle worker woken for a new job, the job must
// still find a thread, even while the worker that came back waits for that very job.
TEST(WorkerPool, AJobSubmittedAsAWorkerRetiresStillRuns) {
    const std::size_t width = WorkerPool::shared().width();
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        auto release = dispatch_semaphore_create(0);
        auto spinnersDone = dispatch_semaphore_create(0);
        auto jobRan = dispatch_semaphore_create(0);
        auto outcome = dispatch_semaphore_create(0);
        std::atomic<long> waitResult{-2};

        // The returning worker: blocked first, so a full width of threads starts beside it.
        dispatch_async(global, [=, &waitResult] {
            dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER);
            dispatch_async(global, [=] { dispatch_semaphore_signal(jobRan); });
            waitResult = dispatch_semaphore_wait(jobRan, dispatch_time(DISPATCH_TIME_NOW, 5 * int64_t(NSEC_PER_SEC)));
            dispatch_semaphore_signal(outcome);
        });
        // A full width of jobs running at once, which then leave their threads idle.
        std::atomic<std::size_t> started{0};
        for (std::size_t i = 0; i < width; ++i) {
            dispatch_async(global, [=, &started] {
                ++started;
                while (started.load() < width) {
                }
                dispatch_semaphore_signal(spinnersDone);
            });
        }
        for (std::size_t i = 0; i < width; ++i) dispatch_semaphore_wait(spinnersDone, DISPATCH_TIME_FOREVER);
        dispatch_semaphore_signal(release);
        dispatch_semaphore_wait(outcome, DISPATCH_TIME_FOREVER);
        ASSERT_EQ(waitResult.load(), 0) << "the job waited for the busy worker";
    }
}

}  // namespace
