#include <networking/NKPropertyListRequestSerializer.h>

NKPropertyListRequestSerializer::Ptr NKPropertyListRequestSerializer::serializerWithFormat(uint64_t format,
                                                                                          uint64_t writeOptions) {
    auto serializer = std::make_shared<NKPropertyListRequestSerializer>();
    serializer->setFormat(format);
    serializer->setWriteOptions(writeOptions);
    return serializer;
}

NSMutableURLRequestPtr NKPropertyListRequestSerializer::requestBySerializingRequest(const NSURLRequestPtr& request,
                                                                                    const Value& parameters,
                                                                                    NSErrorPtr* error) const {
    return NKSerializePropertyListRequest(request, parameters, settings(), format_, writeOptions_, error);
}

NKHTTPRequestSerializer::Ptr NKPropertyListRequestSerializer::copy() const {
    auto other = std::make_shared<NKPropertyListRequestSerializer>();
    copyBaseInto(*other);
    other->format_ = format_;
    other->writeOptions_ = writeOptions_;
    return other;
}

void NKPropertyListRequestSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(format_), "format");
    coder.encodeObject(Value(writeOptions_), "writeOptions");
}

bool NKPropertyListRequestSerializer::initWithCoder(NSCoder& coder) {
    if (!NKHTTPRequestSerializer::initWithCoder(coder)) return false;
    format_ = coder.decodeObjectOfClass("NSNumber", "format").unsignedLongLongValue();
    writeOptions_ = coder.decodeObjectOfClass("NSNumber", "writeOptions").unsignedLongLongValue();
    return true;
}
