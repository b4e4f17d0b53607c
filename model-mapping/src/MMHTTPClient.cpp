#include <model_mapping/MMHTTPClient.h>

#include <algorithm>
#include <vector>

#include <model_mapping/MMModelError.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_net/NSHTTPURLResponse.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLSession.h>

namespace {

struct Settings {
    uint64_t textEncoding = NSUTF8StringEncoding;
    uint64_t cachingPolicy = NSURLRequestReloadIgnoringLocalCacheData;
    int32_t timeout = 60;
    std::string contentType = kMMHTTPClientAutomaticContentType;
    Value::Dictionary headers;
};

Settings& settings() {
    static Settings shared;
    return shared;
}

bool isAutomaticMarker(const std::string& value) {
    return value.rfind(kMMHTTPClientAutomaticContentType, 0) == 0;
}

std::string headerText(const Value& value) {
    return value.stringValue();
}

MMModelErrorPtr modelErrorFrom(const NSError& error) {
    return std::make_shared<MMModelError>(error.domain(), error.code(), error.userInfo());
}

}  // namespace

Value::Dictionary& MMHTTPClient::requestHeaders() { return settings().headers; }
void MMHTTPClient::setDefaultTextEncoding(uint64_t encoding) { settings().textEncoding = encoding; }
void MMHTTPClient::setCachingPolicy(uint64_t policy) { settings().cachingPolicy = policy; }
void MMHTTPClient::setTimeoutInSeconds(int32_t seconds) { settings().timeout = seconds; }
void MMHTTPClient::setRequestContentType(std::string contentType) { settings().contentType = std::move(contentType); }
std::string MMHTTPClient::requestContentType() { return settings().contentType; }

std::string MMHTTPClient::contentTypeForRequestString(const std::string& text) {
    std::string type = settings().contentType;
    if (!text.empty() && type == kMMHTTPClientAutomaticContentType) {
        std::string ends{text.front(), text.back()};
        type = (ends == "{}" || ends == "[]") ? "application/json" : "application/x-www-form-urlencoded";
    }
    return type + "; charset=utf-8";
}

