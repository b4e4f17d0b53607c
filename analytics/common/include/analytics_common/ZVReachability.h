#pragma once
// One network-reachability target of the platform: its status (0 not reachable, 1 Wi-Fi or
// any other non-cellular route, 2 cellular) and a notifier that posts
// "kZVNetworkReachabilityChangedNotification" (sender: this object) on the run loop of the
// thread that started it. Owned by whoever created it; destruction stops the notifier.

#include <cstdint>
#include <memory>
#include <string>

#include <platform_net/SCNetworkReachability.h>
#include <platform_runtime/ObjCDeclare.h>

struct sockaddr;

inline constexpr char kZVNetworkReachabilityChangedNotification[] = "kZVNetworkReachabilityChangedNotification";

class ZVReachability : public NSObject {
    NS_CLASS(ZVReachability, NSObject)
public:
    ZVReachability() = default;
    ~ZVReachability() override;
    static std::shared_ptr<ZVReachability> reachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<ZVReachability> reachabilityWithAddress(const sockaddr* address);
    static std::shared_ptr<ZVReachability> reachabilityForInternetConnection();

    bool startNotifier();
    void stopNotifier();
    int64_t currentReachabilityStatus() const;
    bool connectionRequired() const;
    // Also writes the flags as a diagnostic line through the log bridge.
    static int64_t networkStatusForFlags(SCNetworkReachabilityFlags flags);

    const SCNetworkReachabilityRef& reachabilityRef() const { return reachabilityRef_; }

private:
    static std::shared_ptr<ZVReachability> owning(SCNetworkReachabilityRef ref);
    SCNetworkReachabilityRef reachabilityRef_;
    bool scheduled_ = false;
};
