#include <networking/NKHTTPRequestSerializerCore.h>

#include <platform_foundation/Base64.h>
#include <platform_foundation/NSLocale.h>
#include <platform_net/NSURLError.h>

const std::vector<std::string>& NKRequestSerializerObservedProperties() {
    static const std::vector<std::string> properties = {"allowsCellularAccess",    "cachePolicy",
                                                        "HTTPShouldHandleCookies", "HTTPShouldUsePipelining",
                                                        "networkServiceType",      "timeoutInterval"};
    return properties;
}

NKHTTPRequestSerializerCore::NKHTTPRequestSerializerCore()
    : headerQueue_(dispatch_queue_create("requestHeaderModificationQueue", DISPATCH_QUEUE_CONCURRENT)) {
    headers_["Accept-Language"] = NKAcceptLanguageHeader(NSLocale::preferredLanguages());
    if (auto userAgent = NKUserAgentHeader()) headers_["User-Agent"] = *userAgent;
    methodsInURI_ = {"GET", "HEAD", "DELETE"};
}

NKHTTPRequestSerializerCore::~NKHTTPRequestSerializerCore() = default;

// A property counts as set from its first assignment on, even of the value it had.
template <class T>
void NKHTTPRequestSerializerCore::setObserved(const char* key, T& field, T value) {
    const std::string name(key);
    willChangeValueForKey(name);
    field = value;
    {
        std::lock_guard<std::mutex> lock(changedMutex_);
        changedKeyPaths_.insert(name);
    }
    didChangeValueForKey(name);
}

void NKHTTPRequestSerializerCore::setAllowsCellularAccess(bool v) { setObserved("allowsCellularAccess", allowsCellularAccess_, v); }
void NKHTTPRequestSerializerCore::setHTTPShouldHandleCookies(bool v) { setObserved("HTTPShouldHandleCookies", HTTPShouldHandleCookies_, v); }
void NKHTTPRequestSerializerCore::setHTTPShouldUsePipelining(bool v) { setObserved("HTTPShouldUsePipelining", HTTPShouldUsePipelining_, v); }
void NKHTTPRequestSerializerCore::setCachePolicy(uint64_t v) { setObserved("cachePolicy", cachePolicy_, v); }
void NKHTTPRequestSerializerCore::setNetworkServiceType(uint64_t v) { setObserved("networkServiceType", networkServiceType_, v); }
void NKHTTPRequestSerializerCore::setTimeoutInterval(double v) { setObserved("timeoutInterval", timeoutInterval_, v); }

std::set<std::string> NKHTTPRequestSerializerCore::mutableObservedChangedKeyPaths() const {
    std::lock_guard<std::mutex> lock(changedMutex_);
    return changedKeyPaths_;
}

NKHTTPHeaderMap NKHTTPRequestSerializerCore::HTTPRequestHeaders() const {
    NKHTTPHeaderMap copy;
    dispatch_sync(headerQueue_, [&] { copy = headers_; });
    return copy;
}

void NKHTTPRequestSerializerCore::setValue(std::optional<std::string> value, const std::string& field) {
    dispatch_barrier_sync(headerQueue_, [&] {
        if (value) {
            headers_[field] = *value;
        } else {
            headers_.erase(field);
        }
    });
}

std::optional<std::string> NKHTTPRequestSerializerCore::valueForHTTPHeaderField(const std::string& field) const {
    std::optional<std::string> value;
    dispatch_sync(headerQueue_, [&] {
        auto it = headers_.find(field);
        if (it != headers_.end()) value = it->second;
    });
    return value;
}

void NKHTTPRequestSerializerCore::setAuthorizationHeaderFieldWithUsername(const std::string& username,
                                                                      const std::string& password) {
    const std::string credentials = username + ":" + password;
    setValue("Basic " + NSDataBase64EncodedString(credentials.data(), credentials.size()), "Authorization");
}

void NKHTTPRequestSerializerCore::clearAuthorizationHeader() { setValue(std::nullopt, "Authorization"); }

void NKHTTPRequestSerializerCore::setQueryStringSerializationWithStyle(uint64_t style) {
    queryStringSerializationStyle_ = style;
    queryStringSerialization_ = nullptr;
}

