#pragma once
// Runs posted blocks on an operation queue one at a time, in the order they were posted,
// whatever the queue's width: only one operation of the chain is ever on the queue, and it
// puts the next one there before it finishes (so the queue never looks idle while blocks
// wait). An operation runs the blocks that are waiting when it runs, up to a few, so a busy
// session pays one queue hop for several events; currentQueue() is the queue inside each
// block, and the queue's other work interleaves between operations.
//
// Thread and lifetime: post() may be called from any thread. Queued blocks hold the chain,
// so they run even after the owner let the SerialDelivery go.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class NSOperationQueue;

class SerialDelivery {
public:
    explicit SerialDelivery(std::shared_ptr<NSOperationQueue> queue);

    void post(std::function<void()> block);

private:
    struct Chain {
        std::shared_ptr<NSOperationQueue> queue;
        std::mutex m;
        std::deque<std::function<void()>> pending;  // the head is on the queue or running
        bool onQueue = false;
    };
    static void enqueueHead(const std::shared_ptr<Chain>& chain);
    static void runHead(const std::shared_ptr<Chain>& chain);

    std::shared_ptr<Chain> chain_;
};
