#pragma once
// Request serializer that writes the parameters as a JSON body ("application/json");
// methods whose parameters go into the URL behave as the base serializer.

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKRequestSerializerCores.h>

class NKJSONRequestSerializer : public NKJSONRequestSerializerCore<NKHTTPRequestSerializer> {
    NS_CLASS(NKJSONRequestSerializer, NKHTTPRequestSerializer)

public:
    using Ptr = std::shared_ptr<NKJSONRequestSerializer>;

    static Ptr serializer() { return serializerWithWritingOptions(0); }
    static Ptr serializerWithWritingOptions(uint64_t writingOptions) {
        auto serializer = std::make_shared<NKJSONRequestSerializer>();
        serializer->setWritingOptions(writingOptions);
        return serializer;
    }

    NKHTTPRequestSerializer::Ptr copy() const override { return copyAs<NKJSONRequestSerializer>(); }
};
