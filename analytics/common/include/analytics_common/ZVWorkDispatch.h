#pragma once
// The SDK work queue: every change of analytics state runs on one serial queue
// ("serial.zavez.sdk.queue"). Requests become typed work events; types 1 to 7 are the common
// layer's own jobs, every other type goes to the component that sent it. A component (an
// object implementing ZVLogDataProtocol) becomes known on its first event and stays.
//
// sendEvent may be called from any thread and returns at once; events run in the order of
// the calls (the order in which they reach the queue). Components are called on the work
// queue only.

#include <cstdint>
#include <memory>
#include <vector>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_runtime/ObjCDeclare.h>

enum : int32_t {
    E_ZV_C_BUILD_REPORT = 1,
    E_ZV_C_NET_IDLE = 2,
    E_ZV_C_INNER_DATA = 3,
    E_ZV_C_ZERO_ENVELOPE = 4,
    E_ZV_C_LOAD_CACHE = 5,
    E_ZV_C_ZERO_KEY_GRANTED = 6,
    E_ZV_C_NONE = 7,
};

class ZVLogDataProtocol;

// One work event: its type and its context object (or null).
class ZVDispatchEvent : public NSObject {
    NS_CLASS(ZVDispatchEvent, NSObject)
public:
    ZVDispatchEvent() = default;
    ZVDispatchEvent(int32_t type, Value object) : eEventType(type), object(std::move(object)) {}
    int32_t eEventType = 0;
    Value object;
};

// A plain status record with no user in this system.
class ZVDispatchObject : public NSObject {
    NS_CLASS(ZVDispatchObject, NSObject)
public:
    int16_t eStatus = 0;
    Value object;
};

// What a component of the work dispatcher implements (the usage-analytics engine does).
class ZVLogDataProtocol {
public:
    virtual ~ZVLogDataProtocol() = default;
    virtual void workEvent(const std::shared_ptr<ZVDispatchEvent>& event) = 0;
    // {"header": dictionary, "content": dictionary} or null when there is nothing to send.
    virtual Value setupReportData(int64_t budget) = 0;
    virtual void removeCacheData(const Value& result) = 0;
    // Optional: whether the component contributes to a network-idle report now.
    virtual bool respondsToShoudleSetupReportData() const { return false; }
    virtual bool shoudleSetupReportDataWithContext(const Value&) { return true; }
};

class ZVWorkDispatch : public NSObject {
    NS_CLASS(ZVWorkDispatch, NSObject)
public:
    ZVWorkDispatch();
    static std::shared_ptr<ZVWorkDispatch> sharedInstance();
    static dispatch_queue_t getWorkQueue();
    static bool isInWorkQueue();
    static void sendEvent(const Value& object, int32_t type, const std::shared_ptr<ZVLogDataProtocol>& component);

    // Queues an event made elsewhere (sendEvent queues the event's parts and makes the event
    // on the work queue).
    void dispatchEvent(const std::shared_ptr<ZVDispatchEvent>& event,
                       const std::shared_ptr<ZVLogDataProtocol>& component);
    // A snapshot of the registered components (work queue, or tests after draining it).
    std::vector<std::shared_ptr<ZVLogDataProtocol>> components() const;

    // Tests only: while set, this function receives the common layer's event types 1 to 6
    // instead of the built-in jobs (report, network idle, internal data, zero envelope,
    // cache replay, zero key granted).
    using CommonEventHandler = std::function<void(ZVWorkDispatch& dispatcher, const ZVDispatchEvent& event,
                                                  const std::shared_ptr<ZVLogDataProtocol>& component)>;
    static void setCommonEventHandler(CommonEventHandler handler);

private:
    void run(const std::shared_ptr<ZVDispatchEvent>& event, const std::shared_ptr<ZVLogDataProtocol>& component);
    // The built-in jobs of types 1 to 6 (ZVWorkDispatchCommonEvents.cpp).
    void runCommonEvent(const ZVDispatchEvent& event, const std::shared_ptr<ZVLogDataProtocol>& component);
    dispatch_queue_t queue_;
    std::vector<std::shared_ptr<ZVLogDataProtocol>> components_;  // work queue only
};
