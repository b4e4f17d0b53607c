#pragma once
// A session manager bound to a base URL and a request serializer: one call per HTTP verb
// builds the request (with the caller's headers), runs the task and reports to a success
// or a failure callback.

#include <memory>
#include <string>

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKHTTPSessionManagerCore.h>
#include <networking/NKURLSessionManager.h>

class NKHTTPSessionManager : public NKHTTPSessionManagerCore<NKURLSessionManager, NKHTTPRequestSerializer, NKHTTPResponseSerializer> {
    NS_CLASS(NKHTTPSessionManager, NKURLSessionManager)

public:
    using Ptr = std::shared_ptr<NKHTTPSessionManager>;

    static Ptr manager();
    static Ptr managerWithBaseURL(const NSURLPtr& baseURL, NSURLSessionConfigurationPtr configuration = nullptr);
    // Prefer the factories above (see NKURLSessionManager). A base URL with a path gains a
    // trailing "/", so relative strings resolve below it.
    explicit NKHTTPSessionManager(const NSURLPtr& baseURL = nullptr, NSURLSessionConfigurationPtr configuration = nullptr)
        : NKHTTPSessionManagerCore(baseURL, std::move(configuration)) {}

    // The response serializer as the HTTP one it must be (nullptr otherwise).
    NKHTTPResponseSerializer::Ptr HTTPResponseSerializer() const {
        return std::dynamic_pointer_cast<NKHTTPResponseSerializer>(responseSerializer());
    }
    // A pinning policy needs an "https" base URL: raises "Invalid Security Policy" otherwise.
    void setSecurityPolicy(NKSecurityPolicy::Ptr policy) override;

    // The verbs return the running task, or nullptr when the request could not be built
    // (failure then gets (nullptr, error) on the completion queue).
    NSURLSessionDataTaskPtr GET(const std::string& URLString, const Value& parameters, const Headers& headers,
                                ProgressBlock downloadProgress, Success success, Failure failure) {
        return NKResumed(dataTask("GET", URLString, parameters, &headers, nullptr, std::move(downloadProgress),
                                  std::move(success), std::move(failure)));
    }
    NSURLSessionDataTaskPtr HEAD(const std::string& URLString, const Value& parameters, const Headers& headers,
                                 HeadSuccess success, Failure failure) {
        return NKResumed(dataTask("HEAD", URLString, parameters, &headers, nullptr, nullptr,
                                  NKHeadSuccess(std::move(success)), std::move(failure)));
    }
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, const Headers& headers,
                                 ProgressBlock uploadProgress, Success success, Failure failure) {
        return NKResumed(dataTask("POST", URLString, parameters, &headers, std::move(uploadProgress), nullptr,
                                  std::move(success), std::move(failure)));
    }
    // A multipart body streamed from the parameters and what `block` appends.
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, const Headers& headers,
                                 ConstructingBodyBlock block, ProgressBlock uploadProgress, Success success,
                                 Failure failure) {
        return NKResumed(multipartPOSTTask(URLString, parameters, &headers, block, std::move(uploadProgress),
                                           std::move(success), std::move(failure)));
    }
    NSURLSessionDataTaskPtr PUT(const std::string& URLString, const Value& parameters, const Headers& headers,
                                Success success, Failure failure) {
        return NKResumed(dataTask("PUT", URLString, parameters, &headers, nullptr, nullptr, std::move(success),
                                  std::move(failure)));
    }
    NSURLSessionDataTaskPtr PATCH(const std::string& URLString, const Value& parameters, const Headers& headers,
                                  Success success, Failure failure) {
        return NKResumed(dataTask("PATCH", URLString, parameters, &headers, nullptr, nullptr, std::move(success),
                                  std::move(failure)));
    }
    NSURLSessionDataTaskPtr DELETE(const std::string& URLString, const Value& parameters, const Headers& headers,
                                   Success success, Failure failure) {
        return NKResumed(dataTask("DELETE", URLString, parameters, &headers, nullptr, nullptr, std::move(success),
                                  std::move(failure)));
    }

    // Not resumed.
    NSURLSessionDataTaskPtr dataTaskWithHTTPMethod(const std::string& method, const std::string& URLString,
                                                   const Value& parameters, const Headers& headers,
                                                   ProgressBlock uploadProgress, ProgressBlock downloadProgress,
                                                   Success success, Failure failure) {
        return dataTask(method, URLString, parameters, &headers, std::move(uploadProgress),
                        std::move(downloadProgress), std::move(success), std::move(failure));
    }

    // Same base URL and configuration; copies of the serializers and the policy.
    NKURLSessionManager::Ptr copy() override;
};
