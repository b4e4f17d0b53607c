#pragma once
// A URL load request (NSURLRequest) and its mutable form: URL, method, header fields with
// case-insensitive names, body bytes or body stream, cache policy, timeout and the
// connection-level switches.

#include <platform_net/NSURL.h>
#include <platform_runtime/NSObject.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NSInputStream;  // the streams live beside this layer; a request only carries one

// Orders header names without regard to ASCII case, so "content-type" finds "Content-Type".
struct NSHTTPHeaderNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};
// Header fields: the name keeps the spelling it was first set with.
using NSHTTPHeaderFields = std::map<std::string, std::string, NSHTTPHeaderNameLess>;

enum NSURLRequestCachePolicy : uint64_t {
    NSURLRequestUseProtocolCachePolicy = 0,
    NSURLRequestReloadIgnoringLocalCacheData = 1,
    NSURLRequestReloadIgnoringLocalAndRemoteCacheData = 4,
    NSURLRequestReloadIgnoringCacheData = NSURLRequestReloadIgnoringLocalCacheData,
    NSURLRequestReturnCacheDataElseLoad = 2,
    NSURLRequestReturnCacheDataDontLoad = 3,
    NSURLRequestReloadRevalidatingCacheData = 5,
};

enum NSURLRequestNetworkServiceType : uint64_t {
    NSURLNetworkServiceTypeDefault = 0,
    NSURLNetworkServiceTypeVoIP = 1,
    NSURLNetworkServiceTypeVideo = 2,
    NSURLNetworkServiceTypeBackground = 3,
    NSURLNetworkServiceTypeVoice = 4,
    NSURLNetworkServiceTypeResponsiveData = 6,
    NSURLNetworkServiceTypeCallSignaling = 11,
};

class NSURLRequest;
class NSMutableURLRequest;
using NSURLRequestPtr = std::shared_ptr<NSURLRequest>;
using NSMutableURLRequestPtr = std::shared_ptr<NSMutableURLRequest>;

class NSURLRequest : public NSObject {
public:
    using Data = std::vector<uint8_t>;
    static constexpr double DefaultTimeoutInterval = 60.0;

    static NSURLRequestPtr requestWithURL(NSURLPtr url);
    static NSURLRequestPtr requestWithURL(NSURLPtr url, NSURLRequestCachePolicy cachePolicy, double timeoutInterval);

    NSURLRequest() = default;
    explicit NSURLRequest(NSURLPtr url, NSURLRequestCachePolicy cachePolicy = NSURLRequestUseProtocolCachePolicy,
                          double timeoutInterval = DefaultTimeoutInterval);

    std::string className() const override { return "NSURLRequest"; }
    std::string description() const override;
    // Same URL, method, headers, body and policies.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    NSURLRequestPtr copy() const;
    NSMutableURLRequestPtr mutableCopy() const;

    const NSURLPtr& URL() const { return url_; }
    const NSURLPtr& mainDocumentURL() const { return mainDocumentURL_; }
    // "GET" unless set.
    const std::string& HTTPMethod() const { return method_; }
    const NSHTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
    // The value of a field, name compared without case; nothing when absent.
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    const std::optional<Data>& HTTPBody() const { return body_; }
    const std::shared_ptr<NSInputStream>& HTTPBodyStream() const { return bodyStream_; }
    NSURLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    double timeoutInterval() const { return timeout_; }
    bool HTTPShouldHandleCookies() const { return handleCookies_; }
    bool HTTPShouldUsePipelining() const { return pipelining_; }
    bool allowsCellularAccess() const { return cellular_; }
    NSURLRequestNetworkServiceType networkServiceType() const { return serviceType_; }

protected:
    NSURLPtr url_;
    NSURLPtr mainDocumentURL_;
    std::string method_ = "GET";
    NSHTTPHeaderFields headers_;
    std::optional<Data> body_;
    std::shared_ptr<NSInputStream> bodyStream_;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    double timeout_ = DefaultTimeoutInterval;
    bool handleCookies_ = true;
    bool pipelining_ = false;
    bool cellular_ = true;
    NSURLRequestNetworkServiceType serviceType_ = NSURLNetworkServiceTypeDefault;
};

class NSMutableURLRequest : public NSURLRequest {
public:
    static NSMutableURLRequestPtr requestWithURL(NSURLPtr url);

    using NSURLRequest::NSURLRequest;
    std::string className() const override { return "NSMutableURLRequest"; }

    void setURL(NSURLPtr url) { url_ = std::move(url); }
    void setMainDocumentURL(NSURLPtr url) { mainDocumentURL_ = std::move(url); }
    // An empty method reads back as "GET".
    void setHTTPMethod(std::string method);
    // Replaces the field (any spelling of its name); nothing removes it.
    void setValue(std::optional<std::string> value, std::string_view field);
    // Appends ", value" to a present field, else sets it.
    void addValue(std::string value, std::string_view field);
    void setAllHTTPHeaderFields(NSHTTPHeaderFields fields) { headers_ = std::move(fields); }
    // Setting a body drops a body stream and the other way round.
    void setHTTPBody(std::optional<Data> body);
    void setHTTPBodyStream(std::shared_ptr<NSInputStream> stream);
    void setCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    void setTimeoutInterval(double seconds) { timeout_ = seconds; }
    void setHTTPShouldHandleCookies(bool on) { handleCookies_ = on; }
    void setHTTPShouldUsePipelining(bool on) { pipelining_ = on; }
    void setAllowsCellularAccess(bool on) { cellular_ = on; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { serviceType_ = type; }
};
