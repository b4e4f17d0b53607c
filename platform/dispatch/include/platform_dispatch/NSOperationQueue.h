#pragma once
// Runs operations on a dispatch queue, at most a given number at a time (1
// makes it serial), each once its dependencies finished.

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSOperation.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

inline constexpr long NSOperationQueueDefaultMaxConcurrentOperationCount = -1;

class NSOperationQueue : public NSObject {
    NS_CLASS(NSOperationQueue, NSObject)

public:
    static std::shared_ptr<NSOperationQueue> create();
    // The queue whose operations run on the main queue, one at a time.
    static std::shared_ptr<NSOperationQueue> mainQueue();
    // The queue running the calling thread's operation, or null.
    static std::shared_ptr<NSOperationQueue> currentQueue();

    // Adding an operation that is already queued, running or finished does
    // nothing.
    void addOperation(const std::shared_ptr<NSOperation>& operation);
    void addOperationWithBlock(std::function<void()> block);
    // Operations not yet finished, in the order they were added.
    std::vector<std::shared_ptr<NSOperation>> operations() const;
    std::size_t operationCount() const;

    long maxConcurrentOperationCount() const;
    // 1 runs operations one at a time in order; -1 (the default) lets the
    // worker pool decide.
    void setMaxConcurrentOperationCount(long count);
    bool isSuspended() const;
    // A suspended queue starts no operation; running ones go on.
    void setSuspended(bool suspended);
    std::string name() const;
    void setName(const std::string& name);

    // Cancels every operation not yet finished.
    void cancelAllOperations();
    // Blocks until every operation added so far finished.
    void waitUntilAllOperationsAreFinished();
    // The same, but gives up at `deadline`: true when the queue was found empty, false when
    // operations were still queued or running at the deadline (they go on).
    [[nodiscard]] bool waitUntilAllOperationsAreFinished(dispatch_time_t deadline);

    // The dispatch queue operations run on: a private concurrent one unless
    // set; the main queue for mainQueue(). Setting it is ignored while
    // operations are queued, and on the main operation queue.
    dispatch_queue_t underlyingQueue() const;
    void setUnderlyingQueue(const dispatch_queue_t& queue);

    NSOperationQueue();  // use create()

private:
    friend class NSOperation;
    // Starts what may start now.
    void schedule();
    void run(const std::shared_ptr<NSOperation>& operation);

    mutable std::mutex m_;
    std::condition_variable idle_;
    std::deque<std::shared_ptr<NSOperation>> pending_;
    std::vector<std::shared_ptr<NSOperation>> running_;
    long maxConcurrent_ = NSOperationQueueDefaultMaxConcurrentOperationCount;
    bool suspended_ = false;
    bool isMainQueue_ = false;
    std::string name_;
    dispatch_queue_t underlying_;
    dispatch_queue_t own_;
};