void NKHTTPRequestSerializerCore::setQueryStringSerializationWithBlock(NKQueryStringSerializationBlock block) {
    queryStringSerialization_ = std::move(block);
}

NKRequestSerializationSettings NKHTTPRequestSerializerCore::settings() const {
    NKRequestSerializationSettings s;
    s.defaultHeaders = HTTPRequestHeaders();
    s.methodsEncodingParametersInURI = methodsInURI_;
    s.queryStringSerializationStyle = queryStringSerializationStyle_;
    s.queryStringSerialization = queryStringSerialization_;
    s.stringEncoding = stringEncoding_;
    return s;
}

NSMutableURLRequestPtr NKHTTPRequestSerializerCore::requestWithMethod(const std::string& method,
                                                                  const std::string& URLString,
                                                                  const Value& parameters, NSErrorPtr* error) const {
    auto url = NSURL::URLWithString(URLString);
    if (!url) {
        // No request can be made without a URL; say so instead of building an empty one.
        if (error) *error = NSURLErrorWithCode(NSURLErrorBadURL, nullptr, {{NSURLErrorFailingURLStringErrorKey, URLString}});
        return nullptr;
    }
    auto request = std::make_shared<NSMutableURLRequest>(url);
    request->setHTTPMethod(method);

    const auto changed = mutableObservedChangedKeyPaths();
    for (const auto& key : NKRequestSerializerObservedProperties()) {
        if (!changed.count(key)) continue;
        if (key == "allowsCellularAccess") request->setAllowsCellularAccess(allowsCellularAccess_);
        else if (key == "cachePolicy") request->setCachePolicy(static_cast<NSURLRequestCachePolicy>(cachePolicy_));
        else if (key == "HTTPShouldHandleCookies") request->setHTTPShouldHandleCookies(HTTPShouldHandleCookies_);
        else if (key == "HTTPShouldUsePipelining") request->setHTTPShouldUsePipelining(HTTPShouldUsePipelining_);
        else if (key == "networkServiceType")
            request->setNetworkServiceType(static_cast<NSURLRequestNetworkServiceType>(networkServiceType_));
        else if (key == "timeoutInterval") request->setTimeoutInterval(timeoutInterval_);
    }
    auto serialized = requestBySerializingRequest(request, parameters, error);
    return serialized ? serialized->mutableCopy() : nullptr;
}

NSMutableURLRequestPtr NKHTTPRequestSerializerCore::requestBySerializingRequest(const NSURLRequestPtr& request,
                                                                            const Value& parameters,
                                                                            NSErrorPtr* error) const {
    return NKSerializeFormRequest(request, parameters, settings(), error);
}

void NKHTTPRequestSerializerCore::copyConfigurationInto(NKHTTPRequestSerializerCore& other) const {
    auto headers = HTTPRequestHeaders();
    dispatch_barrier_sync(other.headerQueue_, [&] { other.headers_ = std::move(headers); });
    other.queryStringSerializationStyle_ = queryStringSerializationStyle_;
    other.queryStringSerialization_ = queryStringSerialization_;
}

void NKHTTPRequestSerializerCore::encodeWithCoder(NSCoder& coder) const {
    Value::Dictionary headers;
    for (const auto& [k, v] : HTTPRequestHeaders()) headers.emplace(Value(k), Value(v));
    coder.encodeObject(Value(std::move(headers)), "mutableHTTPRequestHeaders");
    coder.encodeObject(Value(queryStringSerializationStyle_), "queryStringSerializationStyle");
}

bool NKHTTPRequestSerializerCore::initWithCoder(NSCoder& coder) {
    // The instance was made by init: fresh defaults; the archived headers replace them, and
    // an archive without headers leaves an empty map.
    Value headers = coder.decodeObjectOfClasses({"NSDictionary", "NSString"}, "mutableHTTPRequestHeaders");
    NKHTTPHeaderMap map;
    for (const auto& [k, v] : headers.asDictionary()) {
        if (k.isString() && v.isString()) map[k.asStdString()] = v.asString();
    }
    dispatch_barrier_sync(headerQueue_, [&] { headers_ = std::move(map); });
    queryStringSerializationStyle_ = coder.decodeObjectOfClass("NSNumber", "queryStringSerializationStyle").unsignedLongLongValue();
    return true;
}
