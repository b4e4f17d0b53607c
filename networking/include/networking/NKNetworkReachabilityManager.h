#pragma once
// Watches whether a host or an address can be reached, and over which kind of interface;
// reports every change through a callback and a notification on the main thread. General
// internet reachability is asked for the unspecified IPv6 address.

#include <memory>
#include <string>

#include <networking/NKNetworkReachabilityCore.h>
#include <platform_runtime/ObjCDeclare.h>

class NKNetworkReachabilityManager : public NKNetworkReachabilityCore {
    NS_CLASS(NKNetworkReachabilityManager, NSObject)
    NS_AFFECTING_KEYS("reachable", "networkReachabilityStatus")
    NS_AFFECTING_KEYS("reachableViaWWAN", "networkReachabilityStatus")
    NS_AFFECTING_KEYS("reachableViaWiFi", "networkReachabilityStatus")

public:
    using Ptr = std::shared_ptr<NKNetworkReachabilityManager>;

    // The process-wide manager of general internet reachability (never started by us).
    static Ptr sharedManager();
    // A new manager of general internet reachability (the unspecified IPv6 address).
    static Ptr manager();
    static Ptr managerForDomain(const std::string& domain);
    static Ptr managerForAddress(const struct sockaddr* address);

    // Status Unknown until the first report; a null reference never reports.
    explicit NKNetworkReachabilityManager(SCNetworkReachabilityRef reachability)
        : NKNetworkReachabilityCore(std::move(reachability)) {}
    // Unavailable: raises NSGenericException.
    NKNetworkReachabilityManager() = default;

    NS_PROPERTY_ACCESSORS(int64_t, networkReachabilityStatus, "N", networkReachabilityStatus,
                          setNetworkReachabilityStatus)
    NS_READONLY_PROPERTY(bool, reachable, "R,N,GisReachable", isReachable)
    NS_READONLY_PROPERTY(bool, reachableViaWWAN, "R,N,GisReachableViaWWAN", isReachableViaWWAN)
    NS_READONLY_PROPERTY(bool, reachableViaWiFi, "R,N,GisReachableViaWiFi", isReachableViaWiFi)
};
