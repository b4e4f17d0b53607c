#include <networking/NKJSONRequestSerializer.h>

NKJSONRequestSerializer::Ptr NKJSONRequestSerializer::serializerWithWritingOptions(uint64_t writingOptions) {
    auto serializer = std::make_shared<NKJSONRequestSerializer>();
    serializer->setWritingOptions(writingOptions);
    return serializer;
}

NSMutableURLRequestPtr NKJSONRequestSerializer::requestBySerializingRequest(const NSURLRequestPtr& request,
                                                                            const Value& parameters,
                                                                            NSErrorPtr* error) const {
    return NKSerializeJSONRequest(request, parameters, settings(), writingOptions_, error);
}

NKHTTPRequestSerializer::Ptr NKJSONRequestSerializer::copy() const {
    auto other = std::make_shared<NKJSONRequestSerializer>();
    copyBaseInto(*other);
    other->writingOptions_ = writingOptions_;
    return other;
}

void NKJSONRequestSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(writingOptions_), "writingOptions");
}

bool NKJSONRequestSerializer::initWithCoder(NSCoder& coder) {
    if (!NKHTTPRequestSerializer::initWithCoder(coder)) return false;
    writingOptions_ = coder.decodeObjectOfClass("NSNumber", "writingOptions").unsignedLongLongValue();
    return true;
}
