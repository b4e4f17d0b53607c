#pragma once
// Response serializer that asks a list of serializers in turn and answers the first object
// one of them decodes; without one it validates and answers the bytes.

#include <vector>

#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKResponseSerializerCores.h>

class NKCompoundResponseSerializer
    : public NKCompoundResponseSerializerCore<NKHTTPResponseSerializer, NKHTTPResponseSerializer> {
    NS_CLASS(NKCompoundResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKCompoundResponseSerializer>;

    NKCompoundResponseSerializer() = default;
    static Ptr serializer() { return std::make_shared<NKCompoundResponseSerializer>(); }
    static Ptr compoundSerializerWithResponseSerializers(std::vector<NKHTTPResponseSerializer::Ptr> serializers) {
        auto compound = std::make_shared<NKCompoundResponseSerializer>();
        compound->setResponseSerializers(std::move(serializers));
        return compound;
    }

    NKHTTPResponseSerializer::Ptr copy() const override { return copyAs<NKCompoundResponseSerializer>(); }
};
