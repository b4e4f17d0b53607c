#include "QueueImpl.h"

#include "MainThread.h"
#include "RunLoopWake.h"
#include "ManualClockImpl.h"
#include "TimerScheduler.h"

#include <platform_dispatch/DispatchActivity.h>
#include <platform_dispatch/ThreadQueueLabels.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>

using dispatch_detail::QueueStack;
using dispatch_detail::WorkerPool;

struct dispatch_queue_attr_s {};
static const dispatch_queue_attr_s concurrentAttr{};
const dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT = &concurrentAttr;

dispatch_queue_s::~dispatch_queue_s() {
    for (auto& [key, s] : specifics)
        if (s.destructor) s.destructor(s.context);
}

namespace dispatch_detail {

QueueStack& currentQueueStack() {
    static thread_local QueueStack stack;
    return stack;
}

namespace {

dispatch_queue_t makeQueue(dispatch_queue_s::Kind kind, std::string label, WorkerPool::Band band) {
    auto q = std::make_shared<dispatch_queue_s>(kind, std::move(label), band);
    q->self = q;
    return q;
}

dispatch_queue_t& mainQueueRef() {
    // Never destroyed: blocks may still be submitted while the process exits.
    static auto* q = new dispatch_queue_t(
        makeQueue(dispatch_queue_s::Kind::Main, "com.apple.main-thread", WorkerPool::High));
    return *q;
}

// Runs one block as a block of `q`. `inherited` are the queues of a caller
// that waits for this block (dispatch_sync).
void runBlock(dispatch_queue_s* q, const dispatch_block_t& block, const QueueStack* inherited) {
    struct Label {
        const char* previous;
        ~Label() { exchangeCurrentQueueLabel(previous); }
    } label{exchangeCurrentQueueLabel(q->label.c_str())};
    QueueStack& stack = currentQueueStack();
    if (inherited) {
        QueueStack saved;
        saved.swap(stack);
        stack = *inherited;
        stack.push_back(q);
        struct Restore {
            QueueStack& stack;
            QueueStack& saved;
            ~Restore() { stack.swap(saved); }
        } restore{stack, saved};
        block();
        return;
    }
    stack.push_back(q);
    struct Pop {
        QueueStack& stack;
        ~Pop() { stack.pop_back(); }
    } pop{stack};
    block();
}

// A serial queue's drain: runs what is queued in FIFO order, handing the
// thread back to the pool now and then so one busy queue cannot hog it.
void drainSerial(const dispatch_queue_t& q) {
    for (int round = 0; round < 16; ++round) {
        std::deque<dispatch_queue_s::Item> batch;
        {
            std::lock_guard lock(q->m);
            if (q->items.empty()) {
                q->drainScheduled = false;
                return;
            }
            batch.swap(q->items);
        }
        for (auto& item : batch) {
            if (WorkerPool::shared().stopping()) return;
            runBlock(q.get(), item.block, nullptr);
            item.block = nullptr;
        }
    }
    WorkerPool::shared().submit([q] { drainSerial(q); }, q->band);
}

void pumpConcurrentLocked(const dispatch_queue_t& q);

void finishConcurrent(const dispatch_queue_t& q, bool barrier) {
    std::lock_guard lock(q->m);
    if (barrier)
        q->barrierRunning = false;
    else
        --q->running;
    pumpConcurrentLocked(q);
}

// Starts what may start: plain blocks while no barrier runs, a barrier once
// everything before it finished.
void pumpConcurrentLocked(const dispatch_queue_t& q) {
    while (!q->items.empty() && !q->barrierRunning) {
        auto& front = q->items.front();
        if (front.barrier) {
            if (q->running > 0) return;
            q->barrierRunning = true;
        } else {
            ++q->running;
        }
        auto item = std::move(front);
        q->items.pop_front();
        WorkerPool::shared().submit(
            [q, item = std::move(item)] {
                runBlock(q.get(), item.block, nullptr);
                finishConcurrent(q, item.barrier);
            },
            q->band);
    }
}

void submit(const dispatch_queue_t& q, dispatch_block_t block, bool barrier) {
    if (!q || !block) return;
    switch (q->kind) {
        case dispatch_queue_s::Kind::Main: {
            {
                std::lock_guard lock(q->m);
                q->items.push_back({std::move(block), false});
            }
            wakeMainRunLoop();
            return;
        }
        case dispatch_queue_s::Kind::Global: {
            dispatch_queue_t keep = q;
            WorkerPool::shared().submit([keep, block = std::move(block)] { runBlock(keep.get(), block, nullptr); },
                                        q->band);
            return;
        }
        case dispatch_queue_s::Kind::Serial: {
            bool start;
            {
                std::lock_guard lock(q->m);
                q->items.push_back({std::move(block), false});
                start = !q->drainScheduled;
                q->drainScheduled = true;
            }
            if (start) {
                dispatch_queue_t keep = q;
                WorkerPool::shared().submit([keep] { drainSerial(keep); }, q->band);
            }
            return;
        }
        case dispatch_queue_s::Kind::Concurrent: {
            std::lock_guard lock(q->m);
            q->items.push_back({std::move(block), barrier});
            pumpConcurrentLocked(q);
            return;
        }
    }
}

bool threadRuns(dispatch_queue_s* q) {
    auto& stack = currentQueueStack();
    if (std::find(stack.begin(), stack.end(), q) != stack.end()) return true;
    return stack.empty() && q == mainQueueRef().get() && isMainThread();
}

[[noreturn]] void fatalSelfWait(const dispatch_queue_s* q) {
    std::fprintf(stderr,
                 "dispatch: dispatch_sync onto queue \"%s\", which the calling thread is already running: "
                 "this would wait for itself forever\n",
                 q->label.c_str());
    std::abort();
}

void syncOnto(const dispatch_queue_t& q, dispatch_block_t block, bool barrier) {
    if (!q || !block) return;
    bool exclusive = q->isSerial() || (barrier && q->kind == dispatch_queue_s::Kind::Concurrent);
    if (exclusive && threadRuns(q.get())) fatalSelfWait(q.get());

    struct Waiter {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
    };
    auto waiter = std::make_shared<Waiter>();
    QueueStack callerStack = currentQueueStack();
    if (callerStack.empty() && isMainThread()) callerStack.push_back(mainQueueRef().get());
    dispatch_queue_s* raw = q.get();
    // A plain block on a concurrent queue with nothing queued and no barrier running runs on
    // the calling thread, as one more running block: the caller waits for it either way, and
    // this spares two thread switches.
    if (q->kind == dispatch_queue_s::Kind::Concurrent && !barrier) {
        bool inlined = false;
        {
            std::lock_guard lock(q->m);
            if (q->items.empty() && !q->barrierRunning) {
                ++q->running;
                inlined = true;
            }
        }
        if (inlined) {
            struct Finish {
                const dispatch_queue_t& q;
                ~Finish() { finishConcurrent(q, false); }
            } finish{q};
            runBlock(raw, block, &callerStack);
            return;
        }
    }
    // The same for a serial queue (not the main queue) that runs and holds nothing: the caller
    // takes the queue for the block's length. Blocks submitted meanwhile wait, and a drain
    // starts for them when it ends.
    if (q->kind == dispatch_queue_s::Kind::Serial) {
        bool inlined = false;
        {
            std::lock_guard lock(q->m);
            if (q->items.empty() && !q->drainScheduled) {
                q->drainScheduled = true;
                inlined = true;
            }
        }
        if (inlined) {
            struct Release {
                const dispatch_queue_t& q;
                ~Release() {
                    bool drain;
                    {
                        std::lock_guard lock(q->m);
                        drain = !q->items.empty();
                        q->drainScheduled = drain;
                    }
                    if (drain) {
                        dispatch_queue_t keep = q;
                        WorkerPool::shared().submit([keep] { drainSerial(keep); }, q->band);
                    }
                }
            } release{q};
            runBlock(raw, block, &callerStack);
            return;
        }
    }
    std::exception_ptr failure;
    submit(
        q,
        [&, waiter, raw] {
            try {
                runBlock(raw, block, &callerStack);
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard lock(waiter->m);
            waiter->done = true;
            waiter->cv.notify_all();
        },
        barrier);
    WorkerPool::BlockedScope blocked;
    std::unique_lock lock(waiter->m);
    waiter->cv.wait(lock, [&] { return waiter->done; });
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

dispatch_queue_s* currentQueue() {
    auto& stack = currentQueueStack();
    if (!stack.empty()) return stack.back();
    return isMainThread() ? mainQueueRef().get() : nullptr;
}

bool drainMainQueue() {
    auto& q = mainQueueRef();
    std::deque<dispatch_queue_s::Item> batch;
    {
        std::lock_guard lock(q->m);
        batch.swap(q->items);
    }
    if (batch.empty()) return false;
    for (auto& item : batch) {
        runBlock(q.get(), item.block, nullptr);
        item.block = nullptr;
    }
    return true;
}

bool mainQueueHasWork() {
    auto& q = mainQueueRef();
    std::lock_guard lock(q->m);
    return !q->items.empty();
}

}  // namespace dispatch_detail

using namespace dispatch_detail;

dispatch_queue_t dispatch_get_main_queue() { return mainQueueRef(); }

bool dispatch_main_queue_has_work() { return mainQueueHasWork(); }

std::size_t dispatch_active_block_count() { return WorkerPool::shared().activeJobs(); }

dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long) {
    static auto* high = new dispatch_queue_t(
        makeQueue(dispatch_queue_s::Kind::Global, "com.apple.root.user-initiated-qos", WorkerPool::High));
    static auto* normal = new dispatch_queue_t(
        makeQueue(dispatch_queue_s::Kind::Global, "com.apple.root.default-qos", WorkerPool::Default));
    static auto* low =
        new dispatch_queue_t(makeQueue(dispatch_queue_s::Kind::Global, "com.apple.root.utility-qos", WorkerPool::Low));
    static auto* background = new dispatch_queue_t(
        makeQueue(dispatch_queue_s::Kind::Global, "com.apple.root.background-qos", WorkerPool::Background));
    switch (priority) {
        case DISPATCH_QUEUE_PRIORITY_HIGH: return *high;
        case DISPATCH_QUEUE_PRIORITY_LOW: return *low;
        case DISPATCH_QUEUE_PRIORITY_BACKGROUND: return *background;
        default: return *normal;
    }
}

dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr) {
    auto kind = attr == DISPATCH_QUEUE_CONCURRENT ? dispatch_queue_s::Kind::Concurrent : dispatch_queue_s::Kind::Serial;
    return makeQueue(kind, label ? label : "", WorkerPool::Default);
}

const char* dispatch_queue_get_label(const dispatch_queue_t& queue) {
    if (queue) return queue->label.c_str();
    dispatch_queue_s* current = currentQueue();
    return current ? current->label.c_str() : "";
}

void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context,
                                 dispatch_function_t destructor) {
    if (!queue || !key) return;
    dispatch_queue_s::Specific old{nullptr, nullptr};
    {
        std::lock_guard lock(queue->m);
        auto it = queue->specifics.find(key);
        if (it != queue->specifics.end()) {
            old = it->second;
            queue->specifics.erase(it);
        }
        if (context) queue->specifics[key] = {context, destructor};
    }
    if (old.destructor && old.context) old.destructor(old.context);
}

