#include <platform_dispatch/NSOperation.h>

#include <platform_dispatch/NSOperationQueue.h>

#include <algorithm>

void NSOperation::start() {
    State expected = State::Pending;
    if (!state_.compare_exchange_strong(expected, State::Executing)) return;
    if (!isCancelled()) main();
    finish();
}

void NSOperation::finish() {
    std::function<void()> completion;
    std::vector<std::weak_ptr<NSOperation>> dependents;
    state_.store(State::Finished);
    {
        std::lock_guard lock(m_);
        completion = completion_;
        dependents = dependents_;
    }
    if (completion) completion();
    for (auto& weak : dependents)
        if (auto dependent = weak.lock()) dependent->notifyQueue();
}

void NSOperation::notifyQueue() {
    std::shared_ptr<NSOperationQueue> queue;
    {
        std::lock_guard lock(m_);
        queue = queue_.lock();
    }
    if (queue) queue->schedule();
}

void NSOperation::cancel() {
    if (cancelled_.exchange(true)) return;
    notifyQueue();  // a cancelled operation is ready at once
}

bool NSOperation::isReady() const {
    if (isCancelled()) return true;
    std::lock_guard lock(m_);
    return std::all_of(dependencies_.begin(), dependencies_.end(), [](auto& d) { return d->isFinished(); });
}

void NSOperation::addDependency(const std::shared_ptr<NSOperation>& operation) {
    if (!operation || operation.get() == this) return;
    {
        std::lock_guard lock(m_);
        if (std::find(dependencies_.begin(), dependencies_.end(), operation) != dependencies_.end()) return;
        dependencies_.push_back(operation);
    }
    std::lock_guard lock(operation->m_);
    operation->dependents_.push_back(std::static_pointer_cast<NSOperation>(shared_from_this()));
}

void NSOperation::removeDependency(const std::shared_ptr<NSOperation>& operation) {
    {
        std::lock_guard lock(m_);
        auto it = std::find(dependencies_.begin(), dependencies_.end(), operation);
        if (it == dependencies_.end()) return;
        dependencies_.erase(it);
    }
    notifyQueue();
}

std::vector<std::shared_ptr<NSOperation>> NSOperation::dependencies() const {
    std::lock_guard lock(m_);
    return dependencies_;
}

void NSOperation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard lock(m_);
    completion_ = std::move(block);
}

std::function<void()> NSOperation::completionBlock() const {
    std::lock_guard lock(m_);
    return completion_;
}

std::string NSOperation::name() const {
    std::lock_guard lock(m_);
    return name_;
}

void NSOperation::setName(const std::string& name) {
    std::lock_guard lock(m_);
    name_ = name;
}

std::shared_ptr<NSBlockOperation> NSBlockOperation::blockOperationWithBlock(std::function<void()> block) {
    auto op = std::make_shared<NSBlockOperation>();
    op->addExecutionBlock(std::move(block));
    return op;
}

void NSBlockOperation::addExecutionBlock(std::function<void()> block) {
    if (!block || isExecuting() || isFinished()) return;
    std::lock_guard lock(blocksMutex_);
    blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> NSBlockOperation::executionBlocks() const {
    std::lock_guard lock(blocksMutex_);
    return blocks_;
}

void NSBlockOperation::main() {
    for (auto& block : executionBlocks()) block();
}
