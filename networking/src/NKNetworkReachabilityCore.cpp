#include <networking/NKNetworkReachabilityCore.h>
#include <networking/NKNetworkingNotifications.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/NSException.h>

#include "NKLocalizedString.h"

namespace {

// What the service's callback reaches: stores the status on the manager (held weakly),
// calls its block and answers the manager, or nullptr once it has gone.
using StatusCallback = std::function<std::shared_ptr<NKNetworkReachabilityCore>(int64_t)>;

void postStatusChange(SCNetworkReachabilityFlags flags, const StatusCallback& callback) {
    int64_t status = NKNetworkReachabilityStatusForFlags(flags);
    dispatch_async(dispatch_get_main_queue(), [status, callback] {
        std::shared_ptr<NKNetworkReachabilityCore> manager = callback ? callback(status) : nullptr;
        Value::Dictionary userInfo{{Value(NKNetworkingReachabilityNotificationStatusItem), Value(status)}};
        NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingReachabilityDidChangeNotification,
                                                                    Value(manager), Value(std::move(userInfo)));
    });
}

void reachabilityCallback(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags, void* info) {
    postStatusChange(flags, *static_cast<const StatusCallback*>(info));
}

const void* retainCallback(const void* info) {
    return new StatusCallback(*static_cast<const StatusCallback*>(info));
}

void releaseCallback(const void* info) { delete static_cast<const StatusCallback*>(info); }

}  // namespace

int64_t NKNetworkReachabilityStatusForFlags(SCNetworkReachabilityFlags flags) {
    bool reachable = flags & kSCNetworkReachabilityFlagsReachable;
    bool needsConnection = flags & kSCNetworkReachabilityFlagsConnectionRequired;
    bool canConnectAutomatically =
        flags & (kSCNetworkReachabilityFlagsConnectionOnDemand | kSCNetworkReachabilityFlagsConnectionOnTraffic);
    bool canConnectWithoutUser =
        canConnectAutomatically && !(flags & kSCNetworkReachabilityFlagsInterventionRequired);
    bool networkReachable = reachable && (!needsConnection || canConnectWithoutUser);
    if (!networkReachable) return NKNetworkReachabilityStatusNotReachable;
    if (flags & kSCNetworkReachabilityFlagsIsWWAN) return NKNetworkReachabilityStatusReachableViaWWAN;
    return NKNetworkReachabilityStatusReachableViaWiFi;
}

std::string NKStringFromNetworkReachabilityStatus(int64_t status) {
    switch (status) {
        case NKNetworkReachabilityStatusNotReachable: return NKLocalizedString("Not Reachable");
        case NKNetworkReachabilityStatusReachableViaWWAN: return NKLocalizedString("Reachable via WWAN");
        case NKNetworkReachabilityStatusReachableViaWiFi: return NKLocalizedString("Reachable via WiFi");
        default: return NKLocalizedString("Unknown");
    }
}

NKNetworkReachabilityCore::NKNetworkReachabilityCore(SCNetworkReachabilityRef reachability)
    : reachability_(std::move(reachability)) {}

NKNetworkReachabilityCore::NKNetworkReachabilityCore() {
    NSException::raise("NSGenericException", "`-init` unavailable. Use `-initWithReachability:` instead");
}

NKNetworkReachabilityCore::~NKNetworkReachabilityCore() { stopMonitoring(); }

void NKNetworkReachabilityCore::setNetworkReachabilityStatus(int64_t status) {
    bool observed = hasObservers();
    if (observed) willChangeValueForKey("networkReachabilityStatus");
    status_.store(status);
    if (observed) didChangeValueForKey("networkReachabilityStatus");
}

std::string NKNetworkReachabilityCore::localizedNetworkReachabilityStatusString() const {
    return NKStringFromNetworkReachabilityStatus(networkReachabilityStatus());
}

void NKNetworkReachabilityCore::startMonitoring() {
    stopMonitoring();
    if (!reachability_) return;

    std::weak_ptr<NKNetworkReachabilityCore> weak =
        std::static_pointer_cast<NKNetworkReachabilityCore>(shared_from_this());
    StatusCallback callback = [weak](int64_t status) -> std::shared_ptr<NKNetworkReachabilityCore> {
        auto strong = weak.lock();
        if (!strong) return nullptr;
        strong->setNetworkReachabilityStatus(status);
        if (strong->networkReachabilityStatusBlock()) strong->networkReachabilityStatusBlock()(status);
        return strong;
    };

    SCNetworkReachabilityContext context;
    context.version = 0;
    context.info = &callback;  // retain copies it before this frame ends
    context.retain = retainCallback;
    context.release = releaseCallback;
    SCNetworkReachabilitySetCallback(reachability_, reachabilityCallback, &context);
    SCNetworkReachabilityScheduleWithRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);

    SCNetworkReachabilityRef reachability = reachability_;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), [reachability, callback] {
        SCNetworkReachabilityFlags flags = 0;
        if (SCNetworkReachabilityGetFlags(reachability, &flags)) postStatusChange(flags, callback);
    });
}

void NKNetworkReachabilityCore::stopMonitoring() {
    if (!reachability_) return;
    SCNetworkReachabilityUnscheduleFromRunLoop(reachability_, NSRunLoop::mainRunLoop(), NSRunLoopCommonModes);
}
