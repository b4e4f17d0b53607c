#pragma once
// Response serializer that validates XML responses ("application/xml", "text/xml") and
// answers an event parser over the bytes, not yet started.

#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKResponseSerializerCores.h>

class NKXMLParserResponseSerializer : public NKXMLParserResponseSerializerCore<NKHTTPResponseSerializer> {
    NS_CLASS(NKXMLParserResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKXMLParserResponseSerializer>;

    NKXMLParserResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<NKXMLParserResponseSerializer>(); }

    NKHTTPResponseSerializer::Ptr copy() const override { return copyAs<NKXMLParserResponseSerializer>(); }
};
