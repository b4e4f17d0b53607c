#include <crash_reporting/ZPKCRHTTPRequestSender.h>

#include <crash_reporting/ZUDErrors.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_net/NSURLSession.h>

std::shared_ptr<ZPKCRHTTPRequestSender> ZPKCRHTTPRequestSender::sender() {
    return std::make_shared<ZPKCRHTTPRequestSender>();
}

void ZPKCRHTTPRequestSender::sendRequest(const NSURLRequestPtr& request, ResponseBlock onSuccess,
                                         ResponseBlock onFailure, ErrorBlock onError) {
    auto self = std::static_pointer_cast<ZPKCRHTTPRequestSender>(shared_from_this());
    auto task = NSURLSession::sharedSession()->dataTaskWithRequest(
        request, [self, onSuccess, onFailure, onError](std::optional<Bytes> data, NSURLResponsePtr response,
                                                       NSErrorPtr error) {
            self->handleResponse(response, data, error, onSuccess, onFailure, onError);
        });
    task->resume();
}

void ZPKCRHTTPRequestSender::handleResponse(const NSURLResponsePtr& response, const std::optional<Bytes>& data,
                                            const NSErrorPtr& error, ResponseBlock onSuccess,
                                            ResponseBlock onFailure, ErrorBlock onError) const {
    NSErrorPtr outcome = error;
    NSHTTPURLResponsePtr http;
    if (!outcome) {
        if (!response) {
            outcome = zud_errorWithDomain(className(), 0, "Response was nil");
        } else if (!(http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response))) {
            outcome = zud_errorWithDomain(className(), 0, "Response was of type %@. Expected NSHTTPURLResponse",
                                          response->className());
        }
    }
    if (outcome) {
        if (onError) dispatch_async(dispatch_get_main_queue(), [onError, outcome] { onError(outcome); });
        return;
    }
    Bytes body = data.value_or(Bytes{});
    bool success = http->statusCode() >= 200 && http->statusCode() <= 299;
    ResponseBlock block = success ? onSuccess : onFailure;
    if (block) dispatch_async(dispatch_get_main_queue(), [block, http, body] { block(http, body); });
}
