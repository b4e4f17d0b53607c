#pragma once
// Response serializer that validates and decodes JSON ("application/json", "text/json",
// "text/javascript"), optionally removing the keys whose value is null.

#include <networking/NKHTTPResponseSerializer.h>

class NKJSONResponseSerializer : public NKHTTPResponseSerializer {
    NS_CLASS(NKJSONResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKJSONResponseSerializer>;

    NKJSONResponseSerializer();
    static Ptr serializer() { return serializerWithReadingOptions(0); }
    static Ptr serializerWithReadingOptions(uint64_t readingOptions);

    uint64_t readingOptions() const { return json_.readingOptions; }
    void setReadingOptions(uint64_t options) { json_.readingOptions = options; }
    bool removesKeysWithNullValues() const { return json_.removesKeysWithNullValues; }
    void setRemovesKeysWithNullValues(bool on) { json_.removesKeysWithNullValues = on; }

    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override;
    NKHTTPResponseSerializer::Ptr copy() const override;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

private:
    NKJSONDecodingSettings json_;
};
