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
    auto event = std::make_shared<ZVDispatchEvent>(type, object);
    static ZVWorkDispatch* const dispatcher = sharedInstance().get();
    std::lock_guard lock(dispatcher->submitMutex_);
    dispatcher->dispatchEvent(event, component);
}

void ZVWorkDispatch::dispatchEvent(const std::shared_ptr<ZVDispatchEvent>& event,
                                   const std::shared_ptr<ZVLogDataProtocol>& component) {
    // The event holds itself and its component until it ran; the dispatcher lives for the
    // process. The block carries plain addresses only.
    event->sender_ = component;
    event->self_ = event;
    ZVDispatchEvent* raw = event.get();
    dispatch_async(queue_, [this, raw] {
        const std::shared_ptr<ZVDispatchEvent> held = std::move(raw->self_);
        const std::shared_ptr<ZVLogDataProtocol> sender = std::move(held->sender_);
        run(held, sender);
    });
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
