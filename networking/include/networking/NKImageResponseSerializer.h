#pragma once
// Response serializer that validates image responses and decodes them at the screen's
// scale, inflated into a device-RGB bitmap by default.

#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKResponseSerializerCores.h>

class NKImageResponseSerializer : public NKImageResponseSerializerCore<NKHTTPResponseSerializer> {
    NS_CLASS(NKImageResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKImageResponseSerializer>;

    NKImageResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<NKImageResponseSerializer>(); }

    NKHTTPResponseSerializer::Ptr copy() const override { return copyAs<NKImageResponseSerializer>(); }
};
