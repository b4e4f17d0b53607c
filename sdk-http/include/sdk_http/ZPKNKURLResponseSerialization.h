#pragma once
// The monitoring kit's response serializers: the shared validating and decoding behaviour
// under the kit's own class names, and the kit's names of the shared error and image
// helpers. JSON null removal leaves null array elements in place. Configure before use;
// serializing is safe from several threads at once.

#include <memory>
#include <vector>

#include <networking/NKImageDecoding.h>
#include <networking/NKResponseSerializerCores.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_runtime/ObjCDeclare.h>

class ZPKNKHTTPResponseSerializer : public NKHTTPResponseSerializerCore {
    NS_CLASS(ZPKNKHTTPResponseSerializer, NSObject)
    NS_PROTOCOLS("ZPKNKURLResponseSerialization", "NSSecureCoding", "NSCopying")

public:
    using Ptr = std::shared_ptr<ZPKNKHTTPResponseSerializer>;

    ZPKNKHTTPResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<ZPKNKHTTPResponseSerializer>(); }
    static bool supportsSecureCoding() { return true; }

    // Kept for callers; validation does not read it.
    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }

    void copyConfigurationInto(NKHTTPResponseSerializerCore& other) const override {
        NKHTTPResponseSerializerCore::copyConfigurationInto(other);
        static_cast<ZPKNKHTTPResponseSerializer&>(other).stringEncoding_ = stringEncoding_;
    }
    // A new instance of the same class with the same configuration.
    virtual Ptr copy() const { return copyAs<ZPKNKHTTPResponseSerializer>(); }

private:
    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
};

class ZPKNKJSONResponseSerializer : public NKJSONResponseSerializerCore<ZPKNKHTTPResponseSerializer> {
    NS_CLASS(ZPKNKJSONResponseSerializer, ZPKNKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<ZPKNKJSONResponseSerializer>;

    ZPKNKJSONResponseSerializer() : NKJSONResponseSerializerCore(false) {}
    static Ptr serializer() { return serializerWithReadingOptions(0); }
    static Ptr serializerWithReadingOptions(uint64_t readingOptions) {
        auto serializer = std::make_shared<ZPKNKJSONResponseSerializer>();
        serializer->setReadingOptions(readingOptions);
        return serializer;
    }
    ZPKNKHTTPResponseSerializer::Ptr copy() const override { return copyAs<ZPKNKJSONResponseSerializer>(); }
};

class ZPKNKXMLParserResponseSerializer : public NKXMLParserResponseSerializerCore<ZPKNKHTTPResponseSerializer> {
    NS_CLASS(ZPKNKXMLParserResponseSerializer, ZPKNKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<ZPKNKXMLParserResponseSerializer>;

    ZPKNKXMLParserResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<ZPKNKXMLParserResponseSerializer>(); }
    ZPKNKHTTPResponseSerializer::Ptr copy() const override { return copyAs<ZPKNKXMLParserResponseSerializer>(); }
};

class ZPKNKPropertyListResponseSerializer
    : public NKPropertyListResponseSerializerCore<ZPKNKHTTPResponseSerializer> {
    NS_CLASS(ZPKNKPropertyListResponseSerializer, ZPKNKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<ZPKNKPropertyListResponseSerializer>;

    ZPKNKPropertyListResponseSerializer() = default;
    static Ptr serializer() { return serializerWithFormat(100, 0); }
    static Ptr serializerWithFormat(uint64_t format, uint64_t readOptions) {
        auto serializer = std::make_shared<ZPKNKPropertyListResponseSerializer>();
        serializer->setFormat(format);
        serializer->setReadOptions(readOptions);
        return serializer;
    }
    ZPKNKHTTPResponseSerializer::Ptr copy() const override { return copyAs<ZPKNKPropertyListResponseSerializer>(); }
};

class ZPKNKImageResponseSerializer : public NKImageResponseSerializerCore<ZPKNKHTTPResponseSerializer> {
    NS_CLASS(ZPKNKImageResponseSerializer, ZPKNKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<ZPKNKImageResponseSerializer>;

    ZPKNKImageResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<ZPKNKImageResponseSerializer>(); }
    ZPKNKHTTPResponseSerializer::Ptr copy() const override { return copyAs<ZPKNKImageResponseSerializer>(); }
};

class ZPKNKCompoundResponseSerializer
    : public NKCompoundResponseSerializerCore<ZPKNKHTTPResponseSerializer, ZPKNKHTTPResponseSerializer> {
    NS_CLASS(ZPKNKCompoundResponseSerializer, ZPKNKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<ZPKNKCompoundResponseSerializer>;

    ZPKNKCompoundResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<ZPKNKCompoundResponseSerializer>(); }
    static Ptr compoundSerializerWithResponseSerializers(std::vector<ZPKNKHTTPResponseSerializer::Ptr> serializers) {
        auto compound = std::make_shared<ZPKNKCompoundResponseSerializer>();
        compound->setResponseSerializers(std::move(serializers));
        return compound;
    }
    ZPKNKHTTPResponseSerializer::Ptr copy() const override { return copyAs<ZPKNKCompoundResponseSerializer>(); }
};

// error with `underlying` under NSUnderlyingErrorKey, unless it already has one (the
// underlying error alone when there is no error).
inline NSErrorPtr ZPKNKAttachUnderlyingError(const NSErrorPtr& error, const NSErrorPtr& underlying) {
    return NKChainUnderlyingError(error, underlying);
}
// The error or one under it is the response domain's -1016 (content type not acceptable).
inline bool ZPKNKErrorHasCodeInDomain(const NSErrorPtr& error) { return NKErrorChainHasCode(error); }
// The decoded image at `scale`, through the one process-wide decoding lock.
inline UIImagePtr ZPKNKImageWithDataAtScale(const Value::Data& data, double scale) {
    return NKImageFromDataAtScale(data, scale);
}