void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key) {
    if (!queue) return nullptr;
    std::lock_guard lock(queue->m);
    auto it = queue->specifics.find(key);
    return it == queue->specifics.end() ? nullptr : it->second.context;
}

void* dispatch_get_specific(const void* key) {
    dispatch_queue_s* q = currentQueue();
    if (!q) return nullptr;
    std::lock_guard lock(q->m);
    auto it = q->specifics.find(key);
    return it == q->specifics.end() ? nullptr : it->second.context;
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block) { submit(queue, std::move(block), false); }

void dispatch_sync(const dispatch_queue_t& queue, dispatch_block_t block) { syncOnto(queue, std::move(block), false); }

void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t block) {
    submit(queue, std::move(block), true);
}

void dispatch_barrier_sync(const dispatch_queue_t& queue, dispatch_block_t block) {
    syncOnto(queue, std::move(block), true);
}

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block) {
    if (!queue || !block || when == DISPATCH_TIME_FOREVER) return;
    if (queue->kind == dispatch_queue_s::Kind::Main && dispatch_detail::manualClockActive()) {
        uint64_t at = resolve(when), now = monotonicNow();
        if (dispatch_detail::scheduleManualMainAfter(at > now ? at - now : 0, block)) return;
    }
    const uint64_t at = resolve(when);
    if (at <= monotonicNow()) {
        // Due already: queued at once, as an async block, instead of through the timer thread.
        submit(queue, std::move(block), false);
        return;
    }
    TimerScheduler::shared().schedule(at, [queue, block = std::move(block)]() mutable {
        submit(queue, std::move(block), false);
    });
}

