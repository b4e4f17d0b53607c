#pragma once
// Dispatch queues: the main queue, the global queues by priority, and serial
// and concurrent queues with labels and queue-specific values.

#include <platform_dispatch/DispatchTime.h>

#include <cstddef>
#include <functional>
#include <memory>

struct dispatch_queue_s;
using dispatch_queue_t = std::shared_ptr<dispatch_queue_s>;
using dispatch_block_t = std::function<void()>;
using dispatch_function_t = void (*)(void*);

// Queue kinds for dispatch_queue_create.
struct dispatch_queue_attr_s;
using dispatch_queue_attr_t = const dispatch_queue_attr_s*;
inline constexpr dispatch_queue_attr_t DISPATCH_QUEUE_SERIAL = nullptr;
extern const dispatch_queue_attr_t DISPATCH_QUEUE_CONCURRENT;

// Global queue priorities.
inline constexpr long DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_BACKGROUND = -32768;

// Passed to dispatch_queue_get_label: the label of the queue the calling
// thread is running a block of.
inline const dispatch_queue_t DISPATCH_CURRENT_QUEUE_LABEL = nullptr;

// The serial queue that only the main thread's run loop drains.
dispatch_queue_t dispatch_get_main_queue();
// The shared concurrent queue of a priority (unknown priorities give the
// default one); `flags` is reserved and ignored.
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);
// A new queue: serial (FIFO, one block at a time) unless `attr` is
// DISPATCH_QUEUE_CONCURRENT. A null label reads back as "".
dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr);

// The queue's label; for DISPATCH_CURRENT_QUEUE_LABEL the label of the
// queue running the calling thread's block ("" when there is none).
// Valid as long as the queue lives.
const char* dispatch_queue_get_label(const dispatch_queue_t& queue);

// Attaches `context` to `queue` under `key` (its address identifies it);
// `destructor`, when given, is called with the old context when it is
// replaced or the queue goes away. A null context removes the key.
void dispatch_queue_set_specific(const dispatch_queue_t& queue, const void* key, void* context,
                                 dispatch_function_t destructor);
void* dispatch_queue_get_specific(const dispatch_queue_t& queue, const void* key);
// The value for `key` of the queue running the calling thread's block
// (the main queue on the main thread outside any block); null when unset.
void* dispatch_get_specific(const void* key);

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block);
// Runs `block` on `queue` and returns after it ran. A sync onto a serial
// queue (or the main queue) that the calling thread is already running would
// wait for itself forever: it is reported on stderr and the process aborts,
// as the platform does.
void dispatch_sync(const dispatch_queue_t& queue, dispatch_block_t block);
// Runs `block` on `queue` at (not before) `when`; FOREVER never runs it.
void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block);
// On a queue made with DISPATCH_QUEUE_CONCURRENT the block waits for the
// blocks submitted before it and runs alone; elsewhere it is a plain submit.
void dispatch_barrier_async(const dispatch_queue_t& queue, dispatch_block_t block);
void dispatch_barrier_sync(const dispatch_queue_t& queue, dispatch_block_t block);
// Calls `block(i)` for every i < iterations on `queue`, in parallel on a
// concurrent queue, and returns once all calls returned.
void dispatch_apply(std::size_t iterations, const dispatch_queue_t& queue,
                    const std::function<void(std::size_t)>& block);
