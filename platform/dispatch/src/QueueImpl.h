#pragma once
// The inside of a dispatch queue, and the per-thread record of the queues
// whose blocks the thread is running.

#include <platform_dispatch/DispatchQueue.h>

#include "WorkerPool.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct dispatch_queue_s {
    enum class Kind { Main, Global, Serial, Concurrent };
    struct Item {
        dispatch_block_t block;
        bool barrier = false;
    };
    struct Specific {
        void* context;
        dispatch_function_t destructor;
    };

    dispatch_queue_s(Kind k, std::string l, dispatch_detail::WorkerPool::Band b)
        : kind(k), label(std::move(l)), band(b) {}
    ~dispatch_queue_s();

    const Kind kind;
    const std::string label;
    const dispatch_detail::WorkerPool::Band band;
    std::weak_ptr<dispatch_queue_s> self;

    std::mutex m;
    std::deque<Item> items;
    bool drainScheduled = false;  // serial: a drain job is queued or running
    int running = 0;              // concurrent: plain blocks running
    bool barrierRunning = false;  // concurrent
    std::map<const void*, Specific> specifics;

    bool isSerial() const { return kind == Kind::Main || kind == Kind::Serial; }
};

namespace dispatch_detail {

using QueueStack = std::vector<dispatch_queue_s*>;

// The queues the calling thread runs blocks of, innermost last. A sync
// block carries its waiting caller's queues, so waiting on oneself is seen.
QueueStack& currentQueueStack();
// The innermost queue the calling thread runs (main queue on the main
// thread outside any block), or null.
dispatch_queue_s* currentQueue();

// Runs every block the main queue held when called; false when it was empty.
bool drainMainQueue();
bool mainQueueHasWork();

}  // namespace dispatch_detail
