#pragma once
// The monitoring kit's reachability manager: the shared monitoring behaviour under its own
// class; general connectivity is asked for the IPv4 address 0.0.0.0.

#include <memory>
#include <string>

#include <networking/NKNetworkReachabilityCore.h>
#include <platform_runtime/ObjCDeclare.h>

class ZPKNKNetworkReachabilityManager : public NKNetworkReachabilityCore {
    NS_CLASS(ZPKNKNetworkReachabilityManager, NSObject)
    NS_AFFECTING_KEYS("reachable", "networkReachabilityStatus")
    NS_AFFECTING_KEYS("reachableViaWWAN", "networkReachabilityStatus")
    NS_AFFECTING_KEYS("reachableViaWiFi", "networkReachabilityStatus")

public:
    using Ptr = std::shared_ptr<ZPKNKNetworkReachabilityManager>;

    // The process-wide manager of general connectivity; the kit starts it.
    static Ptr sharedManager();
    // A new manager of general connectivity (0.0.0.0, port 0).
    static Ptr manager();
    static Ptr managerForDomain(const std::string& domain);
    static Ptr managerForAddress(const struct sockaddr* address);

    // Status Unknown until the first report; a null reference never reports.
    explicit ZPKNKNetworkReachabilityManager(SCNetworkReachabilityRef reachability)
        : NKNetworkReachabilityCore(std::move(reachability)) {}
    // Unavailable: raises NSGenericException.
    ZPKNKNetworkReachabilityManager() = default;

    NS_PROPERTY_ACCESSORS(int64_t, networkReachabilityStatus, "N", networkReachabilityStatus,
                          setNetworkReachabilityStatus)
    NS_READONLY_PROPERTY(bool, reachable, "R,N,GisReachable", isReachable)
    NS_READONLY_PROPERTY(bool, reachableViaWWAN, "R,N,GisReachableViaWWAN", isReachableViaWWAN)
    NS_READONLY_PROPERTY(bool, reachableViaWiFi, "R,N,GisReachableViaWiFi", isReachableViaWiFi)
};
