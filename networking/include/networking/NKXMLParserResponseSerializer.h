#pragma once
// Response serializer that validates XML responses ("application/xml", "text/xml") and
// answers an event parser over the bytes, not yet started.

#include <networking/NKHTTPResponseSerializer.h>

class NKXMLParserResponseSerializer : public NKHTTPResponseSerializer {
    NS_CLASS(NKXMLParserResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKXMLParserResponseSerializer>;

    NKXMLParserResponseSerializer();
    static Ptr serializer() { return std::make_shared<NKXMLParserResponseSerializer>(); }

    // An NSXMLParser object (Value object reference), or Null.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override;
    NKHTTPResponseSerializer::Ptr copy() const override;
};
