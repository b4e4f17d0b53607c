#pragma once
// The process-wide pool of worker threads behind the global and concurrent
// queues (and the drains of serial queues).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace dispatch_detail {

class WorkerPool {
public:
    // Priority bands, highest first.
    enum Band { High = 0, Default = 1, Low = 2, Background = 3, BandCount = 4 };

    static WorkerPool& shared();

    void submit(std::function<void()> job, Band band);
    // The number of threads the pool keeps running when nothing blocks.
    std::size_t width() const { return width_; }
    // Jobs waiting or running, not counting workers blocked in a BlockedScope.
    std::size_t activeJobs();

    // Before the process exits: drops the waiting jobs, refuses new ones, and waits up to
    // `bound` for the running ones to end. Irreversible.
    void stopForExit(std::chrono::milliseconds bound);
    // Whether stopForExit was called; a job running a series of blocks stops between two.
    bool stopping() const { return stopping_.load(std::memory_order_relaxed); }

    // Marks the current worker (if it is one) as blocked while in scope, so
    // the pool may start a stand-in thread: a block waiting on a semaphore
    // or a sync must not starve the work that would release it.
    class BlockedScope {
    public:
        BlockedScope();
        ~BlockedScope();
        BlockedScope(const BlockedScope&) = delete;
        BlockedScope& operator=(const BlockedScope&) = delete;

    private:
        bool active_;
    };

private:
    // An idle worker, waiting on a condition of its own so that a job wakes the worker that
    // went idle last (its caches and its allocator's pages are the warmest), not the one
    // idle longest.
    struct Idler {
        std::condition_variable cv;
        bool woken = false;
    };

    WorkerPool();
    void startThreadLocked();
    // Marks the worker idle the shortest time as woken, when a pending job has no woken worker
    // yet; the caller notifies it once the lock is released (or at once, when it stays held).
    std::shared_ptr<Idler> wakeIdlerLocked();
    void workerLoop();
    // The number of workers able to take a job without a new thread.
    std::size_t availableLocked() const { return idlers_.size() + waking_; }
    void blockedBegin();
    void blockedEnd();

    std::mutex m_;
    std::condition_variable runningEnded_;
    std::atomic<bool> stopping_{false};
    std::deque<std::function<void()>> jobs_[BandCount];
    std::size_t pending_ = 0;
    std::size_t width_;
    std::size_t threads_ = 0;
    std::vector<std::shared_ptr<Idler>> idlers_;  // the last one went idle last
    std::size_t waking_ = 0;                      // idle workers woken that have not yet looked for a job
    std::size_t blocked_ = 0;
    std::size_t running_ = 0;
};

}  // namespace dispatch_detail
