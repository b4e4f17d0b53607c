#include <platform_dispatch/NSOperationQueue.h>

#include "WorkerPool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {
thread_local std::weak_ptr<NSOperationQueue> tlsCurrentQueue;
}

NSOperationQueue::NSOperationQueue() {
    char label[64];
    std::snprintf(label, sizeof label, "NSOperationQueue %p", static_cast<void*>(this));
    own_ = dispatch_queue_create(label, DISPATCH_QUEUE_CONCURRENT);
}

std::shared_ptr<NSOperationQueue> NSOperationQueue::create() { return std::make_shared<NSOperationQueue>(); }

std::shared_ptr<NSOperationQueue> NSOperationQueue::mainQueue() {
    // Never destroyed: operations may be added while the process exits.
    static auto* queue = [] {
        auto q = std::make_shared<NSOperationQueue>();
        q->isMainQueue_ = true;
        q->maxConcurrent_ = 1;
        q->name_ = "NSOperationQueue Main Queue";
        q->own_ = dispatch_get_main_queue();
        return new std::shared_ptr<NSOperationQueue>(std::move(q));
    }();
    return *queue;
}

std::shared_ptr<NSOperationQueue> NSOperationQueue::currentQueue() { return tlsCurrentQueue.lock(); }

void NSOperationQueue::addOperation(const std::shared_ptr<NSOperation>& operation) {
    if (!operation) return;
    {
        std::lock_guard opLock(operation->m_);
        if (operation->enqueued_ || operation->isExecuting() || operation->isFinished()) return;
        operation->enqueued_ = true;
        operation->queue_ = std::static_pointer_cast<NSOperationQueue>(shared_from_this());
    }
    {
        std::lock_guard lock(m_);
        pending_.push_back(operation);
    }
    schedule();
}

void NSOperationQueue::addOperationWithBlock(std::function<void()> block) {
    addOperation(NSBlockOperation::blockOperationWithBlock(std::move(block)));
}

void NSOperationQueue::schedule() {
    std::vector<std::shared_ptr<NSOperation>> toStart;
    dispatch_queue_t target;
    {
        std::lock_guard lock(m_);
        if (suspended_) return;
        target = underlying_ ? underlying_ : own_;
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (maxConcurrent_ >= 0 && static_cast<long>(running_.size()) >= maxConcurrent_) break;
            if (!(*it)->isReady()) {
                ++it;
                continue;
            }
            running_.push_back(*it);
            toStart.push_back(*it);
            it = pending_.erase(it);
        }
    }
    auto self = std::static_pointer_cast<NSOperationQueue>(shared_from_this());
    for (auto& op : toStart) dispatch_async(target, [self, op] { self->run(op); });
}

void NSOperationQueue::run(const std::shared_ptr<NSOperation>& operation) {
    auto previous = tlsCurrentQueue;
    tlsCurrentQueue = std::static_pointer_cast<NSOperationQueue>(shared_from_this());
    operation->start();
    tlsCurrentQueue = previous;
    {
        std::lock_guard lock(m_);
        running_.erase(std::find(running_.begin(), running_.end(), operation));
        if (pending_.empty() && running_.empty()) idle_.notify_all();
    }
    schedule();
}

std::vector<std::shared_ptr<NSOperation>> NSOperationQueue::operations() const {
    std::lock_guard lock(m_);
    std::vector<std::shared_ptr<NSOperation>> all(running_.begin(), running_.end());
    all.insert(all.end(), pending_.begin(), pending_.end());
    return all;
}

std::size_t NSOperationQueue::operationCount() const {
    std::lock_guard lock(m_);
    return running_.size() + pending_.size();
}

long NSOperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(m_);
    return maxConcurrent_;
}

void NSOperationQueue::setMaxConcurrentOperationCount(long count) {
    {
        std::lock_guard lock(m_);
        if (isMainQueue_) return;
        maxConcurrent_ = count < 0 ? NSOperationQueueDefaultMaxConcurrentOperationCount : count;
    }
    schedule();
}

bool NSOperationQueue::isSuspended() const {
    std::lock_guard lock(m_);
    return suspended_;
}

void NSOperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(m_);
        suspended_ = suspended;
    }
    if (!suspended) schedule();
}

std::string NSOperationQueue::name() const {
    std::lock_guard lock(m_);
    return name_;
}

void NSOperationQueue::setName(const std::string& name) {
    std::lock_guard lock(m_);
    name_ = name;
}

void NSOperationQueue::cancelAllOperations() {
    for (auto& op : operations()) op->cancel();
}

void NSOperationQueue::waitUntilAllOperationsAreFinished() {
    dispatch_detail::WorkerPool::BlockedScope blocked;
    std::unique_lock lock(m_);
    idle_.wait(lock, [&] { return pending_.empty() && running_.empty(); });
}

bool NSOperationQueue::waitUntilAllOperationsAreFinished(dispatch_time_t deadline) {
    const auto empty = [&] { return pending_.empty() && running_.empty(); };
    {
        std::lock_guard lock(m_);
        if (empty() || deadline == DISPATCH_TIME_NOW) return empty();
    }
    if (deadline == DISPATCH_TIME_FOREVER) {
        waitUntilAllOperationsAreFinished();
        return true;
    }
    const uint64_t at = dispatch_detail::resolve(deadline);
    dispatch_detail::WorkerPool::BlockedScope blocked;
    std::unique_lock lock(m_);
    while (!empty()) {
        const uint64_t now = dispatch_detail::monotonicNow();
        if (now >= at) return false;
        idle_.wait_for(lock, std::chrono::nanoseconds(at - now));
    }
    return true;
}

dispatch_queue_t NSOperationQueue::underlyingQueue() const {
    std::lock_guard lock(m_);
    if (isMainQueue_) return own_;
    return underlying_;
}

void NSOperationQueue::setUnderlyingQueue(const dispatch_queue_t& queue) {
    std::lock_guard lock(m_);
    if (isMainQueue_ || !pending_.empty() || !running_.empty()) return;
    underlying_ = queue;
}
