#pragma once
// Response serializer that validates and decodes property lists ("application/x-plist").

#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKResponseSerializerCores.h>

class NKPropertyListResponseSerializer : public NKPropertyListResponseSerializerCore<NKHTTPResponseSerializer> {
    NS_CLASS(NKPropertyListResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKPropertyListResponseSerializer>;

    NKPropertyListResponseSerializer() = default;
    static Ptr serializer() { return serializerWithFormat(100, 0); }
    static Ptr serializerWithFormat(uint64_t format, uint64_t readOptions) {
        auto serializer = std::make_shared<NKPropertyListResponseSerializer>();
        serializer->setFormat(format);
        serializer->setReadOptions(readOptions);
        return serializer;
    }

    NKHTTPResponseSerializer::Ptr copy() const override { return copyAs<NKPropertyListResponseSerializer>(); }
};
