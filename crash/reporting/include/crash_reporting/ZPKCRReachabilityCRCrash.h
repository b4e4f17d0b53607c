#pragma once
// Watches whether a host (or address) can be reached and tells of changes on the main queue,
// plus an operation that runs a block once, the first time the host becomes reachable.
//
// Threads: create a watcher on a thread whose run loop runs (its platform changes arrive
// there); every delivery (onReachabilityFlagsChanged, the change block, the notification,
// key-value notices of "flags", "reachable", "WWANOnly") happens on the main queue. A watcher
// lives as long as its owners; its platform object is unscheduled and released with it.

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <platform_dispatch/NSRunLoop.h>
#include <platform_net/SCNetworkReachability.h>
#include <platform_runtime/ObjCDeclare.h>

class ZPKCRReachabilityCRCrash : public NSObject {
    NS_CLASS(ZPKCRReachabilityCRCrash, NSObject)
    NS_PROPERTY(std::string, hostname, setHostname, "&,N")
    NS_PROPERTY(uint32_t, flags, setFlags, "N")
    NS_PROPERTY(bool, reachable, setReachable, "N")
    NS_PROPERTY(bool, WWANOnly, setWWANOnly, "N")
    NS_PROPERTY(std::optional<std::string>, notificationName, setNotificationName, "&,N")
public:
    using ChangeBlock = std::function<void(const std::shared_ptr<ZPKCRReachabilityCRCrash>&)>;

    // The host of a URL text, else the text itself; "" watches 0.0.0.0. nullptr when the
    // platform cannot watch it.
    static std::shared_ptr<ZPKCRReachabilityCRCrash> reachabilityToHost(const std::string& hostOrURL);
    // The link-local network 169.254.0.0.
    static std::shared_ptr<ZPKCRReachabilityCRCrash> reachabilityToLocalNetwork();
    static std::shared_ptr<ZPKCRReachabilityCRCrash> reachabilityWithAddress(const struct sockaddr* address);
    // Takes the platform object over; nullptr (and the object released) when it cannot be
    // registered or scheduled.
    static std::shared_ptr<ZPKCRReachabilityCRCrash> reachabilityWithReachabilityRef(SCNetworkReachabilityRef ref,
                                                                                      std::string hostname = {});

    ~ZPKCRReachabilityCRCrash() override;

    // Not reachable → false; reachable without connection-required → true; connection
    // required → only with connection-on-demand or -on-traffic and no intervention required.
    static bool isReachableWithFlags(SCNetworkReachabilityFlags flags);
    // Reads the current flags and applies them; false when the platform cannot tell.
    bool updateFlags();
    // Applies new flags (main queue): nothing when equal to the stored ones; otherwise
    // updates the properties, calls the block, posts the notification.
    void onReachabilityFlagsChanged(SCNetworkReachabilityFlags flags);

    void setOnReachabilityChanged(ChangeBlock block) { onReachabilityChanged_ = std::move(block); }
    const ChangeBlock& onReachabilityChanged() const { return onReachabilityChanged_; }
    const SCNetworkReachabilityRef& reachabilityRef() const { return reachabilityRef_; }

    // Use the factories.
    explicit ZPKCRReachabilityCRCrash(SCNetworkReachabilityRef ref = nullptr);

private:
    bool start();
    SCNetworkReachabilityRef reachabilityRef_;
    std::shared_ptr<NSRunLoop> runLoop_;
    ChangeBlock onReachabilityChanged_;
};

// Runs its block once, on the main queue, the first time its host is reachable (and, unless
// WWAN is allowed, not only through WWAN); then drops its watcher.
class ZPKCRReachableOperationCRCrash : public NSObject {
    NS_CLASS(ZPKCRReachableOperationCRCrash, NSObject)
public:
    static std::shared_ptr<ZPKCRReachableOperationCRCrash> operationWithHost(const std::string& host, bool allowWWAN,
                                                                             std::function<void()> block);
    // The same over a watcher made elsewhere (nullptr: the operation never fires).
    static std::shared_ptr<ZPKCRReachableOperationCRCrash> operationWithReachability(
        std::shared_ptr<ZPKCRReachabilityCRCrash> reachability, bool allowWWAN, std::function<void()> block);
    // The watcher it waits on; nullptr once it fired (or when the host cannot be watched).
    const std::shared_ptr<ZPKCRReachabilityCRCrash>& reachability() const { return reachability_; }

private:
    void onChange(const ZPKCRReachabilityCRCrash& watcher);
    std::shared_ptr<ZPKCRReachabilityCRCrash> reachability_;
    bool allowWWAN_ = false;
    std::function<void()> block_;
};
