#pragma once
// Response serializer that validates and decodes JSON ("application/json", "text/json",
// "text/javascript"), optionally removing the nulls of dictionaries and arrays.

#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKResponseSerializerCores.h>

class NKJSONResponseSerializer : public NKJSONResponseSerializerCore<NKHTTPResponseSerializer> {
    NS_CLASS(NKJSONResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKJSONResponseSerializer>;

    NKJSONResponseSerializer() : NKJSONResponseSerializerCore(true) {}
    static Ptr serializer() { return serializerWithReadingOptions(0); }
    static Ptr serializerWithReadingOptions(uint64_t readingOptions) {
        auto serializer = std::make_shared<NKJSONResponseSerializer>();
        serializer->setReadingOptions(readingOptions);
        return serializer;
    }

    NKHTTPResponseSerializer::Ptr copy() const override { return copyAs<NKJSONResponseSerializer>(); }
};
