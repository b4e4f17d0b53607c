#include <platform_dispatch/DispatchSource.h>

#include "TimerScheduler.h"

#include <mutex>

using dispatch_detail::TimerScheduler;

struct dispatch_source_type_s {};
static const dispatch_source_type_s timerType{};
const dispatch_source_type_t DISPATCH_SOURCE_TYPE_TIMER = &timerType;

struct dispatch_source_s {
    ~dispatch_source_s() {
        if (timerId) TimerScheduler::shared().cancel(timerId);
    }

    std::mutex m;
    std::weak_ptr<dispatch_source_s> self;
    dispatch_queue_t queue;
    dispatch_block_t handler;
    dispatch_block_t cancelHandler;
    int suspendCount = 1;  // sources start suspended
    bool cancelled = false;
    bool cancelHandlerQueued = false;
    bool deliveryActive = false;  // a handler run is queued or running
    uint64_t pending = 0;         // firings not yet handled

    bool armed = false;
    uint64_t nextFire = 0;
    uint64_t interval = DISPATCH_TIME_FOREVER;
    uint64_t leeway = 0;
    uint64_t generation = 0;  // bumped by every re-arm and the cancel
    TimerScheduler::Id timerId = 0;
};

namespace {

void deliver(const dispatch_source_t& s);

void queueCancelHandlerLocked(dispatch_source_s& s) {
    if (s.cancelHandlerQueued) return;
    s.cancelHandlerQueued = true;
    // Dropping the handlers breaks cycles of handlers that hold the source.
    s.handler = nullptr;
    if (s.cancelHandler) dispatch_async(s.queue, std::move(s.cancelHandler));
    s.cancelHandler = nullptr;
}

void maybeDeliverLocked(const dispatch_source_t& s) {
    if (s->deliveryActive || s->pending == 0 || s->suspendCount > 0 || s->cancelled) return;
    s->deliveryActive = true;
    dispatch_async(s->queue, [s] { deliver(s); });
}

void deliver(const dispatch_source_t& s) {
    dispatch_block_t handler;
    {
        std::lock_guard lock(s->m);
        if (s->cancelled || s->suspendCount > 0 || s->pending == 0) {
            s->deliveryActive = false;
            if (s->cancelled && s->suspendCount == 0) queueCancelHandlerLocked(*s);
            return;
        }
        s->pending = 0;
        handler = s->handler;
    }
    if (handler) handler();
    std::lock_guard lock(s->m);
    s->deliveryActive = false;
    if (s->cancelled) {
        if (s->suspendCount == 0) queueCancelHandlerLocked(*s);
        return;
    }
    maybeDeliverLocked(s);
}

void onFire(const std::weak_ptr<dispatch_source_s>& weak, uint64_t generation);

void armLocked(dispatch_source_s& s) {
    if (s.timerId) TimerScheduler::shared().cancel(s.timerId);
    s.timerId = 0;
    if (!s.armed || s.cancelled) return;
    std::weak_ptr<dispatch_source_s> weak = s.self;
    uint64_t generation = s.generation;
    s.timerId = TimerScheduler::shared().schedule(s.nextFire, [weak, generation] { onFire(weak, generation); });
}

void onFire(const std::weak_ptr<dispatch_source_s>& weak, uint64_t generation) {
    dispatch_source_t s = weak.lock();
    if (!s) return;
    std::lock_guard lock(s->m);
    if (generation != s->generation || s->cancelled) return;
    s->timerId = 0;
    ++s->pending;
    if (s->interval == DISPATCH_TIME_FOREVER) {
        s->armed = false;
    } else {
        // Late firings are not made up one by one: the next one is the first
        // interval boundary after now.
        uint64_t now = dispatch_detail::monotonicNow();
        s->nextFire += s->interval;
        if (s->nextFire <= now) s->nextFire += ((now - s->nextFire) / s->interval + 1) * s->interval;
        armLocked(*s);
    }
    maybeDeliverLocked(s);
}

}  // namespace

dispatch_source_t dispatch_source_create(dispatch_source_type_t type, uintptr_t, unsigned long,
                                         const dispatch_queue_t& queue) {
    if (type != DISPATCH_SOURCE_TYPE_TIMER) return nullptr;
    auto s = std::make_shared<dispatch_source_s>();
    s->self = s;
    s->queue = queue ? queue : dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    return s;
}

void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start, uint64_t interval,
                               uint64_t leeway) {
    if (!source) return;
    std::lock_guard lock(source->m);
    if (source->cancelled) return;
    ++source->generation;
    source->pending = 0;
    source->armed = start != DISPATCH_TIME_FOREVER;
    source->nextFire = dispatch_detail::resolve(start);
    // An interval of 0 would fire without pause; it is taken as one-shot.
    source->interval = interval == 0 ? DISPATCH_TIME_FOREVER : interval;
    source->leeway = leeway;
    armLocked(*source);
}

void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler) {
    if (!source) return;
    std::lock_guard lock(source->m);
    if (!source->cancelled) source->handler = std::move(handler);
}

void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler) {
    if (!source) return;
    std::lock_guard lock(source->m);
    if (!source->cancelHandlerQueued) source->cancelHandler = std::move(handler);
}

void dispatch_source_cancel(const dispatch_source_t& source) {
    if (!source) return;
    std::lock_guard lock(source->m);
    if (source->cancelled) return;
    source->cancelled = true;
    ++source->generation;
    source->armed = false;
    armLocked(*source);
    if (!source->deliveryActive && source->suspendCount == 0) queueCancelHandlerLocked(*source);
}

long dispatch_source_testcancel(const dispatch_source_t& source) {
    if (!source) return 0;
    std::lock_guard lock(source->m);
    return source->cancelled ? 1 : 0;
}

void dispatch_suspend(const dispatch_source_t& source) {
    if (!source) return;
    std::lock_guard lock(source->m);
    ++source->suspendCount;
}

void dispatch_resume(const dispatch_source_t& source) {
    if (!source) return;
    std::lock_guard lock(source->m);
    if (source->suspendCount == 0) return;
    if (--source->suspendCount > 0) return;
    if (source->cancelled) {
        if (!source->deliveryActive) queueCancelHandlerLocked(*source);
        return;
    }
    maybeDeliverLocked(source);
}
