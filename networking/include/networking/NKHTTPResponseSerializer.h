#pragma once
// The validating response serializer: checks status code and content type, and answers the
// received bytes. The base of the JSON, XML, property-list, image and compound serializers.

#include <memory>

#include <networking/NKHTTPResponseSerializerCore.h>
#include <platform_runtime/ObjCDeclare.h>

class NKHTTPResponseSerializer : public NKHTTPResponseSerializerCore {
    NS_CLASS(NKHTTPResponseSerializer, NSObject)
    NS_PROTOCOLS("NKURLResponseSerialization", "NSSecureCoding", "NSCopying")

public:
    using Ptr = std::shared_ptr<NKHTTPResponseSerializer>;

    NKHTTPResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<NKHTTPResponseSerializer>(); }
    static bool supportsSecureCoding() { return true; }

    // A new instance of the same class with the same configuration.
    virtual Ptr copy() const { return copyAs<NKHTTPResponseSerializer>(); }
};
