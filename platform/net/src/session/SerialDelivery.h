#pragma once
// Runs posted blocks on an operation queue one at a time, in the order they were posted,
// whatever the queue's width: only one operation of the chain is ever on the queue, and it
// puts the next one there before it finishes (so the queue never looks idle while blocks
// wait). An operation runs the blocks that are waiting when it runs, up to a few, so a busy
// session pays one queue hop for several events; currentQueue() is the queue inside each
// block, and the queue's other work interleaves between operations.
//
// A producer that makes several events in a burst (the loading thread in one turn of its
// loop) holds them instead and hands them over together: hold() queues a block without
// waking the queue and, when nothing is due yet, answers the flush to run at the burst's
// end, which puts the chain on the queue once for all of them.
//
// Thread and lifetime: post(), hold() and flushes may be called from any thread. Queued
// blocks and flushes hold the chain, so they run even after the owner let the
// SerialDelivery go.

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class NSOperationQueue;

class SerialDelivery {
public:
    explicit SerialDelivery(std::shared_ptr<NSOperationQueue> queue);

    void post(std::function<void()> block);
    // Queues the block behind those posted or held before it. Returns the flush that hands
    // the waiting blocks to the queue, or nothing when a flush is already due or the chain
    // is on the queue (it then runs the block without one).
    [[nodiscard]] std::function<void()> hold(std::function<void()> block);

private:
    struct Chain {
        std::shared_ptr<NSOperationQueue> queue;
        std::mutex m;
        std::deque<std::function<void()>> pending;  // the head is on the queue or running
        bool onQueue = false;
        bool flushDue = false;  // a held block waits for the flush hold() answered
    };
    static void flush(const std::shared_ptr<Chain>& chain);
    static void enqueueHead(const std::shared_ptr<Chain>& chain);
    static void runHead(const std::shared_ptr<Chain>& chain);

    std::shared_ptr<Chain> chain_;
};
