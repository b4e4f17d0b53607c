#pragma once
// Request serializer that writes the parameters as a property-list body
// ("application/x-plist"); methods whose parameters go into the URL behave as the base.

#include <networking/NKHTTPRequestSerializer.h>
#include <networking/NKRequestSerializerCores.h>

class NKPropertyListRequestSerializer : public NKPropertyListRequestSerializerCore<NKHTTPRequestSerializer> {
    NS_CLASS(NKPropertyListRequestSerializer, NKHTTPRequestSerializer)

public:
    using Ptr = std::shared_ptr<NKPropertyListRequestSerializer>;

    static Ptr serializer() { return serializerWithFormat(100, 0); }
    static Ptr serializerWithFormat(uint64_t format, uint64_t writeOptions) {
        auto serializer = std::make_shared<NKPropertyListRequestSerializer>();
        serializer->setFormat(format);
        serializer->setWriteOptions(writeOptions);
        return serializer;
    }

    NKHTTPRequestSerializer::Ptr copy() const override { return copyAs<NKPropertyListRequestSerializer>(); }
};
