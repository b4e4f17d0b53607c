#pragma once
// The state and behaviour every reachability manager class shares, whatever its prefix:
// status from the service's flags, monitoring on the main run loop, the status callback and
// the change notification on the main thread. Not a runtime class of its own: each named
// manager class derives from it and registers itself. The status is read from any thread.

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <platform_net/SCNetworkReachability.h>
#include <platform_runtime/NSObject.h>

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

class NKNetworkReachabilityCore : public NSObject {
public:
    using StatusBlock = std::function<void(int64_t status)>;

    ~NKNetworkReachabilityCore() override;

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

protected:
    // Status Unknown until the first report; a null reference never reports.
    explicit NKNetworkReachabilityCore(SCNetworkReachabilityRef reachability);
    // Raises NSGenericException: a manager needs a reachability reference.
    NKNetworkReachabilityCore();

    template <class M>
    static std::shared_ptr<M> makeForDomain(const std::string& domain) {
        return std::make_shared<M>(SCNetworkReachabilityCreateWithName(domain.c_str()));
    }
    template <class M>
    static std::shared_ptr<M> makeForAddress(const struct sockaddr* address) {
        return std::make_shared<M>(SCNetworkReachabilityCreateWithAddress(address));
    }

private:
    SCNetworkReachabilityRef reachability_;
    std::atomic<int64_t> status_{NKNetworkReachabilityStatusUnknown};
    StatusBlock statusBlock_;
};
