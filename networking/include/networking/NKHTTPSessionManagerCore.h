#pragma once
// The behaviour of an HTTP session manager, shared by the classes of every prefix: a base
// URL that relative URL strings resolve against, a request serializer, and the building,
// creation and reporting of one task per HTTP verb. The core sits on the family's URL
// session manager (`Base`); the named classes offer their own verbs over it. Any thread.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <networking/NKHTTPRequestSerializerCore.h>
#include <networking/NKURLSessionManagerCore.h>

using NKHTTPHeaders = std::map<std::string, std::string>;
using NKHTTPSuccess = std::function<void(const NSURLSessionDataTaskPtr&, const Value& responseObject)>;
using NKHTTPHeadSuccess = std::function<void(const NSURLSessionDataTaskPtr&)>;
// The task is nullptr when the request could not be built.
using NKHTTPFailure = std::function<void(const NSURLSessionDataTaskPtr&, const NSErrorPtr&)>;

// A base URL with a path gains a trailing "/", so relative strings resolve below it.
NSURLPtr NKNormalisedBaseURL(const NSURLPtr& url);
// "<Class: 0x..., baseURL: ..., session: ...>" from the URL manager's description.
std::string NKHTTPManagerDescription(const std::string& managerDescription, const NSURLPtr& baseURL);

// A task for (method, URL string against the base URL, parameters), with the headers (when
// given) set on the request; not resumed. When the request cannot be built: nullptr, and
// the failure gets (nullptr, error) on the completion queue.
NSURLSessionDataTaskPtr NKHTTPDataTask(NKURLSessionManagerCore& manager, const NKHTTPRequestSerializerCore& serializer,
                                       const NSURLPtr& baseURL, const std::string& method,
                                       const std::string& URLString, const Value& parameters,
                                       const NKHTTPHeaders* headers, NKURLSessionManagerCore::ProgressBlock uploadProgress,
                                       NKURLSessionManagerCore::ProgressBlock downloadProgress, NKHTTPSuccess success,
                                       NKHTTPFailure failure);
// A streamed multipart POST of the parameters and what `block` appends; not resumed.
NSURLSessionDataTaskPtr NKHTTPMultipartPOSTTask(NKURLSessionManagerCore& manager,
                                                const NKHTTPRequestSerializerCore& serializer, const NSURLPtr& baseURL,
                                                const std::string& URLString, const Value& parameters,
                                                const NKHTTPHeaders* headers,
                                                const NKHTTPRequestSerializerCore::ConstructingBodyBlock& block,
                                                NKURLSessionManagerCore::ProgressBlock uploadProgress,
                                                NKHTTPSuccess success, NKHTTPFailure failure);
// The task, resumed (when there is one).
NSURLSessionDataTaskPtr NKResumed(NSURLSessionDataTaskPtr task);
// A success that drops the response object (HEAD).
NKHTTPSuccess NKHeadSuccess(NKHTTPHeadSuccess success);

// `RequestSerializer` / `ResponseSerializer`: the family's HTTP serializer classes.
template <class Base, class RequestSerializer, class ResponseSerializer>
class NKHTTPSessionManagerCore : public Base {
public:
    using Headers = NKHTTPHeaders;
    using Success = NKHTTPSuccess;
    using HeadSuccess = NKHTTPHeadSuccess;
    using Failure = NKHTTPFailure;
    using ConstructingBodyBlock = NKHTTPRequestSerializerCore::ConstructingBodyBlock;
    using ProgressBlock = NKURLSessionManagerCore::ProgressBlock;

    NSURLPtr baseURL() const {
        std::lock_guard lock(httpMutex_);
        return baseURL_;
    }
    void setBaseURL(NSURLPtr url) {
        std::lock_guard lock(httpMutex_);
        baseURL_ = std::move(url);
    }
    typename RequestSerializer::Ptr requestSerializer() const {
        std::lock_guard lock(httpMutex_);
        return requestSerializer_;
    }
    void setRequestSerializer(typename RequestSerializer::Ptr serializer) {
        std::lock_guard lock(httpMutex_);
        requestSerializer_ = std::move(serializer);
    }

