#pragma once
// Dispatch sources; the timer kind: a handler run on a queue at a start time
// and then every interval, re-armable, suspendable and cancellable.

#include <platform_dispatch/DispatchQueue.h>

#include <cstdint>
#include <memory>

struct dispatch_source_s;
using dispatch_source_t = std::shared_ptr<dispatch_source_s>;

struct dispatch_source_type_s;
using dispatch_source_type_t = const dispatch_source_type_s*;
extern const dispatch_source_type_t DISPATCH_SOURCE_TYPE_TIMER;

// A new source, suspended until the first dispatch_resume; its handlers run
// on `queue` (the default global queue when null). Only timers are made;
// other types give null. The timer stops when its last handle is released.
dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t handle, unsigned long mask,
                                         const dispatch_queue_t& queue);
// (Re-)arms the timer: first at `start` (FOREVER disarms it), then every
// `interval` ns (DISPATCH_TIME_FOREVER: once). `leeway` is the delay the
// caller tolerates; firings are never early. Firings missed while the
// handler ran or the source was suspended run the handler once.
void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start, uint64_t interval,
                               uint64_t leeway);
void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler);
// Runs once on the source's queue after cancellation, after any handler run.
void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler);
// Stops further handler runs; a run under way finishes.
void dispatch_source_cancel(const dispatch_source_t& source);
// Non-zero once the source was cancelled.
long dispatch_source_testcancel(const dispatch_source_t& source);

// Suspension counts: handlers run only while every suspend was matched by a
// resume. A resume beyond that is ignored.
void dispatch_suspend(const dispatch_source_t& source);
void dispatch_resume(const dispatch_source_t& source);
