#pragma once
// The behaviour behind the response serializers, free of any class: validation of status
// code and content type with its error records, and JSON / property-list decoding with the
// early exits every decoder shares. Serializer classes of any prefix hand in their settings.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include <networking/NKURLResponseSerialization.h>

struct NKResponseValidationSettings {
    std::optional<std::set<int64_t>> acceptableStatusCodes;       // none: any status
    std::optional<std::set<std::string>> acceptableContentTypes;  // none: any content type
};

// Validity of an HTTP response (anything else is valid). `errorOut` receives the error of an
// invalid response: -1016 for the content type, -1011 for the status with the -1016 chained
// under it.
bool NKValidateResponse(const NKResponseValidationSettings& settings, const NSURLResponsePtr& response,
                        const Value::Data* data, NSErrorPtr& errorOut);

// Validates as the decoders do and tells whether decoding goes on: a content-type rejection,
// or any failure when the caller gave no slot, stops it. The slot (when given) receives the
// validation error of an invalid response.
bool NKValidateForDecoding(const NKResponseValidationSettings& settings, const NSURLResponsePtr& response,
                           const Value::Data* data, NSErrorPtr* error);

struct NKJSONDecodingSettings {
    uint64_t readingOptions = 0;
    bool removesKeysWithNullValues = false;
    bool removeNullArrayElements = true;
};
Value NKDecodeJSONResponse(const NKResponseValidationSettings& validation, const NKJSONDecodingSettings& json,
                           const NSURLResponsePtr& response, const Value::Data* data, NSErrorPtr* error);

Value NKDecodePropertyListResponse(const NKResponseValidationSettings& validation, uint64_t readOptions,
                                   const NSURLResponsePtr& response, const Value::Data* data, NSErrorPtr* error);
