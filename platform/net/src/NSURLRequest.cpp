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

bool NSURLRequestFields::URLValue::operator==(const URLValue& other) const {
    return (!url && !other.url) || (url && other.url && url->isEqual(*other.url));
}

bool NSURLRequestFields::HeaderFields::operator==(const HeaderFields& other) const {
    if (fields.size() != other.fields.size()) return false;
    for (auto& [name, value] : fields) {
        auto it = other.fields.find(name);
        if (it == other.fields.end() || it->second != value) return false;
    }
    return true;
}

NSURLRequest::NSURLRequest(NSURLPtr url, NSURLRequestCachePolicy cachePolicy, double timeoutInterval) {
    f_.url.url = std::move(url);
    f_.cachePolicy = cachePolicy;
    f_.timeout = timeoutInterval;
}

std::string NSURLRequest::description() const {
    return NSObject::description() + " { URL: " + (URL() ? URL()->absoluteString() : std::string("(null)")) + " }";
}

bool NSURLRequest::isEqual(const NSObject& other) const {
    auto* o = dynamic_cast<const NSURLRequest*>(&other);
    return o && f_ == o->f_;
}

std::size_t NSURLRequest::hash() const { return (URL() ? URL()->hash() : 0) ^ std::hash<std::string>()(f_.method); }

NSURLRequestPtr NSURLRequest::copy() const {
    auto r = std::make_shared<NSURLRequest>();
    r->f_ = f_;
    return r;
}

NSMutableURLRequestPtr NSURLRequest::mutableCopy() const {
    auto r = std::make_shared<NSMutableURLRequest>();
    r->f_ = f_;
    return r;
}

std::optional<std::string> NSURLRequest::valueForHTTPHeaderField(std::string_view field) const {
    auto it = f_.headers.fields.find(field);
    if (it == f_.headers.fields.end()) return std::nullopt;
    return it->second;
}

NSMutableURLRequestPtr NSMutableURLRequest::requestWithURL(NSURLPtr url) {
    return std::make_shared<NSMutableURLRequest>(std::move(url));
}

void NSMutableURLRequest::setHTTPMethod(std::string method) { f_.method = method.empty() ? "GET" : std::move(method); }

void NSMutableURLRequest::setValue(std::optional<std::string> value, std::string_view field) {
    auto& headers = f_.headers.fields;
    auto it = headers.find(field);
    if (!value) {
        if (it != headers.end()) headers.erase(it);
        return;
    }
    if (it != headers.end())
        it->second = std::move(*value);
    else
        headers.emplace(std::string(field), std::move(*value));
}

void NSMutableURLRequest::addValue(std::string value, std::string_view field) {
    auto& headers = f_.headers.fields;
    auto it = headers.find(field);
    if (it != headers.end())
        it->second += ", " + value;
    else
        headers.emplace(std::string(field), std::move(value));
}

void NSMutableURLRequest::setHTTPBody(std::optional<Data> body) {
    f_.body = std::move(body);
    if (f_.body) f_.bodyStream.reset();
}

void NSMutableURLRequest::setHTTPBodyStream(std::shared_ptr<NSInputStream> stream) {
    f_.bodyStream = std::move(stream);
    if (f_.bodyStream) f_.body.reset();
}
