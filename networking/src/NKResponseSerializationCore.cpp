#include <networking/NKResponseSerializationCore.h>

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_net/NSHTTPURLResponse.h>

#include "NKLocalizedString.h"

NSErrorPtr NKChainUnderlyingError(const NSErrorPtr& error, const NSErrorPtr& underlying) {
    if (!error) return underlying;
    if (!underlying || error->userInfo().count(Value(NSUnderlyingErrorKey))) return error;
    Value::Dictionary userInfo = error->userInfo();
    userInfo[Value(NSUnderlyingErrorKey)] = Value(underlying);
    return NSError::errorWithDomain(error->domain(), error->code(), std::move(userInfo));
}

bool NKErrorChainHasCode(const NSErrorPtr& error) {
    // Bounded walk: a cyclic chain cannot make it spin.
    NSErrorPtr e = error;
    for (int depth = 0; e && depth < 64; ++depth, e = e->underlyingError()) {
        if (e->domain() == NKURLResponseSerializationErrorDomain && e->code() == -1016) return true;
    }
    return false;
}

Value NKRemoveNullValues(const Value& object, uint64_t readingOptions, bool fromArrays) {
    const bool mutableContainers = readingOptions & 1;
    if (object.isArray()) {
        Value::Array cleaned;
        cleaned.reserve(object.count());
        for (const auto& element : object.asArray()) {
            if (fromArrays && element.isNull()) continue;
            cleaned.push_back(NKRemoveNullValues(element, readingOptions, fromArrays));
        }
        Value result(std::move(cleaned));
        result.setMutable(mutableContainers);
        return result;
    }
    if (object.isDictionary()) {
        Value::Dictionary cleaned;
        for (const auto& [key, value] : object.asDictionary()) {
            if (value.isNull()) continue;
            cleaned.emplace(key, (value.isArray() || value.isDictionary())
                                     ? NKRemoveNullValues(value, readingOptions, fromArrays)
                                     : value);
        }
        Value result(std::move(cleaned));
        result.setMutable(mutableContainers);
        return result;
    }
    return object;
}

namespace {

NSErrorPtr responseError(int64_t code, const std::string& description, const NSURLResponsePtr& response,
                         const Value::Data* data, const NSErrorPtr& underlying) {
    Value::Dictionary userInfo;
    userInfo[Value(NSLocalizedDescriptionKey)] = Value(description);
    if (response->URL()) userInfo[Value(NSURLErrorFailingURLErrorKey)] = Value(response->URL());
    userInfo[Value(NKNetworkingOperationFailingURLResponseErrorKey)] = Value(response);
    if (data) userInfo[Value(NKNetworkingOperationFailingURLResponseDataErrorKey)] = Value(*data);
    return NKChainUnderlyingError(NSError::errorWithDomain(NKURLResponseSerializationErrorDomain, code, std::move(userInfo)),
                                  underlying);
}

}  // namespace

bool NKValidateResponse(const NKResponseValidationSettings& settings, const NSURLResponsePtr& response,
                        const Value::Data* data, NSErrorPtr& errorOut) {
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    if (!http) return true;
    bool valid = true;
    NSErrorPtr error;
    const bool hasBytes = data && !data->empty();

    const auto& mime = http->MIMEType();
    if (settings.acceptableContentTypes && !(mime && settings.acceptableContentTypes->count(*mime)) &&
        !(!mime && !hasBytes)) {
        // A rejected content type always carries its error, also without bytes or URL, so
        // that an invalid response can never be taken for a success.
        valid = false;
        error = responseError(
            -1016,
            NSStringWithFormat(NKLocalizedString("Request failed: unacceptable content-type: %@"), mime ? Value(*mime) : Value()),
            response, data, error);
    }

    if (settings.acceptableStatusCodes && !settings.acceptableStatusCodes->count(http->statusCode()) && http->URL()) {
        valid = false;
        error = responseError(-1011,
                              NSStringWithFormat(NKLocalizedString("Request failed: %@ (%ld)"),
                                                 NSHTTPURLResponse::localizedStringForStatusCode(http->statusCode()),
                                                 static_cast<long>(http->statusCode())),
                              response, data, error);
    }
    if (!valid) errorOut = error;
    return valid;
}

bool NKValidateForDecoding(const NKResponseValidationSettings& settings, const NSURLResponsePtr& response,
                           const Value::Data* data, NSErrorPtr* error) {
    NSErrorPtr validationError;
    if (NKValidateResponse(settings, response, data, validationError)) return true;
    if (error) *error = validationError;
    return error && !NKErrorChainHasCode(validationError);
}

Value NKDecodeJSONResponse(const NKResponseValidationSettings& validation, const NKJSONDecodingSettings& json,
                           const NSURLResponsePtr& response, const Value::Data* data, NSErrorPtr* error) {
    if (!NKValidateForDecoding(validation, response, data, error)) return Value();
    if (!data || data->empty() || (data->size() == 1 && (*data)[0] == ' ')) return Value();
    NSErrorPtr parseError;
    Value object = NSJSONSerialization::JSONObjectWithData(*data, static_cast<NSJSONReadingOptions>(json.readingOptions),
                                                           &parseError);
    if (parseError) {
        if (error) *error = NKChainUnderlyingError(parseError, *error);
        return Value();
    }
    if (json.removesKeysWithNullValues) {
        return NKRemoveNullValues(object, json.readingOptions, json.removeNullArrayElements);
    }
    return object;
}

Value NKDecodePropertyListResponse(const NKResponseValidationSettings& validation, uint64_t readOptions,
                                   const NSURLResponsePtr& response, const Value::Data* data, NSErrorPtr* error) {
    if (!NKValidateForDecoding(validation, response, data, error)) return Value();
    if (!data) return Value();
    NSErrorPtr parseError;
    Value object = NSPropertyListSerialization::propertyListWithData(
        *data, static_cast<NSPropertyListMutabilityOptions>(readOptions), nullptr, &parseError);
    if (parseError) {
        if (error) *error = NKChainUnderlyingError(parseError, *error);
        return Value();
    }
    return object;
}
