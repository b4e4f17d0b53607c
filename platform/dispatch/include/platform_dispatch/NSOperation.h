#pragma once
// A unit of work for an operation queue, with cancellation, dependencies and
// a completion block; NSBlockOperation runs blocks.

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCDeclare.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class NSOperationQueue;

class NSOperation : public NSObject {
    NS_CLASS(NSOperation, NSObject)

public:
    NSOperation() = default;
    // Runs the operation on the calling thread: main() unless it was
    // cancelled, then finishes it. Only the first call does anything.
    virtual void start();
    // The work; subclasses override it.
    virtual void main() {}

    // Marks the operation cancelled; one that has not started will finish
    // without running main() and no longer waits for its dependencies.
    void cancel();
    bool isCancelled() const { return cancelled_.load(); }
    bool isExecuting() const { return state_.load() == State::Executing; }
    bool isFinished() const { return state_.load() == State::Finished; }
    // All dependencies finished (or the operation was cancelled).
    bool isReady() const;

    // The operation will not start before `operation` finished.
    void addDependency(const std::shared_ptr<NSOperation>& operation);
    void removeDependency(const std::shared_ptr<NSOperation>& operation);
    std::vector<std::shared_ptr<NSOperation>> dependencies() const;

    // Runs once the operation finished, on the thread that finished it.
    void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;

    std::string name() const;
    void setName(const std::string& name);

private:
    friend class NSOperationQueue;
    enum class State { Pending, Executing, Finished };

    void finish();
    // Lets the queue holding this operation look again for ready work.
    void notifyQueue();

    std::atomic<bool> cancelled_{false};
    std::atomic<State> state_{State::Pending};
    mutable std::mutex m_;
    std::vector<std::shared_ptr<NSOperation>> dependencies_;
    std::vector<std::weak_ptr<NSOperation>> dependents_;
    std::function<void()> completion_;
    std::string name_;
    std::weak_ptr<NSOperationQueue> queue_;
    bool enqueued_ = false;
};

class NSBlockOperation : public NSOperation {
    NS_CLASS(NSBlockOperation, NSOperation)

public:
    static std::shared_ptr<NSBlockOperation> blockOperationWithBlock(std::function<void()> block);
    // Adds a block; an operation that already started takes no more.
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;
    // Runs the blocks one after the other, in the order they were added.
    void main() override;

private:
    mutable std::mutex blocksMutex_;
    std::vector<std::function<void()>> blocks_;
};
