#include <networking/NKNetworkReachabilityManager.h>

#include <netinet/in.h>

#include <platform_dispatch/DispatchOnce.h>

NKNetworkReachabilityManager::Ptr NKNetworkReachabilityManager::sharedManager() {
    static dispatch_once_t once;
    static Ptr shared;
    dispatch_once(&once, [] { shared = manager(); });
    return shared;
}

NKNetworkReachabilityManager::Ptr NKNetworkReachabilityManager::manager() {
    // The unspecified address: the service reports general internet reachability for it.
    struct sockaddr_in6 address {};
    address.sin6_family = AF_INET6;
    return managerForAddress(reinterpret_cast<const struct sockaddr*>(&address));
}

NKNetworkReachabilityManager::Ptr NKNetworkReachabilityManager::managerForDomain(const std::string& domain) {
    return makeForDomain<NKNetworkReachabilityManager>(domain);
}

NKNetworkReachabilityManager::Ptr NKNetworkReachabilityManager::managerForAddress(const struct sockaddr* address) {
    return makeForAddress<NKNetworkReachabilityManager>(address);
}
