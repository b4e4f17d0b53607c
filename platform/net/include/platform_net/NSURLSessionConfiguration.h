#pragma once
// The settings a URL session is made with: extra headers, timeouts, connection limits, the
// URL cache and the default cache policy. A session keeps its own copy.

#include <platform_net/NSURLCache.h>
#include <platform_net/NSURLRequest.h>
#include <platform_runtime/NSObject.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class NSURLSessionConfiguration;
using NSURLSessionConfigurationPtr = std::shared_ptr<NSURLSessionConfiguration>;

class NSURLSessionConfiguration : public NSObject {
public:
    // Shared cache (sharedURLCache), cookies, 60 s request / 7 days resource timeouts.
    static NSURLSessionConfigurationPtr defaultSessionConfiguration();
    // Like the default one with a private in-memory cache: nothing it loads outlives it.
    static NSURLSessionConfigurationPtr ephemeralSessionConfiguration();
    // A default configuration carrying the identifier of a background session.
    static NSURLSessionConfigurationPtr backgroundSessionConfigurationWithIdentifier(std::string identifier);

    std::string className() const override { return "NSURLSessionConfiguration"; }
    std::string description() const override;
    NSURLSessionConfigurationPtr copy() const;

    const std::optional<std::string>& identifier() const { return identifier_; }
    // Added to each request that does not set the same field itself.
    const NSHTTPHeaderFields& HTTPAdditionalHeaders() const { return headers_; }
    void setHTTPAdditionalHeaders(NSHTTPHeaderFields headers) { headers_ = std::move(headers); }
    // The longest wait for the next bytes of a transfer.
    double timeoutIntervalForRequest() const { return requestTimeout_; }
    void setTimeoutIntervalForRequest(double seconds) { requestTimeout_ = seconds; }
    // The longest a whole transfer may take.
    double timeoutIntervalForResource() const { return resourceTimeout_; }
    void setTimeoutIntervalForResource(double seconds) { resourceTimeout_ = seconds; }
    int64_t HTTPMaximumConnectionsPerHost() const { return maxPerHost_; }
    void setHTTPMaximumConnectionsPerHost(int64_t count) { maxPerHost_ = count; }
    const NSURLCachePtr& URLCache() const { return cache_; }
    void setURLCache(NSURLCachePtr cache) { cache_ = std::move(cache); }
    NSURLRequestCachePolicy requestCachePolicy() const { return cachePolicy_; }
    void setRequestCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    bool allowsCellularAccess() const { return cellular_; }
    void setAllowsCellularAccess(bool on) { cellular_ = on; }
    bool HTTPShouldSetCookies() const { return cookies_; }
    void setHTTPShouldSetCookies(bool on) { cookies_ = on; }
    bool HTTPShouldUsePipelining() const { return pipelining_; }
    void setHTTPShouldUsePipelining(bool on) { pipelining_ = on; }
    NSURLRequestNetworkServiceType networkServiceType() const { return serviceType_; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { serviceType_ = type; }
    bool isEphemeral() const { return ephemeral_; }

    NSURLSessionConfiguration() = default;

private:
    std::optional<std::string> identifier_;
    NSHTTPHeaderFields headers_;
    double requestTimeout_ = 60;
    double resourceTimeout_ = 7 * 24 * 3600;
    int64_t maxPerHost_ = 6;
    NSURLCachePtr cache_;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    bool cellular_ = true;
    bool cookies_ = true;
    bool pipelining_ = false;
    NSURLRequestNetworkServiceType serviceType_ = NSURLNetworkServiceTypeDefault;
    bool ephemeral_ = false;
};
