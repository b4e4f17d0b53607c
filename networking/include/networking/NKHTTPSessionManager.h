#pragma once
// A session manager bound to a base URL and a request serializer: one call per HTTP verb
// builds the request, runs the task and reports to a success or a failure callback.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKURLSessionManager.h>

class NKHTTPSessionManager : public NKURLSessionManager {
    NS_CLASS(NKHTTPSessionManager, NKURLSessionManager)

public:
    using Ptr = std::shared_ptr<NKHTTPSessionManager>;
    using Headers = std::map<std::string, std::string>;
    using Success = std::function<void(const NSURLSessionDataTaskPtr&, const Value& responseObject)>;
    using HeadSuccess = std::function<void(const NSURLSessionDataTaskPtr&)>;
    // The task is nullptr when the request could not be built.
    using Failure = std::function<void(const NSURLSessionDataTaskPtr&, const NSErrorPtr&)>;
    using ConstructingBodyBlock = NKHTTPRequestSerializer::ConstructingBodyBlock;

    static Ptr manager();
    static Ptr managerWithBaseURL(const NSURLPtr& baseURL, NSURLSessionConfigurationPtr configuration = nullptr);
    // Prefer the factories above (see NKURLSessionManager). A base URL with a path gains a
    // trailing "/", so relative strings resolve below it.
    explicit NKHTTPSessionManager(const NSURLPtr& baseURL = nullptr, NSURLSessionConfigurationPtr configuration = nullptr);

    NSURLPtr baseURL() const;
    void setBaseURL(NSURLPtr url);
    NKHTTPRequestSerializer::Ptr requestSerializer() const;
    void setRequestSerializer(NKHTTPRequestSerializer::Ptr serializer);
    // The response serializer as the HTTP one it must be (nullptr otherwise).
    NKHTTPResponseSerializer::Ptr HTTPResponseSerializer() const;
    // A pinning policy needs an "https" base URL: raises "Invalid Security Policy" otherwise.
    void setSecurityPolicy(NKSecurityPolicy::Ptr policy) override;

    // The verbs return the running task, or nullptr when the request could not be built
    // (failure then gets (nullptr, error) on the completion queue).
    NSURLSessionDataTaskPtr GET(const std::string& URLString, const Value& parameters, const Headers& headers,
                                ProgressBlock downloadProgress, Success success, Failure failure);
    NSURLSessionDataTaskPtr HEAD(const std::string& URLString, const Value& parameters, const Headers& headers,
                                 HeadSuccess success, Failure failure);
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, const Headers& headers,
                                 ProgressBlock uploadProgress, Success success, Failure failure);
    // A multipart body streamed from the parameters and what `block` appends.
    NSURLSessionDataTaskPtr POST(const std::string& URLString, const Value& parameters, const Headers& headers,
                                 ConstructingBodyBlock block, ProgressBlock uploadProgress, Success success,
                                 Failure failure);
    NSURLSessionDataTaskPtr PUT(const std::string& URLString, const Value& parameters, const Headers& headers,
                                Success success, Failure failure);
    NSURLSessionDataTaskPtr PATCH(const std::string& URLString, const Value& parameters, const Headers& headers,
                                  Success success, Failure failure);
    NSURLSessionDataTaskPtr DELETE(const std::string& URLString, const Value& parameters, const Headers& headers,
                                   Success success, Failure failure);

    // Not resumed.
    NSURLSessionDataTaskPtr dataTaskWithHTTPMethod(const std::string& method, const std::string& URLString,
                                                   const Value& parameters, const Headers& headers,
                                                   ProgressBlock uploadProgress, ProgressBlock downloadProgress,
                                                   Success success, Failure failure);

    std::string description() const override;
    // Same base URL and configuration; copies of the serializers and the policy.
    NKURLSessionManager::Ptr copy() override;

private:
    std::string resolve(const std::string& URLString) const;
    void failEarly(const Failure& failure, const NSErrorPtr& error) const;
    static CompletionHandler completionFor(std::shared_ptr<NSURLSessionDataTaskPtr> holder, Success success,
                                           Failure failure);

    mutable std::mutex httpMutex_;
    NSURLPtr baseURL_;
    NKHTTPRequestSerializer::Ptr requestSerializer_;
};
