#include <networking/NKHTTPSessionManagerCore.h>

NSURLPtr NKNormalisedBaseURL(const NSURLPtr& url) {
    if (url && !url->path().empty() && !url->absoluteString().ends_with("/")) return url->URLByAppendingPathComponent("");
    return url;
}

std::string NKHTTPManagerDescription(const std::string& managerDescription, const NSURLPtr& baseURL) {
    std::string text = managerDescription;
    // "<Class: 0x..., session: ..." gains the base URL after the address.
    std::size_t comma = text.find(", session: ");
    if (comma != std::string::npos) {
        text.insert(comma, ", baseURL: " + (baseURL ? baseURL->absoluteString() : std::string("(null)")));
    }
    return text;
}

namespace {

std::string resolve(const std::string& URLString, const NSURLPtr& baseURL) {
    NSURLPtr url = NSURL::URLWithString(URLString, baseURL);
    return url ? url->absoluteString() : std::string();
}

void applyHeaders(const NSMutableURLRequestPtr& request, const NKHTTPHeaders* headers) {
    if (!request || !headers) return;
    for (const auto& [field, value] : *headers) request->setValue(value, field);
}

void failEarly(NKURLSessionManagerCore& manager, const NKHTTPFailure& failure, const NSErrorPtr& error) {
    if (!failure) return;
    dispatch_queue_t queue = manager.completionQueue();
    dispatch_async(queue ? queue : dispatch_get_main_queue(), [failure, error] { failure(nullptr, error); });
}

NKURLSessionManagerCore::CompletionHandler completionFor(std::shared_ptr<NSURLSessionDataTaskPtr> holder,
                                                         NKHTTPSuccess success, NKHTTPFailure failure) {
    return [holder, success, failure](const NSURLResponsePtr&, const Value& responseObject, const NSErrorPtr& error) {
        if (error) {
            if (failure) failure(*holder, error);
        } else if (success) {
            success(*holder, responseObject);
        }
    };
}

}  // namespace

NSURLSessionDataTaskPtr NKHTTPDataTask(NKURLSessionManagerCore& manager, const NKHTTPRequestSerializerCore& serializer,
                                       const NSURLPtr& baseURL, const std::string& method,
                                       const std::string& URLString, const Value& parameters,
                                       const NKHTTPHeaders* headers, NKURLSessionManagerCore::ProgressBlock uploadProgress,
                                       NKURLSessionManagerCore::ProgressBlock downloadProgress, NKHTTPSuccess success,
                                       NKHTTPFailure failure) {
    NSErrorPtr serializationError;
    NSMutableURLRequestPtr request =
        serializer.requestWithMethod(method, resolve(URLString, baseURL), parameters, &serializationError);
    applyHeaders(request, headers);
    if (serializationError || !request) {
        failEarly(manager, failure, serializationError);
        return nullptr;
    }
    auto holder = std::make_shared<NSURLSessionDataTaskPtr>();
    NSURLSessionDataTaskPtr task =
        manager.dataTaskWithRequest(request, std::move(uploadProgress), std::move(downloadProgress),
                                    completionFor(holder, std::move(success), std::move(failure)));
    *holder = task;
    return task;
}

NSURLSessionDataTaskPtr NKHTTPMultipartPOSTTask(NKURLSessionManagerCore& manager,
                                                const NKHTTPRequestSerializerCore& serializer, const NSURLPtr& baseURL,
                                                const std::string& URLString, const Value& parameters,
                                                const NKHTTPHeaders* headers,
                                                const NKHTTPRequestSerializerCore::ConstructingBodyBlock& block,
                                                NKURLSessionManagerCore::ProgressBlock uploadProgress,
                                                NKHTTPSuccess success, NKHTTPFailure failure) {
    NSErrorPtr serializationError;
    NSMutableURLRequestPtr request = serializer.multipartFormRequestWithMethod(
        "POST", resolve(URLString, baseURL), parameters, block, &serializationError);
    applyHeaders(request, headers);
    if (serializationError || !request) {
        failEarly(manager, failure, serializationError);
        return nullptr;
    }
    auto holder = std::make_shared<NSURLSessionDataTaskPtr>();
    NSURLSessionUploadTaskPtr task = manager.uploadTaskWithStreamedRequest(
        request, std::move(uploadProgress), completionFor(holder, std::move(success), std::move(failure)));
    *holder = task;
    return task;
}

NSURLSessionDataTaskPtr NKResumed(NSURLSessionDataTaskPtr task) {
    if (task) task->resume();
    return task;
}

NKHTTPSuccess NKHeadSuccess(NKHTTPHeadSuccess success) {
    return [success](const NSURLSessionDataTaskPtr& task, const Value&) {
        if (success) success(task);
    };
}