void dispatch_apply(std::size_t iterations, const dispatch_queue_t& queue,
                    const std::function<void(std::size_t)>& block) {
    if (!queue || iterations == 0) return;
    if (queue->isSerial()) {
        dispatch_sync(queue, [&] {
            for (std::size_t i = 0; i < iterations; ++i) block(i);
        });
        return;
    }
    // Helpers on the queue and the caller take indices from one counter; the
    // caller waits for the iterations, not for the helpers: a helper held
    // back (behind a barrier, say) finds nothing left to do when it starts.
    struct Shared {
        std::atomic<std::size_t> next{0};
        std::mutex m;
        std::condition_variable cv;
        std::atomic<std::size_t> completed{0};
        const std::function<void(std::size_t)>* block;
    };
    auto shared = std::make_shared<Shared>();
    shared->block = &block;
    auto work = [shared, iterations] {
        for (std::size_t i; (i = shared->next.fetch_add(1)) < iterations;) {
            (*shared->block)(i);
            if (shared->completed.fetch_add(1) + 1 == iterations) {
                std::lock_guard lock(shared->m);
                shared->cv.notify_all();
            }
        }
    };
    std::size_t helpers = std::min(iterations, WorkerPool::shared().width()) - 1;
    for (std::size_t h = 0; h < helpers; ++h) submit(queue, work, false);
    runBlock(queue.get(), work, nullptr);  // the caller's share also runs as the queue's
    WorkerPool::BlockedScope blocked;
    std::unique_lock lock(shared->m);
    shared->cv.wait(lock, [&] { return shared->completed == iterations; });
}
