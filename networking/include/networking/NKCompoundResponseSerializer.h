#pragma once
// Response serializer that asks a list of serializers in turn and answers the first object
// one of them decodes; without one it validates and answers the bytes.

#include <vector>

#include <networking/NKHTTPResponseSerializer.h>

class NKCompoundResponseSerializer : public NKHTTPResponseSerializer {
    NS_CLASS(NKCompoundResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKCompoundResponseSerializer>;

    static Ptr serializer() { return std::make_shared<NKCompoundResponseSerializer>(); }
    static Ptr compoundSerializerWithResponseSerializers(std::vector<NKHTTPResponseSerializer::Ptr> serializers);

    const std::vector<NKHTTPResponseSerializer::Ptr>& responseSerializers() const { return serializers_; }
    void setResponseSerializers(std::vector<NKHTTPResponseSerializer::Ptr> serializers);

    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override;
    NKHTTPResponseSerializer::Ptr copy() const override;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

private:
    std::vector<NKHTTPResponseSerializer::Ptr> serializers_;
};
