#pragma once
// Watches whether a host or an address can be reached, and over which kind of interface;
// reports every change through a callback and a notification on the main thread.

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <platform_net/SCNetworkReachability.h>
#include <platform_runtime/ObjCDeclare.h>

enum NKNetworkReachabilityStatus : int64_t {
    NKNetworkReachabilityStatusUnknown = -1,
    NKNetworkReachabilityStatusNotReachable = 0,
    NKNetworkReachabilityStatusReachableViaWWAN = 1,
    NKNetworkReachabilityStatusReachableViaWiFi = 2,
};

// The status the service's flags stand for; never Unknown.
int64_t NKNetworkReachabilityStatusForFlags(SCNetworkReachabilityFlags flags);
// "Not Reachable", "Reachable via WWAN", "Reachable via WiFi" or "Unknown", localised.
std::string NKStringFromNetworkReachabilityStatus(int64_t status);

class NKNetworkReachabilityManager : public NSObject {
    NS_CLASS(NKNetworkReachabilityManager, NSObject)
    NS_AFFECTING_KEYS("reachable", "networkReachabilityStatus")
    NS_AFFECTING_KEYS("reachableViaWWAN", "networkReachabilityStatus")
    NS_AFFECTING_KEYS("reachableViaWiFi", "networkReachabilityStatus")

public:
    using Ptr = std::shared_ptr<NKNetworkReachabilityManager>;
    using StatusBlock = std::function<void(int64_t status)>;

    // The process-wide manager of general internet reachability (never started by us).
    static Ptr sharedManager();
    // A new manager of general internet reachability (the unspecified IPv6 address).
    static Ptr manager();
    static Ptr managerForDomain(const std::string& domain);
    static Ptr managerForAddress(const struct sockaddr* address);

    // Status Unknown until the first report; a null reference never reports.
    explicit NKNetworkReachabilityManager(SCNetworkReachabilityRef reachability);
    // Unavailable: raises NSGenericException.
    NKNetworkReachabilityManager();
    ~NKNetworkReachabilityManager() override;

    int64_t networkReachabilityStatus() const { return status_.load(); }
    void setNetworkReachabilityStatus(int64_t status);
    const SCNetworkReachabilityRef& networkReachability() const { return reachability_; }
    const StatusBlock& networkReachabilityStatusBlock() const { return statusBlock_; }
    void setReachabilityStatusChangeBlock(StatusBlock block) { statusBlock_ = std::move(block); }

    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return networkReachabilityStatus() == NKNetworkReachabilityStatusReachableViaWWAN; }
    bool isReachableViaWiFi() const { return networkReachabilityStatus() == NKNetworkReachabilityStatusReachableViaWiFi; }
    std::string localizedNetworkReachabilityStatusString() const;

    // Reports the current state once, then every change the service tells, on the main
    // queue. Starting again first stops, so there is only ever one registration.
    void startMonitoring();
    // The status and the callback stay as they are.
    void stopMonitoring();

    NS_PROPERTY_ACCESSORS(int64_t, networkReachabilityStatus, "N", networkReachabilityStatus,
                          setNetworkReachabilityStatus)
    NS_READONLY_PROPERTY(bool, reachable, "R,N,GisReachable", isReachable)
    NS_READONLY_PROPERTY(bool, reachableViaWWAN, "R,N,GisReachableViaWWAN", isReachableViaWWAN)
    NS_READONLY_PROPERTY(bool, reachableViaWiFi, "R,N,GisReachableViaWiFi", isReachableViaWiFi)

private:
    SCNetworkReachabilityRef reachability_;
    std::atomic<int64_t> status_{NKNetworkReachabilityStatusUnknown};
    StatusBlock statusBlock_;
};