std::string MMHTTPClient::urlEncode(const Value& value) {
    std::string text = value.stringValue();
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '.' || c == '_' || c == '~';
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

void MMHTTPClient::requestDataFromURL(const NSURLPtr& url, const std::string& method, std::optional<Value::Data> body,
                                      const Value& headers, DataHandler handler) {
    if (!url) {
        // No request can be built: report it like any transport failure, off the caller's thread.
        auto error = modelErrorFrom(*NSURLErrorWithCode(NSURLErrorBadURL, nullptr));
        dispatch_async(dispatch_get_global_queue(0, 0), [handler, error] { handler(std::nullopt, error); });
        return;
    }
    const Settings& s = settings();
    auto request = NSMutableURLRequest::requestWithURL(url);
    request->setCachePolicy(static_cast<NSURLRequestCachePolicy>(s.cachingPolicy));
    request->setTimeoutInterval(static_cast<double>(s.timeout));
    request->setHTTPMethod(method);

    if (s.contentType != kMMHTTPClientAutomaticContentType) {
        request->setValue(s.contentType, "Content-type");
    } else if (body) {
        auto text = NSString::initWithData(*body, NSUTF8StringEncoding);
        std::string type = contentTypeForRequestString(text.value_or(""));
        // An empty or undecodable body leaves only the marker: that is no media type, so no
        // Content-type is sent at all.
        if (!isAutomaticMarker(type)) request->setValue(type, "Content-type");
    }
    for (const auto& [name, value] : s.headers) request->setValue(headerText(value), headerText(name));
    if (headers.isDictionary())
        for (const auto& [name, value] : headers.asDictionary()) request->setValue(headerText(value), headerText(name));
    if (auto sent = request->valueForHTTPHeaderField("Content-type"); sent && isAutomaticMarker(*sent))
        request->setValue(std::nullopt, "Content-type");

    if (body) {
        request->setValue(std::to_string(body->size()), "Content-Length");
        request->setHTTPBody(*body);
    }

    auto task = NSURLSession::sharedSession()->dataTaskWithRequest(
        request, [handler, url](std::optional<Value::Data> data, NSURLResponsePtr response, NSErrorPtr platformError) {
            MMModelErrorPtr error;
            if (platformError) error = modelErrorFrom(*platformError);
            if (error && error->code() == NSURLErrorUserCancelledAuthentication)
                response = NSHTTPURLResponse::create(url, 401, "HTTP/1.1", {});
            if (!error) {
                auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
                int64_t status = http ? http->statusCode() : 0;
                if (status < 200 || status > 299) error = MMModelError::errorBadResponse();
            }
            if (error) error->setHttpResponse(response);
            if (data && data->empty()) data.reset();
            handler(std::move(data), error);
        });
    task->resume();
}

void MMHTTPClient::requestDataFromURLWithParams(const NSURLPtr& url, const std::string& method, const Value& params,
                                                const Value& headers, DataHandler handler) {
    std::optional<std::string> paramText;
    if (params.isDictionary()) {
        std::vector<std::pair<std::string, Value>> entries;
        for (const auto& [key, value] : params.asDictionary()) entries.emplace_back(headerText(key), value);
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string text;
        for (const auto& [key, value] : entries) text += key + "=" + urlEncode(value) + "&";
        if (!text.empty() && text.back() == '&') text.pop_back();
        paramText = std::move(text);
    }
    NSURLPtr target = url;
    std::optional<Value::Data> body;
    if (method == "GET" && paramText && url) {
        std::string joined = url->absoluteString() + (url->query() ? "&" : "?") + *paramText;
        target = NSURL::URLWithString(joined);
    } else if (method == "POST" && paramText) {
        body = Value::Data(paramText->begin(), paramText->end());
    }
    requestDataFromURL(target, method, std::move(body), headers, std::move(handler));
}

void MMHTTPClient::JSONFromURLWithString(const std::string& urlString, const std::string& method, const Value& params,
                                         std::optional<Value::Data> bodyData, const Value& headers,
                                         JSONCompletion completion) {
    auto url = NSURL::URLWithString(urlString);
    DataHandler handler = [completion](std::optional<Value::Data> data, NSErrorPtr error) {
        Value json;
        if (!data && !error) {
            error = MMModelError::errorBadResponse();
        } else if (data && error) {
            json = NSJSONSerialization::JSONObjectWithData(*data);
            if (auto modelError = std::dynamic_pointer_cast<MMModelError>(error)) modelError->setResponseData(*data);
        } else if (data) {
            json = NSJSONSerialization::JSONObjectWithData(*data, 0, &error);
        }
        dispatch_async(dispatch_get_main_queue(), [completion, json, error] {
            if (completion) completion(json, error);
        });
    };
    if (bodyData)
        requestDataFromURL(url, method, std::move(bodyData), headers, std::move(handler));
    else
        requestDataFromURLWithParams(url, method, params, headers, std::move(handler));
}

void MMHTTPClient::JSONFromURLWithString(const std::string& urlString, const std::string& method, const Value& params,
                                         const std::optional<std::string>& bodyString, const Value& headers,
                                         JSONCompletion completion) {
    std::optional<Value::Data> body;
    if (bodyString) body = Value::Data(bodyString->begin(), bodyString->end());
    JSONFromURLWithString(urlString, method, params, std::move(body), headers, std::move(completion));
}

void MMHTTPClient::JSONFromURLWithString(const std::string& urlString, const std::string& method, const Value& params,
                                         const std::optional<std::string>& bodyString, JSONCompletion completion) {
    JSONFromURLWithString(urlString, method, params, bodyString, Value(), std::move(completion));
}

void MMHTTPClient::getJSONFromURLWithString(const std::string& urlString, JSONCompletion completion) {
    JSONFromURLWithString(urlString, "GET", Value(), std::nullopt, std::move(completion));
}

void MMHTTPClient::getJSONFromURLWithString(const std::string& urlString, const Value& params,
                                            JSONCompletion completion) {
    JSONFromURLWithString(urlString, "GET", params, std::nullopt, std::move(completion));
}

void MMHTTPClient::postJSONFromURLWithString(const std::string& urlString, const Value& params,
                                             JSONCompletion completion) {
    JSONFromURLWithString(urlString, "POST", params, std::nullopt, std::move(completion));
}

void MMHTTPClient::postJSONFromURLWithBodyString(const std::string& urlString, const std::string& bodyString,
                                                 JSONCompletion completion) {
    JSONFromURLWithString(urlString, "POST", Value(), std::optional<std::string>(bodyString), std::move(completion));
}

void MMHTTPClient::postJSONFromURLWithBodyData(const std::string& urlString, const Value::Data& bodyData,
                                               JSONCompletion completion) {
    auto text = NSString::initWithData(bodyData, settings().textEncoding);
    JSONFromURLWithString(urlString, "POST", Value(), text, std::move(completion));
}
