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

// Every field of a request, copied and compared whole: a field added here is copied and
// compared without another line. URLs compare by value, header names without case.
struct NSURLRequestFields {
    using Data = std::vector<uint8_t>;
    struct URLValue {
        NSURLPtr url;
        bool operator==(const URLValue& other) const;
    };
    struct HeaderFields {
        NSHTTPHeaderFields fields;
        bool operator==(const HeaderFields& other) const;
    };

    URLValue url;
    URLValue mainDocumentURL;
    std::string method = "GET";
    HeaderFields headers;
    std::optional<Data> body;
    std::shared_ptr<NSInputStream> bodyStream;  // the same stream, not an equal one
    NSURLRequestCachePolicy cachePolicy = NSURLRequestUseProtocolCachePolicy;
    double timeout = 60.0;
    bool handleCookies = true;
    bool pipelining = false;
    bool cellular = true;
    NSURLRequestNetworkServiceType serviceType = NSURLNetworkServiceTypeDefault;

    bool operator==(const NSURLRequestFields& other) const = default;
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
    // Same fields (see NSURLRequestFields).
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

    NSURLRequestPtr copy() const;
    NSMutableURLRequestPtr mutableCopy() const;

    const NSURLPtr& URL() const { return f_.url.url; }
    const NSURLPtr& mainDocumentURL() const { return f_.mainDocumentURL.url; }
    // "GET" unless set.
    const std::string& HTTPMethod() const { return f_.method; }
    const NSHTTPHeaderFields& allHTTPHeaderFields() const { return f_.headers.fields; }
    // The value of a field, name compared without case; nothing when absent.
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    const std::optional<Data>& HTTPBody() const { return f_.body; }
    const std::shared_ptr<NSInputStream>& HTTPBodyStream() const { return f_.bodyStream; }
    NSURLRequestCachePolicy cachePolicy() const { return f_.cachePolicy; }
    double timeoutInterval() const { return f_.timeout; }
    bool HTTPShouldHandleCookies() const { return f_.handleCookies; }
    bool HTTPShouldUsePipelining() const { return f_.pipelining; }
    bool allowsCellularAccess() const { return f_.cellular; }
    NSURLRequestNetworkServiceType networkServiceType() const { return f_.serviceType; }

protected:
    NSURLRequestFields f_;
};

class NSMutableURLRequest : public NSURLRequest {
public:
    static NSMutableURLRequestPtr requestWithURL(NSURLPtr url);

    using NSURLRequest::NSURLRequest;
    std::string className() const override { return "NSMutableURLRequest"; }

    void setURL(NSURLPtr url) { f_.url.url = std::move(url); }
    void setMainDocumentURL(NSURLPtr url) { f_.mainDocumentURL.url = std::move(url); }
    // An empty method reads back as "GET".
    void setHTTPMethod(std::string method);
    // Replaces the field (any spelling of its name); nothing removes it.
    void setValue(std::optional<std::string> value, std::string_view field);
    // Appends ", value" to a present field, else sets it.
    void addValue(std::string value, std::string_view field);
    void setAllHTTPHeaderFields(NSHTTPHeaderFields fields) { f_.headers.fields = std::move(fields); }
    // Setting a body drops a body stream and the other way round.
    void setHTTPBody(std::optional<Data> body);
    void setHTTPBodyStream(std::shared_ptr<NSInputStream> stream);
    void setCachePolicy(NSURLRequestCachePolicy policy) { f_.cachePolicy = policy; }
    void setTimeoutInterval(double seconds) { f_.timeout = seconds; }
    void setHTTPShouldHandleCookies(bool on) { f_.handleCookies = on; }
    void setHTTPShouldUsePipelining(bool on) { f_.pipelining = on; }
    void setAllowsCellularAccess(bool on) { f_.cellular = on; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { f_.serviceType = type; }
};
