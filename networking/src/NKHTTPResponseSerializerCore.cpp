#include <networking/NKHTTPResponseSerializerCore.h>

std::set<int64_t> NKSuccessfulStatusCodes() {
    std::set<int64_t> codes;
    for (int64_t code = 200; code < 300; ++code) codes.insert(code);
    return codes;
}

NKHTTPResponseSerializerCore::NKHTTPResponseSerializerCore() { validation_.acceptableStatusCodes = NKSuccessfulStatusCodes(); }

bool NKHTTPResponseSerializerCore::validateResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                                NSErrorPtr* error) const {
    NSErrorPtr validationError;
    const bool valid = NKValidateResponse(validation_, response, data, validationError);
    if (!valid && error) *error = validationError;
    return valid;
}

Value NKHTTPResponseSerializerCore::responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                                          NSErrorPtr* error) const {
    validateResponse(response, data, error);
    return data ? Value(*data) : Value();
}

// Status codes are archived as an array of numbers (the platform layer has no index set).
void NKHTTPResponseSerializerCore::encodeWithCoder(NSCoder& coder) const {
    if (validation_.acceptableStatusCodes) {
        Value::Array codes;
        for (int64_t c : *validation_.acceptableStatusCodes) codes.emplace_back(c);
        coder.encodeObject(Value(std::move(codes)), "acceptableStatusCodes");
    }
    if (validation_.acceptableContentTypes) {
        std::vector<Value> types;
        for (const auto& t : *validation_.acceptableContentTypes) types.emplace_back(t);
        coder.encodeObject(Value::set(std::move(types)), "acceptableContentTypes");
    }
}

bool NKHTTPResponseSerializerCore::initWithCoder(NSCoder& coder) {
    Value codes = coder.decodeObjectOfClasses({"NSArray", "NSNumber"}, "acceptableStatusCodes");
    if (codes.isArray()) {
        std::set<int64_t> set;
        for (const auto& c : codes.asArray()) {
            if (c.isNumber()) set.insert(c.integerValue());
        }
        validation_.acceptableStatusCodes = std::move(set);
    } else {
        validation_.acceptableStatusCodes.reset();
    }
    Value types = coder.decodeObjectOfClasses({"NSSet", "NSString"}, "acceptableContentTypes");
    if (types.isSet()) {
        std::set<std::string> set;
        for (const auto& t : types.asSet()) {
            if (t.isString()) set.emplace(t.asString());
        }
        validation_.acceptableContentTypes = std::move(set);
    } else {
        validation_.acceptableContentTypes.reset();
    }
    return true;
}
