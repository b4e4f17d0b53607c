#include <networking/NKRequestSerializationCore.h>

#include <algorithm>
#include <cctype>

#include <networking/NKQueryString.h>
#include <networking/NKURLRequestSerialization.h>
#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_foundation/NSStringFormat.h>

#include "NKLocalizedString.h"

std::string NKAcceptLanguageHeader(const std::vector<std::string>& preferredLanguages) {
    std::string header;
    for (std::size_t i = 0; i < preferredLanguages.size(); ++i) {
        // Single precision, as the quality has always been computed.
        const float q = 1.0f - 0.1f * static_cast<float>(i);
        if (!header.empty()) header += ", ";
        header += NSStringWithFormat("%@;q=%0.1g", preferredLanguages[i], static_cast<double>(q));
        if (q <= 0.5f) break;
    }
    return header;
}

bool NKMethodEncodesParametersInURI(const std::string& method, const std::set<std::string>& methods) {
    std::string upper = method;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return methods.count(upper) != 0;
}

NSMutableURLRequestPtr NKRequestAddingDefaultHeaders(const NSURLRequest& request, const NKHTTPHeaderMap& headers) {
    auto copy = request.mutableCopy();
    for (const auto& [field, value] : headers) {
        if (!request.valueForHTTPHeaderField(field)) copy->setValue(value, field);
    }
    return copy;
}

namespace {

// The query for the parameters: the block's, the built-in one, or none.
bool makeQuery(const NSURLRequestPtr& request, const Value& parameters, const NKRequestSerializationSettings& s,
               std::optional<std::string>& query, NSErrorPtr* error) {
    if (parameters.isNull()) return true;
    if (s.queryStringSerialization) {
        NSErrorPtr blockError;
        std::string text = s.queryStringSerialization(request, parameters, &blockError);
        if (blockError) {
            if (error) *error = blockError;
            return false;
        }
        query = std::move(text);
    } else if (s.queryStringSerializationStyle == 0) {
        query = NKQueryStringFromDictionary(parameters);
    }
    return true;
}

}  // namespace

NSMutableURLRequestPtr NKSerializeFormRequest(const NSURLRequestPtr& request, const Value& parameters,
                                              const NKRequestSerializationSettings& settings, NSErrorPtr* error) {
    if (!request) return nullptr;
    auto mutableRequest = NKRequestAddingDefaultHeaders(*request, settings.defaultHeaders);
    std::optional<std::string> query;
    if (!makeQuery(request, parameters, settings, query, error)) return nullptr;

    if (NKMethodEncodesParametersInURI(request->HTTPMethod(), settings.methodsEncodingParametersInURI)) {
        if (query && !query->empty() && mutableRequest->URL()) {
            const auto& url = mutableRequest->URL();
            std::string text = url->absoluteString() + (url->query() ? "&" : "?") + *query;
            if (auto newURL = NSURL::URLWithString(text)) mutableRequest->setURL(newURL);
        }
    } else {
        if (!query) query = std::string();
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type")) {
            mutableRequest->setValue(std::string("application/x-www-form-urlencoded"), "Content-Type");
        }
        auto body = NSString::dataUsingEncoding(*query, settings.stringEncoding);
        mutableRequest->setHTTPBody(body ? *body : Value::Data());
    }
    return mutableRequest;
}

NSMutableURLRequestPtr NKSerializeJSONRequest(const NSURLRequestPtr& request, const Value& parameters,
                                              const NKRequestSerializationSettings& settings,
                                              uint64_t writingOptions, NSErrorPtr* error) {
    if (!request) return nullptr;
    if (NKMethodEncodesParametersInURI(request->HTTPMethod(), settings.methodsEncodingParametersInURI)) {
        return NKSerializeFormRequest(request, parameters, settings, error);
    }
    auto mutableRequest = NKRequestAddingDefaultHeaders(*request, settings.defaultHeaders);
    if (parameters.isNull()) return mutableRequest;
    if (!mutableRequest->valueForHTTPHeaderField("Content-Type")) {
        mutableRequest->setValue(std::string("application/json"), "Content-Type");
    }
    if (!NSJSONSerialization::isValidJSONObject(parameters)) {
        if (error) {
            *error = NSError::errorWithDomain(
                NKURLRequestSerializationErrorDomain, -1016,
                {{NSLocalizedFailureReasonErrorKey, NKLocalizedString("The `parameters` argument is not valid JSON.")}});
        }
        return nullptr;
    }
    NSErrorPtr writeError;
    auto body = NSJSONSerialization::dataWithJSONObject(parameters, static_cast<NSJSONWritingOptions>(writingOptions),
                                                        &writeError);
    if (writeError) {
        if (error) *error = writeError;
        return nullptr;
    }
    mutableRequest->setHTTPBody(std::move(body));
    return mutableRequest;
}

NSMutableURLRequestPtr NKSerializePropertyListRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                      const NKRequestSerializationSettings& settings,
                                                      uint64_t format, uint64_t writeOptions, NSErrorPtr* error) {
    if (!request) return nullptr;
    if (NKMethodEncodesParametersInURI(request->HTTPMethod(), settings.methodsEncodingParametersInURI)) {
        return NKSerializeFormRequest(request, parameters, settings, error);
    }
    auto mutableRequest = NKRequestAddingDefaultHeaders(*request, settings.defaultHeaders);
    if (parameters.isNull()) return mutableRequest;
    if (!mutableRequest->valueForHTTPHeaderField("Content-Type")) {
        mutableRequest->setValue(std::string("application/x-plist"), "Content-Type");
    }
    NSErrorPtr writeError;
    auto body = NSPropertyListSerialization::dataWithPropertyList(
        parameters, static_cast<NSPropertyListFormat>(format), static_cast<NSPropertyListWriteOptions>(writeOptions),
        &writeError);
    if (writeError) {
        if (error) *error = writeError;
        return nullptr;
    }
    mutableRequest->setHTTPBody(std::move(body));
    return mutableRequest;
}
