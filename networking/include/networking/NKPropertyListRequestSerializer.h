#pragma once
// Request serializer that writes the parameters as a property-list body
// ("application/x-plist"); methods whose parameters go into the URL behave as the base.

#include <networking/NKHTTPRequestSerializer.h>

class NKPropertyListRequestSerializer : public NKHTTPRequestSerializer {
    NS_CLASS(NKPropertyListRequestSerializer, NKHTTPRequestSerializer)

public:
    using Ptr = std::shared_ptr<NKPropertyListRequestSerializer>;

    static Ptr serializer() { return serializerWithFormat(100, 0); }
    static Ptr serializerWithFormat(uint64_t format, uint64_t writeOptions);

    uint64_t format() const { return format_; }
    void setFormat(uint64_t format) { format_ = format; }
    uint64_t writeOptions() const { return writeOptions_; }
    void setWriteOptions(uint64_t options) { writeOptions_ = options; }

    NSMutableURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                       NSErrorPtr* error) const override;
    NKHTTPRequestSerializer::Ptr copy() const override;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

private:
    uint64_t format_ = 100;
    uint64_t writeOptions_ = 0;
};
