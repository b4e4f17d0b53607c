#include <crash_reporting/ZPKCRReachabilityCRCrash.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURL.h>

namespace {

struct CallbackInfo {
    std::weak_ptr<ZPKCRReachabilityCRCrash> watcher;
};

const void* retainInfo(const void* info) { return new CallbackInfo(*static_cast<const CallbackInfo*>(info)); }
void releaseInfo(const void* info) { delete static_cast<const CallbackInfo*>(info); }

void deliver(std::weak_ptr<ZPKCRReachabilityCRCrash> weak, SCNetworkReachabilityFlags flags) {
    dispatch_async(dispatch_get_main_queue(), [weak, flags] {
        if (auto watcher = weak.lock()) watcher->onReachabilityFlagsChanged(flags);
    });
}

void changed(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags, void* info) {
    deliver(static_cast<CallbackInfo*>(info)->watcher, flags);
}

std::shared_ptr<ZPKCRReachabilityCRCrash> withAddress(uint32_t ipv4) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(ipv4);
    return ZPKCRReachabilityCRCrash::reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&address));
}

}  // namespace

ZPKCRReachabilityCRCrash::ZPKCRReachabilityCRCrash(SCNetworkReachabilityRef ref) : reachabilityRef_(std::move(ref)) {}

ZPKCRReachabilityCRCrash::~ZPKCRReachabilityCRCrash() {
    if (reachabilityRef_ && runLoop_) {
        SCNetworkReachabilityUnscheduleFromRunLoop(reachabilityRef_, runLoop_, NSDefaultRunLoopMode);
        SCNetworkReachabilitySetCallback(reachabilityRef_, nullptr, nullptr);
    }
}

bool ZPKCRReachabilityCRCrash::start() {
    CallbackInfo info{std::static_pointer_cast<ZPKCRReachabilityCRCrash>(shared_from_this())};
    SCNetworkReachabilityContext context;
    context.info = &info;
    context.retain = retainInfo;
    context.release = releaseInfo;
    if (!SCNetworkReachabilitySetCallback(reachabilityRef_, changed, &context)) return false;
    auto runLoop = NSRunLoop::currentRunLoop();
    if (!SCNetworkReachabilityScheduleWithRunLoop(reachabilityRef_, runLoop, NSDefaultRunLoopMode)) {
        SCNetworkReachabilitySetCallback(reachabilityRef_, nullptr, nullptr);
        return false;
    }
    runLoop_ = std::move(runLoop);
    auto ref = reachabilityRef_;
    std::weak_ptr<ZPKCRReachabilityCRCrash> weak = info.watcher;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [ref, weak] {
        SCNetworkReachabilityFlags flags = 0;
        if (SCNetworkReachabilityGetFlags(ref, &flags)) deliver(weak, flags);
    });
    return true;
}

std::shared_ptr<ZPKCRReachabilityCRCrash> ZPKCRReachabilityCRCrash::reachabilityWithReachabilityRef(
    SCNetworkReachabilityRef ref, std::string hostname) {
    if (!ref) return nullptr;
    auto watcher = std::make_shared<ZPKCRReachabilityCRCrash>(std::move(ref));
    watcher->setHostname(std::move(hostname));
    if (!watcher->start()) return nullptr;
    return watcher;
}

std::shared_ptr<ZPKCRReachabilityCRCrash> ZPKCRReachabilityCRCrash::reachabilityToHost(const std::string& hostOrURL) {
    std::string host = hostOrURL;
    if (auto url = NSURL::URLWithString(hostOrURL); url && !url->host().empty()) host = url->host();
    if (host.empty()) {
        auto watcher = withAddress(INADDR_ANY);
        return watcher;
    }
    return reachabilityWithReachabilityRef(SCNetworkReachabilityCreateWithName(host.c_str()), host);
}

std::shared_ptr<ZPKCRReachabilityCRCrash> ZPKCRReachabilityCRCrash::reachabilityToLocalNetwork() {
    return withAddress(0xA9FE0000u);  // 169.254.0.0
}

std::shared_ptr<ZPKCRReachabilityCRCrash> ZPKCRReachabilityCRCrash::reachabilityWithAddress(const sockaddr* address) {
    return reachabilityWithReachabilityRef(SCNetworkReachabilityCreateWithAddress(address));
}

bool ZPKCRReachabilityCRCrash::isReachableWithFlags(SCNetworkReachabilityFlags flags) {
    if (!(flags & kSCNetworkReachabilityFlagsReachable)) return false;
    if (!(flags & kSCNetworkReachabilityFlagsConnectionRequired)) return true;
    return (flags & (kSCNetworkReachabilityFlagsConnectionOnDemand | kSCNetworkReachabilityFlagsConnectionOnTraffic)) &&
           !(flags & kSCNetworkReachabilityFlagsInterventionRequired);
}

bool ZPKCRReachabilityCRCrash::updateFlags() {
    SCNetworkReachabilityFlags flags = 0;
    if (!SCNetworkReachabilityGetFlags(reachabilityRef_, &flags)) return false;
    onReachabilityFlagsChanged(flags);
    return true;
}

void ZPKCRReachabilityCRCrash::onReachabilityFlagsChanged(SCNetworkReachabilityFlags newFlags) {
    if (newFlags == flags()) return;
    bool nowReachable = isReachableWithFlags(newFlags);
    bool nowWWANOnly = nowReachable && (newFlags & kSCNetworkReachabilityFlagsIsWWAN);
    setFlags(newFlags);
    if (nowReachable != reachable()) setReachable(nowReachable);
    if (nowWWANOnly != WWANOnly()) setWWANOnly(nowWWANOnly);
    auto self = std::static_pointer_cast<ZPKCRReachabilityCRCrash>(shared_from_this());
    if (onReachabilityChanged_) onReachabilityChanged_(self);
    if (notificationName())
        NSNotificationCenter::defaultCenter()->postNotificationName(*notificationName(), Value(self));
}

std::shared_ptr<ZPKCRReachableOperationCRCrash> ZPKCRReachableOperationCRCrash::operationWithHost(
    const std::string& host, bool allowWWAN, std::function<void()> block) {
    return operationWithReachability(ZPKCRReachabilityCRCrash::reachabilityToHost(host), allowWWAN, std::move(block));
}

std::shared_ptr<ZPKCRReachableOperationCRCrash> ZPKCRReachableOperationCRCrash::operationWithReachability(
    std::shared_ptr<ZPKCRReachabilityCRCrash> reachability, bool allowWWAN, std::function<void()> block) {
    auto operation = std::make_shared<ZPKCRReachableOperationCRCrash>();
    operation->allowWWAN_ = allowWWAN;
    operation->block_ = std::move(block);
    operation->reachability_ = std::move(reachability);
    if (operation->reachability_) {
        std::weak_ptr<ZPKCRReachableOperationCRCrash> weak = operation;
        operation->reachability_->setOnReachabilityChanged([weak](const auto& watcher) {
            if (auto strong = weak.lock()) strong->onChange(*watcher);
        });
    }
    return operation;
}

void ZPKCRReachableOperationCRCrash::onChange(const ZPKCRReachabilityCRCrash& watcher) {
    if (!reachability_ || !watcher.reachable() || (!allowWWAN_ && watcher.WWANOnly())) return;
    auto block = std::move(block_);
    block_ = nullptr;
    // Dropping the watcher ends the change deliveries; the watcher is still in use by the
    // delivery that called us, which holds its own reference.
    reachability_.reset();
    if (block) block();
}
