#include <networking/NKHTTPSessionManager.h>

#include <networking/NKJSONResponseSerializer.h>

#include <cstdio>

namespace {

NSURLPtr normalisedBaseURL(const NSURLPtr& url) {
    if (url && !url->path().empty() && !url->absoluteString().ends_with("/")) return url->URLByAppendingPathComponent("");
    return url;
}

void applyHeaders(const NSMutableURLRequestPtr& request, const NKHTTPSessionManager::Headers& headers) {
    for (const auto& [field, value] : headers) request->setValue(value, field);
}

}  // namespace

NKHTTPSessionManager::Ptr NKHTTPSessionManager::manager() { return makeStarted<NKHTTPSessionManager>(); }

NKHTTPSessionManager::Ptr NKHTTPSessionManager::managerWithBaseURL(const NSURLPtr& baseURL,
                                                                   NSURLSessionConfigurationPtr configuration) {
    return makeStarted<NKHTTPSessionManager>(baseURL, std::move(configuration));
}

NKHTTPSessionManager::NKHTTPSessionManager(const NSURLPtr& baseURL, NSURLSessionConfigurationPtr configuration)
    : NKURLSessionManager(std::move(configuration)),
      baseURL_(normalisedBaseURL(baseURL)),
      requestSerializer_(NKHTTPRequestSerializer::serializer()) {
    setResponseSerializer(NKJSONResponseSerializer::serializer());
}

NSURLPtr NKHTTPSessionManager::baseURL() const {
    std::lock_guard lock(httpMutex_);
    return baseURL_;
}

void NKHTTPSessionManager::setBaseURL(NSURLPtr url) {
    std::lock_guard lock(httpMutex_);
    baseURL_ = std::move(url);
}

NKHTTPRequestSerializer::Ptr NKHTTPSessionManager::requestSerializer() const {
    std::lock_guard lock(httpMutex_);
    return requestSerializer_;
}

void NKHTTPSessionManager::setRequestSerializer(NKHTTPRequestSerializer::Ptr serializer) {
    std::lock_guard lock(httpMutex_);
    requestSerializer_ = std::move(serializer);
}

NKHTTPResponseSerializer::Ptr NKHTTPSessionManager::HTTPResponseSerializer() const {
    return std::dynamic_pointer_cast<NKHTTPResponseSerializer>(responseSerializer());
}

void NKHTTPSessionManager::setSecurityPolicy(NKSecurityPolicy::Ptr policy) {
    if (policy) NKValidateSecurityPolicyForBaseURL(*policy, baseURL());
    NKURLSessionManager::setSecurityPolicy(std::move(policy));
}

std::string NKHTTPSessionManager::resolve(const std::string& URLString) const {
    NSURLPtr url = NSURL::URLWithString(URLString, baseURL());
    return url ? url->absoluteString() : std::string();
}

void NKHTTPSessionManager::failEarly(const Failure& failure, const NSErrorPtr& error) const {
    if (!failure) return;
    dispatch_queue_t queue = completionQueue();
    dispatch_async(queue ? queue : dispatch_get_main_queue(), [failure, error] { failure(nullptr, error); });
}

