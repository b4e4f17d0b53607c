#include <sdk_http/ZPKNKNetworkReachabilityManager.h>

#include <netinet/in.h>

#include <platform_dispatch/DispatchOnce.h>

ZPKNKNetworkReachabilityManager::Ptr ZPKNKNetworkReachabilityManager::sharedManager() {
    static dispatch_once_t once;
    static Ptr shared;
    dispatch_once(&once, [] { shared = manager(); });
    return shared;
}

ZPKNKNetworkReachabilityManager::Ptr ZPKNKNetworkReachabilityManager::manager() {
    struct sockaddr_in address {};
    address.sin_family = AF_INET;  // 0.0.0.0, port 0: the device's general connectivity
    return managerForAddress(reinterpret_cast<const struct sockaddr*>(&address));
}

ZPKNKNetworkReachabilityManager::Ptr ZPKNKNetworkReachabilityManager::managerForDomain(const std::string& domain) {
    return makeForDomain<ZPKNKNetworkReachabilityManager>(domain);
}

ZPKNKNetworkReachabilityManager::Ptr ZPKNKNetworkReachabilityManager::managerForAddress(
    const struct sockaddr* address) {
    return makeForAddress<ZPKNKNetworkReachabilityManager>(address);
}
