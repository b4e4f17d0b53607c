#pragma once
// The monitoring kit's request serializers and query-string helpers: the shared request
// building under the kit's own class names. Default headers are safe to change from any
// thread; configure the other fields before use.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <networking/NKQueryString.h>
#include <networking/NKRequestSerializerCores.h>
#include <platform_runtime/ObjCDeclare.h>

using ZPKNKQueryStringPair = NKQueryStringPair;

// The pairs of the parameters, sorted and escaped, joined with "&".
inline std::string ZPKNKQueryStringFromDictionary(const Value& parameters) {
    return NKQueryStringFromDictionary(parameters);
}
// Nested parameters flattened into field / value pairs (`key` Null: the top level).
inline std::vector<ZPKNKQueryStringPair> ZPKNKFlattenQueryPairs(const Value& key, const Value& value) {
    return NKFlattenQueryPairs(key, value);
}
// Percent escaping of one query field or value.
inline std::string ZPKNKEscapeQueryComponent(std::string_view text) { return NKEscapeQueryComponent(text); }
// The six request properties copied onto requests once set, in the order they are applied.
inline const std::vector<std::string>& ZPKNKObservedRequestKeyPaths() { return NKRequestSerializerObservedProperties(); }

class ZPKNKHTTPRequestSerializer : public NKHTTPRequestSerializerCore {
    NS_CLASS(ZPKNKHTTPRequestSerializer, NSObject)
    NS_PROTOCOLS("ZPKNKURLRequestSerialization", "NSSecureCoding", "NSCopying")

public:
    using Ptr = std::shared_ptr<ZPKNKHTTPRequestSerializer>;

    ZPKNKHTTPRequestSerializer() = default;
    static Ptr serializer() { return std::make_shared<ZPKNKHTTPRequestSerializer>(); }
    static bool supportsSecureCoding() { return true; }

    // A new instance of the same class with the headers, query style and block (and the
    // subclass's own fields); everything else at its defaults.
    virtual Ptr copy() const { return copyAs<ZPKNKHTTPRequestSerializer>(); }

    NK_REQUEST_SERIALIZER_PROPERTIES

protected:
    std::shared_ptr<NKStreamingMultipartFormDataCore> makeMultipartFormData(const NSURLRequestPtr& request,
                                                                            NSStringEncoding encoding) const override;
};

class ZPKNKJSONRequestSerializer : public NKJSONRequestSerializerCore<ZPKNKHTTPRequestSerializer> {
    NS_CLASS(ZPKNKJSONRequestSerializer, ZPKNKHTTPRequestSerializer)

public:
    using Ptr = std::shared_ptr<ZPKNKJSONRequestSerializer>;

    static Ptr serializer() { return serializerWithWritingOptions(0); }
    static Ptr serializerWithWritingOptions(uint64_t writingOptions) {
        auto serializer = std::make_shared<ZPKNKJSONRequestSerializer>();
        serializer->setWritingOptions(writingOptions);
        return serializer;
    }
    ZPKNKHTTPRequestSerializer::Ptr copy() const override { return copyAs<ZPKNKJSONRequestSerializer>(); }
};

class ZPKNKPropertyListRequestSerializer : public NKPropertyListRequestSerializerCore<ZPKNKHTTPRequestSerializer> {
    NS_CLASS(ZPKNKPropertyListRequestSerializer, ZPKNKHTTPRequestSerializer)

public:
    using Ptr = std::shared_ptr<ZPKNKPropertyListRequestSerializer>;

    static Ptr serializer() { return serializerWithFormat(100, 0); }
    static Ptr serializerWithFormat(uint64_t format, uint64_t writeOptions) {
        auto serializer = std::make_shared<ZPKNKPropertyListRequestSerializer>();
        serializer->setFormat(format);
        serializer->setWriteOptions(writeOptions);
        return serializer;
    }
    ZPKNKHTTPRequestSerializer::Ptr copy() const override { return copyAs<ZPKNKPropertyListRequestSerializer>(); }
};
