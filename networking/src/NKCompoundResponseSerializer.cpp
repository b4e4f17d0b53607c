#include <networking/NKCompoundResponseSerializer.h>

NKCompoundResponseSerializer::Ptr NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    std::vector<NKHTTPResponseSerializer::Ptr> serializers) {
    auto compound = std::make_shared<NKCompoundResponseSerializer>();
    compound->setResponseSerializers(std::move(serializers));
    return compound;
}

void NKCompoundResponseSerializer::setResponseSerializers(std::vector<NKHTTPResponseSerializer::Ptr> serializers) {
    serializers_.clear();
    for (auto& s : serializers) {
        if (s) serializers_.push_back(std::move(s));
    }
}

Value NKCompoundResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response,
                                                              const Value::Data* data, NSErrorPtr* error) const {
    for (const auto& serializer : serializers_) {
        NSErrorPtr serializerError;
        Value object = serializer->responseObjectForResponse(response, data, &serializerError);
        if (!object.isNull()) {
            if (error) *error = NKChainUnderlyingError(serializerError, *error);
            return object;
        }
    }
    return NKHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

NKHTTPResponseSerializer::Ptr NKCompoundResponseSerializer::copy() const {
    auto other = std::make_shared<NKCompoundResponseSerializer>();
    copyBaseInto(*other);
    other->serializers_ = serializers_;
    return other;
}

void NKCompoundResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    Value::Array list;
    for (const auto& s : serializers_) list.emplace_back(s);
    coder.encodeObject(Value(std::move(list)), "responseSerializers");
}

bool NKCompoundResponseSerializer::initWithCoder(NSCoder& coder) {
    if (!NKHTTPResponseSerializer::initWithCoder(coder)) return false;
    serializers_.clear();
    Value list = coder.decodeObjectOfClasses({"NSArray", "NKHTTPResponseSerializer"}, "responseSerializers");
    for (const auto& element : list.asArray()) {
        if (auto s = element.objectAs<NKHTTPResponseSerializer>()) serializers_.push_back(std::move(s));
    }
    return true;
}
