#include <analytics_common/ZVReachability.h>

#include <cstring>

#include <netinet/in.h>

#include <analytics_common/ZVCommonLog.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_foundation/NSNotificationCenter.h>

namespace {

void changed(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags, void* info) {
    auto* self = static_cast<ZVReachability*>(info);
    NSNotificationCenter::defaultCenter()->postNotificationName(kZVNetworkReachabilityChangedNotification,
                                                                Value(self->shared_from_this()));
}

}  // namespace

std::shared_ptr<ZVReachability> ZVReachability::owning(SCNetworkReachabilityRef ref) {
    if (!ref) return nullptr;
    auto r = std::make_shared<ZVReachability>();
    r->reachabilityRef_ = std::move(ref);
    return r;
}

ZVReachability::~ZVReachability() {
    stopNotifier();
    if (reachabilityRef_) SCNetworkReachabilitySetCallback(reachabilityRef_, nullptr, nullptr);
}

std::shared_ptr<ZVReachability> ZVReachability::reachabilityWithHostName(const std::string& hostName) {
    return owning(SCNetworkReachabilityCreateWithName(hostName.c_str()));
}

std::shared_ptr<ZVReachability> ZVReachability::reachabilityWithAddress(const sockaddr* address) {
    return owning(SCNetworkReachabilityCreateWithAddress(address));
}

std::shared_ptr<ZVReachability> ZVReachability::reachabilityForInternetConnection() {
    sockaddr_in zero;
    std::memset(&zero, 0, sizeof zero);
    zero.sin_family = AF_INET;
    return reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&zero));
}

bool ZVReachability::startNotifier() {
    if (!reachabilityRef_) return false;
    SCNetworkReachabilityContext context;
    context.info = this;  // no retain: the object unschedules itself before it goes
    if (!SCNetworkReachabilitySetCallback(reachabilityRef_, &changed, &context)) return false;
    scheduled_ = SCNetworkReachabilityScheduleWithRunLoop(reachabilityRef_, NSRunLoop::currentRunLoop(),
                                                          NSDefaultRunLoopMode);
    return scheduled_;
}

void ZVReachability::stopNotifier() {
    if (reachabilityRef_ && scheduled_) {
        SCNetworkReachabilityUnscheduleFromRunLoop(reachabilityRef_, NSRunLoop::currentRunLoop(),
                                                   NSDefaultRunLoopMode);
        scheduled_ = false;
    }
}

int64_t ZVReachability::currentReachabilityStatus() const {
    SCNetworkReachabilityFlags flags = 0;
    if (!SCNetworkReachabilityGetFlags(reachabilityRef_, &flags)) return 0;
    return networkStatusForFlags(flags);
}

bool ZVReachability::connectionRequired() const {
    SCNetworkReachabilityFlags flags = 0;
    return SCNetworkReachabilityGetFlags(reachabilityRef_, &flags) &&
           (flags & kSCNetworkReachabilityFlagsConnectionRequired);
}

int64_t ZVReachability::networkStatusForFlags(SCNetworkReachabilityFlags flags) {
    auto f = [flags](SCNetworkReachabilityFlags bit, char c) { return (flags & bit) ? c : '-'; };
    const std::string letters{f(kSCNetworkReachabilityFlagsIsWWAN, 'W'),
                              f(kSCNetworkReachabilityFlagsReachable, 'R'),
                              ' ',
                              f(kSCNetworkReachabilityFlagsTransientConnection, 't'),
                              f(kSCNetworkReachabilityFlagsConnectionRequired, 'c'),
                              f(kSCNetworkReachabilityFlagsConnectionOnTraffic, 'C'),
                              f(kSCNetworkReachabilityFlagsInterventionRequired, 'i'),
                              f(kSCNetworkReachabilityFlagsConnectionOnDemand, 'D'),
                              f(kSCNetworkReachabilityFlagsIsLocalAddress, 'l'),
                              f(kSCNetworkReachabilityFlagsIsDirect, 'd')};
    ZVCommonLogWrite(ZVCommonLogComponentCommon, ZVLogFlagDebug, __FILE__,
                     "void PrintReachabilityFlags(SCNetworkReachabilityFlags, const char *)", 59,
                     "Reachability Flag Status: %@ %s\n", {Value(letters), Value("networkStatusForFlags")});
    if (!(flags & kSCNetworkReachabilityFlagsReachable)) return 0;
    if (flags & kSCNetworkReachabilityFlagsIsWWAN) return 2;
    if ((flags & (kSCNetworkReachabilityFlagsConnectionOnDemand | kSCNetworkReachabilityFlagsConnectionOnTraffic)) &&
        !(flags & kSCNetworkReachabilityFlagsInterventionRequired))
        return 1;
    return (flags & kSCNetworkReachabilityFlagsConnectionRequired) ? 0 : 1;
}
