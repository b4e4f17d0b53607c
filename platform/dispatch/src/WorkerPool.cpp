#include "WorkerPool.h"

#include <platform_kernel/ThreadSignalStack.h>

#include <pthread.h>

#include <algorithm>
#include <thread>

namespace dispatch_detail {

namespace {
thread_local bool tlsIsWorker = false;
// Stand-in threads beyond the width are only started while workers block;
// this caps them so a runaway of blocked blocks cannot exhaust the process.
constexpr std::size_t kMaxThreads = 256;
}  // namespace

WorkerPool& WorkerPool::shared() {
    // Never destroyed: detached workers may still run while the process exits.
    static WorkerPool* pool = new WorkerPool();
    return *pool;
}

WorkerPool::WorkerPool() {
    width_ = std::max<std::size_t>(4, std::thread::hardware_concurrency());
}

void WorkerPool::submit(std::function<void()> job, Band band) {
    std::unique_lock lock(m_);
    if (stopping()) {
        lock.unlock();
        return;  // the job (and what it holds) goes here, outside the lock
    }
    jobs_[band].push_back(std::move(job));
    ++pending_;
    // Workers already woken take jobs without another wake-up; for a job beyond those, the
    // worker idle the shortest time is woken.
    std::shared_ptr<Idler> wake = wakeIdlerLocked();
    // More jobs than idle threads to take them: a job must not wait behind
    // a long one while the pool is below its width.
    if (pending_ > availableLocked() && threads_ - blocked_ < width_ && threads_ < kMaxThreads) startThreadLocked();
    lock.unlock();
    // Woken after the unlock, so the worker does not wake only to wait for the lock (the
    // shared Idler outlives a worker that retires meanwhile). A worker re-checks the jobs and
    // the stopping state under the lock before it runs or waits again, so a wake-up that
    // finds nothing (a busy worker took the job, or the pool began stopping) is harmless.
    if (wake) wake->cv.notify_one();
}

std::shared_ptr<WorkerPool::Idler> WorkerPool::wakeIdlerLocked() {
    if (pending_ <= waking_ || idlers_.empty()) return nullptr;
    auto idler = std::move(idlers_.back());
    idlers_.pop_back();
    idler->woken = true;
    ++waking_;
    return idler;
}

void WorkerPool::startThreadLocked() {
    ++threads_;
    std::thread([this] { workerLoop(); }).detach();
}

void WorkerPool::workerLoop() {
    kernel::installThreadSignalStack();
    tlsIsWorker = true;
    pthread_setname_np(pthread_self(), "dispatch-worker");
    auto self = std::make_shared<Idler>();
    std::unique_lock lock(m_);
    for (;;) {
        // More running threads than wanted (a blocked worker came back):
        // this one retires. Woken for a job it does not take, it passes the wake-up on, or the
        // job would wait for a busy worker (for ever when that worker waits for the job).
        if (threads_ - blocked_ > width_) {
            if (auto next = wakeIdlerLocked()) next->cv.notify_one();
            break;
        }
        if (pending_ == 0 || stopping()) {
            self->woken = false;
            idlers_.push_back(self);
            self->cv.wait(lock, [&] { return self->woken; });
            --waking_;
            continue;
        }
        std::function<void()> job;
        for (auto& band : jobs_) {
            if (!band.empty()) {
                job = std::move(band.front());
                band.pop_front();
                break;
            }
        }
        --pending_;
        ++running_;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        --running_;
        if (stopping()) runningEnded_.notify_all();
    }
    --threads_;
}

std::size_t WorkerPool::activeJobs() {
    std::lock_guard lock(m_);
    return pending_ + running_ - std::min(blocked_, running_);
}

void WorkerPool::stopForExit(std::chrono::milliseconds bound) {
    std::deque<std::function<void()>> dropped[BandCount];
    std::unique_lock lock(m_);
    stopping_.store(true, std::memory_order_relaxed);
    for (int band = 0; band < BandCount; ++band) dropped[band].swap(jobs_[band]);
    pending_ = 0;
    runningEnded_.wait_for(lock, bound, [this] { return running_ == 0; });
}

void WorkerPool::blockedBegin() {
    std::lock_guard lock(m_);
    ++blocked_;
    if (pending_ > availableLocked() && threads_ - blocked_ < width_ && threads_ < kMaxThreads) startThreadLocked();
}

void WorkerPool::blockedEnd() {
    std::lock_guard lock(m_);
    --blocked_;
}

WorkerPool::BlockedScope::BlockedScope() : active_(tlsIsWorker) {
    if (active_) WorkerPool::shared().blockedBegin();
}

WorkerPool::BlockedScope::~BlockedScope() {
    if (active_) WorkerPool::shared().blockedEnd();
}

}  // namespace dispatch_detail
