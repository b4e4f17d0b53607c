#include <networking/NKPropertyListResponseSerializer.h>

NKPropertyListResponseSerializer::NKPropertyListResponseSerializer() {
    setAcceptableContentTypes(std::set<std::string>{"application/x-plist"});
}

NKPropertyListResponseSerializer::Ptr NKPropertyListResponseSerializer::serializerWithFormat(uint64_t format,
                                                                                            uint64_t readOptions) {
    auto serializer = std::make_shared<NKPropertyListResponseSerializer>();
    serializer->setFormat(format);
    serializer->setReadOptions(readOptions);
    return serializer;
}

Value NKPropertyListResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response,
                                                                  const Value::Data* data, NSErrorPtr* error) const {
    return NKDecodePropertyListResponse(validationSettings(), readOptions_, response, data, error);
}

NKHTTPResponseSerializer::Ptr NKPropertyListResponseSerializer::copy() const {
    auto other = std::make_shared<NKPropertyListResponseSerializer>();
    copyBaseInto(*other);
    other->format_ = format_;
    other->readOptions_ = readOptions_;
    return other;
}

void NKPropertyListResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(format_), "format");
    coder.encodeObject(Value(readOptions_), "readOptions");
}

bool NKPropertyListResponseSerializer::initWithCoder(NSCoder& coder) {
    if (!NKHTTPResponseSerializer::initWithCoder(coder)) return false;
    format_ = coder.decodeObjectOfClass("NSNumber", "format").unsignedLongLongValue();
    readOptions_ = coder.decodeObjectOfClass("NSNumber", "readOptions").unsignedLongLongValue();
    return true;
}
