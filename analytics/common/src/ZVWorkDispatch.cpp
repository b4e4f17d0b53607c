#include <analytics_common/ZVWorkDispatch.h>

#include <mutex>

#include <analytics_common/ZVCommonLog.h>

namespace {
// The address identifies the queue-specific marker; its value is the dispatcher.
const char kQueueMarker = 0;

std::mutex handlerMutex;
ZVWorkDispatch::CommonEventHandler& commonHandler() {
    static ZVWorkDispatch::CommonEventHandler handler;
    return handler;
}
}  // namespace

ZVWorkDispatch::ZVWorkDispatch() : queue_(dispatch_queue_create("serial.zavez.sdk.queue", DISPATCH_QUEUE_SERIAL)) {
    components_.reserve(4);
    dispatch_queue_set_specific(queue_, &kQueueMarker, this, nullptr);
}

std::shared_ptr<ZVWorkDispatch> ZVWorkDispatch::sharedInstance() {
    // Never destroyed: blocks still queued at exit may run after static destruction.
    static const auto* instance = new std::shared_ptr<ZVWorkDispatch>(std::make_shared<ZVWorkDispatch>());
    return *instance;
}

dispatch_queue_t ZVWorkDispatch::getWorkQueue() { return sharedInstance()->queue_; }

bool ZVWorkDispatch::isInWorkQueue() { return dispatch_get_specific(&kQueueMarker) == sharedInstance().get(); }

void ZVWorkDispatch::sendEvent(const Value& object, int32_t type, const std::shared_ptr<ZVLogDataProtocol>& component) {
    static ZVWorkDispatch* const dispatcher = sharedInstance().get();
    // The queued block carries the event's parts and makes the event on the work queue, where
    // it is also released: the sending thread allocates one small block, and the work queue's
    // thread gives back what it allocated itself. The queue's own lock orders submissions from
    // every thread; the dispatcher takes none of its own.
    // The captures are plain (not const) copies, so the block moves into the queue instead of
    // being copied once more: a copy would touch the component's shared count twice, a cache line
    // the work queue's thread writes too.
    dispatch_async(dispatcher->queue_, [type, object = Value(object), component = component]() mutable {
        dispatcher->run(std::make_shared<ZVDispatchEvent>(type, std::move(object)), component);
    });
}

void ZVWorkDispatch::dispatchEvent(const std::shared_ptr<ZVDispatchEvent>& event,
                                   const std::shared_ptr<ZVLogDataProtocol>& component) {
    // The dispatcher lives for the process; the block holds the event and its component.
    dispatch_async(queue_, [this, event = event, component = component] { run(event, component); });
}

std::vector<std::shared_ptr<ZVLogDataProtocol>> ZVWorkDispatch::components() const { return components_; }

void ZVWorkDispatch::setCommonEventHandler(CommonEventHandler handler) {
    std::lock_guard lock(handlerMutex);
    commonHandler() = std::move(handler);
}

void ZVWorkDispatch::run(const std::shared_ptr<ZVDispatchEvent>& event,
                         const std::shared_ptr<ZVLogDataProtocol>& component) {
    if (component) {
        bool known = false;
        for (const auto& c : components_) known = known || c == component;
        if (!known) components_.push_back(component);
    }
    const int32_t type = event->eEventType;
    if (static_cast<uint32_t>(type) - 1u >= 7u) {
        if (!component) {
            ZVLOG_COMMON(ZVLogFlagDebug, "ERROR, no match event type:%d", Value(type));
            return;
        }
        component->workEvent(event);
        return;
    }
    if (type == E_ZV_C_NONE) return;
    CommonEventHandler handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = commonHandler();
    }
    if (handler) {
        handler(*this, *event, component);
        return;
    }
    runCommonEvent(*event, component);
}
