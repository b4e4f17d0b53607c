#pragma once
// Request serializer that writes the parameters as a JSON body ("application/json");
// methods whose parameters go into the URL behave as the base serializer.

#include <networking/NKHTTPRequestSerializer.h>

class NKJSONRequestSerializer : public NKHTTPRequestSerializer {
    NS_CLASS(NKJSONRequestSerializer, NKHTTPRequestSerializer)

public:
    using Ptr = std::shared_ptr<NKJSONRequestSerializer>;

    static Ptr serializer() { return serializerWithWritingOptions(0); }
    static Ptr serializerWithWritingOptions(uint64_t writingOptions);

    uint64_t writingOptions() const { return writingOptions_; }
    void setWritingOptions(uint64_t options) { writingOptions_ = options; }

    NSMutableURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                       NSErrorPtr* error) const override;
    NKHTTPRequestSerializer::Ptr copy() const override;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

private:
    uint64_t writingOptions_ = 0;
};