NKURLSessionManager::CompletionHandler NKHTTPSessionManager::completionFor(std::shared_ptr<NSURLSessionDataTaskPtr> holder,
                                                                           Success success, Failure failure) {
    return [holder, success, failure](const NSURLResponsePtr&, const Value& responseObject, const NSErrorPtr& error) {
        if (error) {
            if (failure) failure(*holder, error);
        } else if (success) {
            success(*holder, responseObject);
        }
    };
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::dataTaskWithHTTPMethod(const std::string& method,
                                                                     const std::string& URLString,
                                                                     const Value& parameters, const Headers& headers,
                                                                     ProgressBlock uploadProgress,
                                                                     ProgressBlock downloadProgress, Success success,
                                                                     Failure failure) {
    NSErrorPtr serializationError;
    NKHTTPRequestSerializer::Ptr serializer = requestSerializer();
    NSMutableURLRequestPtr request = serializer->requestWithMethod(method, resolve(URLString), parameters, &serializationError);
    if (request) applyHeaders(request, headers);
    if (serializationError || !request) {
        failEarly(failure, serializationError);
        return nullptr;
    }
    auto holder = std::make_shared<NSURLSessionDataTaskPtr>();
    NSURLSessionDataTaskPtr task = dataTaskWithRequest(request, std::move(uploadProgress), std::move(downloadProgress),
                                                       completionFor(holder, std::move(success), std::move(failure)));
    *holder = task;
    return task;
}

namespace {
NSURLSessionDataTaskPtr resumed(NSURLSessionDataTaskPtr task) {
    if (task) task->resume();
    return task;
}
}  // namespace

NSURLSessionDataTaskPtr NKHTTPSessionManager::GET(const std::string& URLString, const Value& parameters,
                                                  const Headers& headers, ProgressBlock downloadProgress,
                                                  Success success, Failure failure) {
    return resumed(dataTaskWithHTTPMethod("GET", URLString, parameters, headers, nullptr, std::move(downloadProgress),
                                          std::move(success), std::move(failure)));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::HEAD(const std::string& URLString, const Value& parameters,
                                                   const Headers& headers, HeadSuccess success, Failure failure) {
    Success wrapper = [success](const NSURLSessionDataTaskPtr& task, const Value&) {
        if (success) success(task);
    };
    return resumed(dataTaskWithHTTPMethod("HEAD", URLString, parameters, headers, nullptr, nullptr, std::move(wrapper),
                                          std::move(failure)));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::POST(const std::string& URLString, const Value& parameters,
                                                   const Headers& headers, ProgressBlock uploadProgress,
                                                   Success success, Failure failure) {
    return resumed(dataTaskWithHTTPMethod("POST", URLString, parameters, headers, std::move(uploadProgress), nullptr,
                                          std::move(success), std::move(failure)));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::POST(const std::string& URLString, const Value& parameters,
                                                   const Headers& headers, ConstructingBodyBlock block,
                                                   ProgressBlock uploadProgress, Success success, Failure failure) {
    NSErrorPtr serializationError;
    NSMutableURLRequestPtr request = requestSerializer()->multipartFormRequestWithMethod(
        "POST", resolve(URLString), parameters, block, &serializationError);
    if (request) applyHeaders(request, headers);
    if (serializationError || !request) {
        failEarly(failure, serializationError);
        return nullptr;
    }
    auto holder = std::make_shared<NSURLSessionDataTaskPtr>();
    NSURLSessionUploadTaskPtr task = uploadTaskWithStreamedRequest(
        request, std::move(uploadProgress), completionFor(holder, std::move(success), std::move(failure)));
    *holder = task;
    return resumed(task);
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::PUT(const std::string& URLString, const Value& parameters,
                                                  const Headers& headers, Success success, Failure failure) {
    return resumed(dataTaskWithHTTPMethod("PUT", URLString, parameters, headers, nullptr, nullptr, std::move(success),
                                          std::move(failure)));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::PATCH(const std::string& URLString, const Value& parameters,
                                                    const Headers& headers, Success success, Failure failure) {
    return resumed(dataTaskWithHTTPMethod("PATCH", URLString, parameters, headers, nullptr, nullptr, std::move(success),
                                          std::move(failure)));
}

NSURLSessionDataTaskPtr NKHTTPSessionManager::DELETE(const std::string& URLString, const Value& parameters,
                                                     const Headers& headers, Success success, Failure failure) {
    return resumed(dataTaskWithHTTPMethod("DELETE", URLString, parameters, headers, nullptr, nullptr, std::move(success),
                                          std::move(failure)));
}

std::string NKHTTPSessionManager::description() const {
    NSURLPtr base = baseURL();
    std::string text = NKURLSessionManager::description();
    // "<Class: 0x..., session: ..." gains the base URL after the address.
    std::size_t comma = text.find(", session: ");
    if (comma != std::string::npos) text.insert(comma, ", baseURL: " + (base ? base->absoluteString() : std::string("(null)")));
    return text;
}

NKURLSessionManager::Ptr NKHTTPSessionManager::copy() {
    auto other = makeStarted<NKHTTPSessionManager>(baseURL(), session()->configuration());
    if (auto serializer = requestSerializer()) other->setRequestSerializer(serializer->copy());
    if (auto serializer = HTTPResponseSerializer()) other->setResponseSerializer(serializer->copy());
    if (auto policy = securityPolicy()) other->setSecurityPolicy(policy->copy());
    return other;
}
