#include "session/HTTPRedirect.h"

bool isRedirectStatus(int64_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

NSMutableURLRequestPtr redirectedRequest(const NSURLRequest& current, int64_t status, NSURLPtr target, bool& bodyDropped) {
    auto next = current.mutableCopy();
    next->setURL(std::move(target));
    const std::string& method = current.HTTPMethod();
    bodyDropped = (status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST");
    if (bodyDropped) {
        next->setHTTPMethod("GET");
        next->setHTTPBody(std::nullopt);
        next->setValue(std::nullopt, "Content-Type");
        next->setValue(std::nullopt, "Content-Length");
    }
    next->setValue(std::nullopt, "Range");
    return next;
}
