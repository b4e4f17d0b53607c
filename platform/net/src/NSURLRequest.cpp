#include <platform_net/NSURLRequest.h>

#include <algorithm>
#include <cctype>

bool NSHTTPHeaderNameLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

NSURLRequestPtr NSURLRequest::requestWithURL(NSURLPtr url) { return std::make_shared<NSURLRequest>(std::move(url)); }

NSURLRequestPtr NSURLRequest::requestWithURL(NSURLPtr url, NSURLRequestCachePolicy cachePolicy,
                                             double timeoutInterval) {
    return std::make_shared<NSURLRequest>(std::move(url), cachePolicy, timeoutInterval);
}

NSURLRequest::NSURLRequest(NSURLPtr url, NSURLRequestCachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), cachePolicy_(cachePolicy), timeout_(timeoutInterval) {}

std::string NSURLRequest::description() const {
    return NSObject::description() + " { URL: " + (url_ ? url_->absoluteString() : std::string("(null)")) + " }";
}

bool NSURLRequest::isEqual(const NSObject& other) const {
    auto* o = dynamic_cast<const NSURLRequest*>(&other);
    if (!o) return false;
    bool sameURL = (!url_ && !o->url_) || (url_ && o->url_ && url_->isEqual(*o->url_));
    auto sameHeaders = [&] {
        if (headers_.size() != o->headers_.size()) return false;
        for (auto& [k, v] : headers_) {
            auto it = o->headers_.find(k);
            if (it == o->headers_.end() || it->second != v) return false;
        }
        return true;
    };
    return sameURL && method_ == o->method_ && sameHeaders() && body_ == o->body_ && bodyStream_ == o->bodyStream_ &&
           cachePolicy_ == o->cachePolicy_ && timeout_ == o->timeout_ && handleCookies_ == o->handleCookies_ &&
           pipelining_ == o->pipelining_ && cellular_ == o->cellular_ && serviceType_ == o->serviceType_;
}

std::size_t NSURLRequest::hash() const {
    return (url_ ? url_->hash() : 0) ^ std::hash<std::string>()(method_);
}

NSURLRequestPtr NSURLRequest::copy() const {
    auto r = std::make_shared<NSURLRequest>();
    static_cast<NSURLRequest&>(*r).url_ = url_;
    r->mainDocumentURL_ = mainDocumentURL_;
    r->method_ = method_;
    r->headers_ = headers_;
    r->body_ = body_;
    r->bodyStream_ = bodyStream_;
    r->cachePolicy_ = cachePolicy_;
    r->timeout_ = timeout_;
    r->handleCookies_ = handleCookies_;
    r->pipelining_ = pipelining_;
    r->cellular_ = cellular_;
    r->serviceType_ = serviceType_;
    return r;
}

NSMutableURLRequestPtr NSURLRequest::mutableCopy() const {
    auto r = std::make_shared<NSMutableURLRequest>();
    r->setURL(url_);
    r->setMainDocumentURL(mainDocumentURL_);
    r->setHTTPMethod(method_);
    r->setAllHTTPHeaderFields(headers_);
    if (bodyStream_)
        r->setHTTPBodyStream(bodyStream_);
    else
        r->setHTTPBody(body_);
    r->setCachePolicy(cachePolicy_);
    r->setTimeoutInterval(timeout_);
    r->setHTTPShouldHandleCookies(handleCookies_);
    r->setHTTPShouldUsePipelining(pipelining_);
    r->setAllowsCellularAccess(cellular_);
    r->setNetworkServiceType(serviceType_);
    return r;
}

std::optional<std::string> NSURLRequest::valueForHTTPHeaderField(std::string_view field) const {
    auto it = headers_.find(field);
    if (it == headers_.end()) return std::nullopt;
    return it->second;
}

NSMutableURLRequestPtr NSMutableURLRequest::requestWithURL(NSURLPtr url) {
    return std::make_shared<NSMutableURLRequest>(std::move(url));
}

void NSMutableURLRequest::setHTTPMethod(std::string method) { method_ = method.empty() ? "GET" : std::move(method); }

void NSMutableURLRequest::setValue(std::optional<std::string> value, std::string_view field) {
    auto it = headers_.find(field);
    if (!value) {
        if (it != headers_.end()) headers_.erase(it);
        return;
    }
    if (it != headers_.end())
        it->second = std::move(*value);
    else
        headers_.emplace(std::string(field), std::move(*value));
}

void NSMutableURLRequest::addValue(std::string value, std::string_view field) {
    auto it = headers_.find(field);
    if (it != headers_.end())
        it->second += ", " + value;
    else
        headers_.emplace(std::string(field), std::move(value));
}

void NSMutableURLRequest::setHTTPBody(std::optional<Data> body) {
    body_ = std::move(body);
    if (body_) bodyStream_.reset();
}

void NSMutableURLRequest::setHTTPBodyStream(std::shared_ptr<NSInputStream> stream) {
    bodyStream_ = std::move(stream);
    if (bodyStream_) body_.reset();
}
