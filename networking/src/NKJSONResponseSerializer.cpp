#include <networking/NKJSONResponseSerializer.h>

NKJSONResponseSerializer::NKJSONResponseSerializer() {
    setAcceptableContentTypes(std::set<std::string>{"application/json", "text/json", "text/javascript"});
}

NKJSONResponseSerializer::Ptr NKJSONResponseSerializer::serializerWithReadingOptions(uint64_t readingOptions) {
    auto serializer = std::make_shared<NKJSONResponseSerializer>();
    serializer->setReadingOptions(readingOptions);
    return serializer;
}

Value NKJSONResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                                          NSErrorPtr* error) const {
    return NKDecodeJSONResponse(validationSettings(), json_, response, data, error);
}

NKHTTPResponseSerializer::Ptr NKJSONResponseSerializer::copy() const {
    auto other = std::make_shared<NKJSONResponseSerializer>();
    copyBaseInto(*other);
    other->json_ = json_;
    return other;
}

void NKJSONResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(json_.readingOptions), "readingOptions");
    coder.encodeObject(Value(json_.removesKeysWithNullValues), "removesKeysWithNullValues");
}

bool NKJSONResponseSerializer::initWithCoder(NSCoder& coder) {
    if (!NKHTTPResponseSerializer::initWithCoder(coder)) return false;
    json_.readingOptions = coder.decodeObjectOfClass("NSNumber", "readingOptions").unsignedLongLongValue();
    json_.removesKeysWithNullValues = coder.decodeObjectOfClass("NSNumber", "removesKeysWithNullValues").boolValue();
    return true;
}
