#pragma once
// The monitoring kit's HTTP session manager: a kit session manager bound to a base URL and
// a request serializer, with one call per HTTP verb (no per-call headers) that builds the
// request, runs the task and reports to a success or a failure callback. Any thread.

#include <memory>
#include <string>

#include <networking/NKHTTPSessionManagerCore.h>
#include <sdk_http/ZPKNKURLRequestSerialization.h>
#include <sdk_http/ZPKNKURLResponseSerialization.h>
#include <sdk_http/ZPKNKURLSessionManager.h>

class ZPKNKHTTPSessionManager : public NKHTTPSessionManagerCore<ZPKNKURLSessionManager, ZPKNKHTTPRequestSerializer,
                                                                        ZPKNKHTTPResponseSerializer> {
    NS_CLASS(ZPKNKHTTPSessionManager, ZPKNKURLSessionManager)

public:
    using Ptr = std::shared_ptr<ZPKNKHTTPSessionManager>;

    static Ptr manager() { return managerWithBaseURL(nullptr); }
    static Ptr managerWithBaseURL(const NSURLPtr& baseURL, NSURLSessionConfigurationPtr configuration = nullptr) {
        return makeStarted<ZPKNKHTTPSessionManager>(baseURL, std::move(configuration));
    }
    // Use the factories (or makeStarted in a subclass): they make the session once the
    // manager is owned. A base URL with a path gains a trailing "/".
    explicit ZPKNKHTTPSessionManager(const NSURLPtr& baseURL = nullptr,
                                     NSURLSessionConfigurationPtr configuration = nullptr)
        : NKHTTPSessionManagerCore(baseURL, std::move(configuration)) {}

    // A pinning policy needs an "https" base URL: raises "Invalid Security Policy" otherwise.
    void setSecurityPolicy(ZPKNKSecurityPolicy::Ptr policy) override {
        if (policy) NKValidateSecurityPolicyForBaseURL(*policy, baseURL());
        ZPKNKURLSessionManager::setSecurityPolicy(std::move(policy));
    }

    // The verbs return the running task, or nullptr when the request could not be built
    // (failure then gets (nullptr, error) later, on the completion queue).
    NSURLSessionDataTaskPtr GET(const std::string& URLString, const Value& parameters, Success success,
                                Failure failure) {
        return GET(URLString, parameters, nullptr, std::move(success), std::move(failure));
    }
    NSURLSessionDataTaskPtr GET(const std::string& URLString, const Value& parameters, ProgressBlock downloadProgress,
                                Success success, Failure failure) {
        return NKResumed(dataTask("GET", URLString, parameters, nullptr, nullptr, std::move(downloadProgress),
                                  std::move(success), std::move(failure)));
    }
    NSURLSessionDataTaskPtr HEAD(const std::string& URLString, const Value& parameters, HeadSuccess success,
                                 Failure failure) {
        return NKResumed(dataTask("HEAD", URLString, parameters, nullptr, nullptr, nullptr,
                                  NKHeadSuccess(std::move(success)), std::move(failure)));
    }
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, Success success,
                                 Failure failure) {
        return POST(URLString, parameters, ProgressBlock(), std::move(success), std::move(failure));
    }
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, ProgressBlock uploadProgress,
                                 Success success, Failure failure) {
        return NKResumed(dataTask("POST", URLString, parameters, nullptr, std::move(uploadProgress), nullptr,
                                  std::move(success), std::move(failure)));
    }
    // A multipart body streamed from the parameters and what `block` appends.
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, ConstructingBodyBlock block,
                                 Success success, Failure failure) {
        return POST(URLString, parameters, std::move(block), nullptr, std::move(success), std::move(failure));
    }
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, ConstructingBodyBlock block,
                                 ProgressBlock uploadProgress, Success success, Failure failure) {
        return NKResumed(multipartPOSTTask(URLString, parameters, nullptr, block, std::move(uploadProgress),
                                           std::move(success), std::move(failure)));
    }
    NSURLSessionDataTaskPtr PUT(const std::string& URLString, const Value& parameters, Success success,
                                Failure failure) {
        return NKResumed(dataTask("PUT", URLString, parameters, nullptr, nullptr, nullptr, std::move(success),
                                  std::move(failure)));
    }
    NSURLSessionDataTaskPtr PATCH(const std::string& URLString, const Value& parameters, Success success,
                                  Failure failure) {
        return NKResumed(dataTask("PATCH", URLString, parameters, nullptr, nullptr, nullptr, std::move(success),
                                  std::move(failure)));
    }
    NSURLSessionDataTaskPtr DELETE(const std::string& URLString, const Value& parameters, Success success,
                                   Failure failure) {
        return NKResumed(dataTask("DELETE", URLString, parameters, nullptr, nullptr, nullptr, std::move(success),
                                  std::move(failure)));
    }

    // The builder of every non-multipart verb; not resumed.
    NSURLSessionDataTaskPtr dataTaskWithHTTPMethod(const std::string& method, const std::string& URLString,
                                                   const Value& parameters, ProgressBlock uploadProgress,
                                                   ProgressBlock downloadProgress, Success success, Failure failure) {
        return dataTask(method, URLString, parameters, nullptr, std::move(uploadProgress),
                        std::move(downloadProgress), std::move(success), std::move(failure));
    }

    // Same class, base URL and configuration; copies of the serializers and the policy.
    ZPKNKURLSessionManager::Ptr copy() override {
        return copyManager<ZPKNKHTTPSessionManager>();
    }
};
