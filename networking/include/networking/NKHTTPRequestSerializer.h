#pragma once
// Builds HTTP requests from a method, a URL string and parameters: default headers, the
// request properties the caller set, and the parameters as URL query or form body; also
// multipart requests with a streamed body. The base of the JSON and property-list serializers.

#include <memory>

#include <networking/NKHTTPRequestSerializerCore.h>
#include <platform_runtime/ObjCDeclare.h>

class NKHTTPRequestSerializer : public NKHTTPRequestSerializerCore {
    NS_CLASS(NKHTTPRequestSerializer, NSObject)
    NS_PROTOCOLS("NKURLRequestSerialization", "NSSecureCoding", "NSCopying")

public:
    using Ptr = std::shared_ptr<NKHTTPRequestSerializer>;

    NKHTTPRequestSerializer() = default;
    static Ptr serializer() { return std::make_shared<NKHTTPRequestSerializer>(); }
    static bool supportsSecureCoding() { return true; }

    // A new instance of the same class with the headers, query style and block (and the
    // subclass's own fields); everything else at its defaults.
    virtual Ptr copy() const { return copyAs<NKHTTPRequestSerializer>(); }

    NK_REQUEST_SERIALIZER_PROPERTIES

protected:
    std::shared_ptr<NKStreamingMultipartFormDataCore> makeMultipartFormData(const NSURLRequestPtr& request,
                                                                            NSStringEncoding encoding) const override;
};