    std::string description() const override {
        return NKHTTPManagerDescription(Base::description(), baseURL());
    }

    // Keyed coding: the URL manager's fields, the base URL as text ("baseURL"), then the
    // request serializer, response serializer and policy under their names. Decoding keeps
    // the default serializers where the archive has none and sets a policy only when one
    // is there (through the checking setter).
    void encodeWithCoder(NSCoder& coder) const override {
        Base::encodeWithCoder(coder);
        if (NSURLPtr url = baseURL()) coder.encodeObject(Value(url->absoluteString()), "baseURL");
        if (auto serializer = requestSerializer()) coder.encodeObject(Value(serializer), "requestSerializer");
        if (auto serializer = std::dynamic_pointer_cast<NSObject>(this->responseSerializer())) {
            coder.encodeObject(Value(serializer), "responseSerializer");
        }
        if (auto policy = this->securityPolicy()) coder.encodeObject(Value(policy), "securityPolicy");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (!Base::initWithCoder(coder)) return false;
        Value url = coder.decodeObjectOfClass("NSString", "baseURL");
        setBaseURL(url.isString() ? NKNormalisedBaseURL(NSURL::URLWithString(std::string(url.asString()))) : nullptr);
        if (auto serializer = coder.decodeObjectOfClass(RequestSerializer::staticClassName(), "requestSerializer")
                                  .template objectAs<RequestSerializer>()) {
            setRequestSerializer(std::move(serializer));
        }
        if (auto serializer = coder.decodeObjectOfClass(ResponseSerializer::staticClassName(), "responseSerializer")
                                  .template objectAs<ResponseSerializer>()) {
            this->setResponseSerializer(std::move(serializer));
        }
        using Policy = typename decltype(this->securityPolicy())::element_type;
        if (auto policy =
                coder.decodeObjectOfClass(Policy::staticClassName(), "securityPolicy").template objectAs<Policy>()) {
            this->setSecurityPolicy(std::move(policy));
        }
        return true;
    }

protected:
    NKHTTPSessionManagerCore(const NSURLPtr& baseURL, NSURLSessionConfigurationPtr configuration)
        : Base(std::move(configuration)),
          baseURL_(NKNormalisedBaseURL(baseURL)),
          requestSerializer_(RequestSerializer::serializer()) {}

    // Not resumed; `headers` nullptr sets none.
    NSURLSessionDataTaskPtr dataTask(const std::string& method, const std::string& URLString, const Value& parameters,
                                     const Headers* headers, ProgressBlock uploadProgress,
                                     ProgressBlock downloadProgress, Success success, Failure failure) {
        return NKHTTPDataTask(*this, *requestSerializer(), baseURL(), method, URLString, parameters, headers,
                              std::move(uploadProgress), std::move(downloadProgress), std::move(success),
                              std::move(failure));
    }
    // A new Self over the same base URL and configuration with copies of the request
    // serializer, the response serializer (when it is the family's ResponseSerializer)
    // and the policy.
    template <class Self>
    std::shared_ptr<Self> copyManager() {
        auto other = Base::template makeStarted<Self>(baseURL(), this->session()->configuration());
        if (auto serializer = requestSerializer()) other->setRequestSerializer(serializer->copy());
        if (auto serializer = std::dynamic_pointer_cast<ResponseSerializer>(this->responseSerializer())) {
            other->setResponseSerializer(serializer->copy());
        }
        if (auto policy = this->securityPolicy()) other->setSecurityPolicy(policy->copy());
        return other;
    }
    NSURLSessionDataTaskPtr multipartPOSTTask(const std::string& URLString, const Value& parameters,
                                              const Headers* headers, const ConstructingBodyBlock& block,
                                              ProgressBlock uploadProgress, Success success, Failure failure) {
        return NKHTTPMultipartPOSTTask(*this, *requestSerializer(), baseURL(), URLString, parameters, headers, block,
                                       std::move(uploadProgress), std::move(success), std::move(failure));
    }

private:
    mutable std::mutex httpMutex_;
    NSURLPtr baseURL_;
    typename RequestSerializer::Ptr requestSerializer_;
};
