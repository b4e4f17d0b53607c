#pragma once
// The state and behaviour every HTTP request serializer shares, whatever its prefix: default
// headers (safe from any thread), the request properties the caller set, the parameters as
// URL query or form body, multipart requests with a streamed body, coding and copying. Not
// a runtime class of its own: each named serializer class derives from it (or from a
// subclass core in NKRequestSerializerCores.h) and registers itself. Configure the other
// fields before use.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <networking/NKRequestSerializationCore.h>
#include <networking/NKURLRequestSerialization.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSCoding.h>
#include <platform_net/NSURL.h>
#include <platform_net/NSURLRequest.h>
#include <platform_runtime/ObjCDeclare.h>

class NKMultipartFormData;
class NKStreamingMultipartFormDataCore;

// The six request properties copied onto requests once set, in the order they are applied.
const std::vector<std::string>& NKRequestSerializerObservedProperties();

// In the body of a named serializer class: registers the six request properties with the
// runtime (key-value coding and observing), in the order they are applied.
#define NK_REQUEST_SERIALIZER_PROPERTIES                                                                            \
    NS_PROPERTY_ACCESSORS(bool, allowsCellularAccess, "N", allowsCellularAccess, setAllowsCellularAccess)           \
    NS_PROPERTY_ACCESSORS(bool, HTTPShouldHandleCookies, "N", HTTPShouldHandleCookies, setHTTPShouldHandleCookies)  \
    NS_PROPERTY_ACCESSORS(bool, HTTPShouldUsePipelining, "N", HTTPShouldUsePipelining, setHTTPShouldUsePipelining)  \
    NS_PROPERTY_ACCESSORS(uint64_t, cachePolicy, "N", cachePolicy, setCachePolicy)                                  \
    NS_PROPERTY_ACCESSORS(uint64_t, networkServiceType, "N", networkServiceType, setNetworkServiceType)             \
    NS_PROPERTY_ACCESSORS(double, timeoutInterval, "N", timeoutInterval, setTimeoutInterval)

class NKHTTPRequestSerializerCore : public NSObject, public NKURLRequestSerialization, public NSCoding {
public:
    using ConstructingBodyBlock = std::function<void(NKMultipartFormData& formData)>;
    using WriteCompletionHandler = std::function<void(NSErrorPtr error)>;

    ~NKHTTPRequestSerializerCore() override;

    // --- request properties: applied to requests only after they were set ---------------
    bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool value);
    bool HTTPShouldHandleCookies() const { return HTTPShouldHandleCookies_; }
    void setHTTPShouldHandleCookies(bool value);
    bool HTTPShouldUsePipelining() const { return HTTPShouldUsePipelining_; }
    void setHTTPShouldUsePipelining(bool value);
    uint64_t cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(uint64_t value);
    uint64_t networkServiceType() const { return networkServiceType_; }
    void setNetworkServiceType(uint64_t value);
    double timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(double value);
    // Names of the request properties that were set at least once.
    std::set<std::string> mutableObservedChangedKeyPaths() const;

    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }
    const std::set<std::string>& HTTPMethodsEncodingParametersInURI() const { return methodsInURI_; }
    void setHTTPMethodsEncodingParametersInURI(std::set<std::string> methods) { methodsInURI_ = std::move(methods); }

    // --- default headers (safe from any thread) -----------------------------------------
    NKHTTPHeaderMap HTTPRequestHeaders() const;
    // Nothing removes the field. Names are matched exactly as written.
    void setValue(std::optional<std::string> value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
    void setAuthorizationHeaderFieldWithUsername(const std::string& username, const std::string& password);
    void clearAuthorizationHeader();

    // --- query encoding ---------------------------------------------------------------
    uint64_t queryStringSerializationStyle() const { return queryStringSerializationStyle_; }
    void setQueryStringSerializationWithStyle(uint64_t style);
    void setQueryStringSerializationWithBlock(NKQueryStringSerializationBlock block);
    const NKQueryStringSerializationBlock& queryStringSerialization() const { return queryStringSerialization_; }

    // --- building requests ------------------------------------------------------------
    // nullptr with *error when the URL string is not a URL or the parameters cannot be
    // serialized.
    NSMutableURLRequestPtr requestWithMethod(const std::string& method, const std::string& URLString,
                                             const Value& parameters, NSErrorPtr* error) const;
    // A request whose body stream is the multipart body of the parameters and of what
    // `block` appends.
    NSMutableURLRequestPtr multipartFormRequestWithMethod(const std::string& method, const std::string& URLString,
                                                          const Value& parameters, const ConstructingBodyBlock& block,
                                                          NSErrorPtr* error) const;
    // Returns at once a copy without body stream; the body is written to the file in the
    // background and the completion (if any) runs on the main queue.
    NSMutableURLRequestPtr requestWithMultipartFormRequest(const NSURLRequestPtr& request, const NSURLPtr& fileURL,
                                                           WriteCompletionHandler completionHandler) const;

    NSMutableURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                       NSErrorPtr* error) const override;

    // --- copying and archiving ---------------------------------------------------------
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;
    // Copies what a copy carries (headers, query style and block, and the subclass cores'
    // own fields) into `other`, a fresh instance of the same class.
    virtual void copyConfigurationInto(NKHTTPRequestSerializerCore& other) const;

protected:
    NKHTTPRequestSerializerCore();

    // A snapshot of the configuration for the serialization core.
    NKRequestSerializationSettings settings() const;
    // An empty multipart builder of the family's classes for the request.
    virtual std::shared_ptr<NKStreamingMultipartFormDataCore> makeMultipartFormData(
        const NSURLRequestPtr& request, NSStringEncoding encoding) const = 0;
    // A new S carrying what a copy carries; everything else at its defaults.
    template <class S>
    std::shared_ptr<S> copyAs() const {
        auto other = std::make_shared<S>();
        copyConfigurationInto(*other);
        return other;
    }

private:
    template <class T>
    void setObserved(const char* key, T& field, T value);

    bool allowsCellularAccess_ = false;
    bool HTTPShouldHandleCookies_ = false;
    bool HTTPShouldUsePipelining_ = false;
    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    uint64_t cachePolicy_ = 0;
    uint64_t networkServiceType_ = 0;
    double timeoutInterval_ = 0;
    std::set<std::string> methodsInURI_;
    mutable std::mutex changedMutex_;
    std::set<std::string> changedKeyPaths_;
    NKHTTPHeaderMap headers_;
    dispatch_queue_t headerQueue_;
    uint64_t queryStringSerializationStyle_ = 0;
    NKQueryStringSerializationBlock queryStringSerialization_;
};
