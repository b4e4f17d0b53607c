#pragma once
// The behaviour behind the request serializers, free of any class: default headers, the
// placement of parameters in the URL or the body (form, JSON, property list). Serializer
// classes of any prefix hand in a snapshot of their configuration.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <platform_foundation/NSStringEncoding.h>
#include <platform_net/NSURLRequest.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/Value.h>

// Replaces the built-in query encoding: (request, parameters, out error) -> query text.
using NKQueryStringSerializationBlock =
    std::function<std::string(const NSURLRequestPtr& request, const Value& parameters, NSErrorPtr* error)>;

// Header names are kept and matched exactly as they were set.
using NKHTTPHeaderMap = std::map<std::string, std::string>;

struct NKRequestSerializationSettings {
    NKHTTPHeaderMap defaultHeaders;
    std::set<std::string> methodsEncodingParametersInURI;
    uint64_t queryStringSerializationStyle = 0;  // 0: built-in encoding; other: no query
    NKQueryStringSerializationBlock queryStringSerialization;
    NSStringEncoding stringEncoding = NSUTF8StringEncoding;
};

// "Accept-Language" from preferred languages: q = 1, 0.9, ... down to 0.5 (at most six).
std::string NKAcceptLanguageHeader(const std::vector<std::string>& preferredLanguages);
// "<executable>/<version> (<model>; iOS <os>; Scale/<scale>)", made ASCII when it is not.
std::optional<std::string> NKUserAgentHeader();
// Any-Latin; Latin-ASCII; [:^ASCII:] Remove. Nothing when the transform is unavailable.
std::optional<std::string> NKTransliterateToASCII(const std::string& text);

// The method, upper-cased, is one whose parameters go into the URL.
bool NKMethodEncodesParametersInURI(const std::string& method, const std::set<std::string>& methods);

// A mutable copy with every default header the request does not carry (names compared
// without case on the request's side) added.
NSMutableURLRequestPtr NKRequestAddingDefaultHeaders(const NSURLRequest& request, const NKHTTPHeaderMap& headers);

// Query in the URL (URI methods) or an url-encoded form body. nullptr with *error when the
// query block fails.
NSMutableURLRequestPtr NKSerializeFormRequest(const NSURLRequestPtr& request, const Value& parameters,
                                              const NKRequestSerializationSettings& settings, NSErrorPtr* error);
// URI methods as the form request; otherwise a JSON body ("application/json" unless set).
// Parameters that are not a JSON document: -1016 of the request domain.
NSMutableURLRequestPtr NKSerializeJSONRequest(const NSURLRequestPtr& request, const Value& parameters,
                                              const NKRequestSerializationSettings& settings,
                                              uint64_t writingOptions, NSErrorPtr* error);
// URI methods as the form request; otherwise a property-list body ("application/x-plist").
NSMutableURLRequestPtr NKSerializePropertyListRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                      const NKRequestSerializationSettings& settings,
                                                      uint64_t format, uint64_t writeOptions, NSErrorPtr* error);
