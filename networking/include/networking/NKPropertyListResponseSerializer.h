#pragma once
// Response serializer that validates and decodes property lists ("application/x-plist").

#include <networking/NKHTTPResponseSerializer.h>

class NKPropertyListResponseSerializer : public NKHTTPResponseSerializer {
    NS_CLASS(NKPropertyListResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKPropertyListResponseSerializer>;

    NKPropertyListResponseSerializer();
    static Ptr serializer() { return serializerWithFormat(100, 0); }
    static Ptr serializerWithFormat(uint64_t format, uint64_t readOptions);

    // Kept and archived; reading detects the format by itself.
    uint64_t format() const { return format_; }
    void setFormat(uint64_t format) { format_ = format; }
    uint64_t readOptions() const { return readOptions_; }
    void setReadOptions(uint64_t options) { readOptions_ = options; }

    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override;
    NKHTTPResponseSerializer::Ptr copy() const override;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

private:
    uint64_t format_ = 100;
    uint64_t readOptions_ = 0;
};
