#pragma once
// Sends one request on the shared URL session and reports the outcome: success (2xx),
// failure (another status) or error (transport error, no response, not an HTTP response).
// Every block runs on the main queue, and only when it is given.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLResponse.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/ObjCDeclare.h>

class ZPKCRHTTPRequestSender : public NSObject {
    NS_CLASS(ZPKCRHTTPRequestSender, NSObject)
public:
    using Bytes = std::vector<uint8_t>;
    using ResponseBlock = std::function<void(const NSHTTPURLResponsePtr& response, const Bytes& data)>;
    using ErrorBlock = std::function<void(const NSErrorPtr& error)>;

    static std::shared_ptr<ZPKCRHTTPRequestSender> sender();

    // Runs one data task and resumes it.
    void sendRequest(const NSURLRequestPtr& request, ResponseBlock onSuccess, ResponseBlock onFailure,
                     ErrorBlock onError);
    // The completion step: picks the outcome and posts its block to the main queue.
    void handleResponse(const NSURLResponsePtr& response, const std::optional<Bytes>& data, const NSErrorPtr& error,
                        ResponseBlock onSuccess, ResponseBlock onFailure, ErrorBlock onError) const;
};
