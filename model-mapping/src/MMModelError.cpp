#include <model_mapping/MMModelError.h>

MMModelError::MMModelError(std::string domain, int64_t code, Value::Dictionary userInfo)
    : NSError(std::move(domain), code, std::move(userInfo)) {}

namespace {
MMModelErrorPtr make(int64_t code, const std::string& description, Value::Dictionary extra = {}) {
    extra[Value(NSLocalizedDescriptionKey)] = Value(description);
    return std::make_shared<MMModelError>(MMModelErrorDomain, code, std::move(extra));
}
}  // namespace

MMModelErrorPtr MMModelError::errorInvalidDataWithMessage(const std::string& message) {
    return make(kMMModelErrorInvalidData, "Invalid JSON data: " + message);
}

MMModelErrorPtr MMModelError::errorInvalidDataWithMissingKeys(const std::set<std::string>& keys) {
    Value::Array list(keys.begin(), keys.end());
    return make(kMMModelErrorInvalidData,
                "Invalid JSON data. Required JSON keys are missing from the input. Check the error user information.",
                {{Value(kMMModelMissingKeys), Value(std::move(list))}});
}

MMModelErrorPtr MMModelError::errorInvalidDataWithTypeMismatch(const std::string& mismatch) {
    return make(kMMModelErrorInvalidData,
                "Invalid JSON data. The JSON type mismatches the expected type. Check the error user information.",
                {{Value(kMMModelTypeMismatch), Value(mismatch)}});
}

MMModelErrorPtr MMModelError::errorBadResponse() {
    return make(kMMModelErrorBadResponse, "Bad network response. Probably the JSON URL is unreachable.");
}

MMModelErrorPtr MMModelError::errorBadJSON() {
    return make(kMMModelErrorBadJSON, "Malformed JSON. Check the MMModel data input.");
}

MMModelErrorPtr MMModelError::errorModelIsInvalid() {
    return make(kMMModelErrorModelIsInvalid,
                "Model does not validate. The custom validation for the input data failed.");
}

MMModelErrorPtr MMModelError::errorInputIsNil() {
    return make(kMMModelErrorNilInput, "Initializing model with nil input object.");
}

MMModelErrorPtr MMModelError::errorByPrependingKeyPathComponent(const std::string& component) const {
    return errorByPrependingKeyPathComponent(*this, component);
}

MMModelErrorPtr MMModelError::errorByPrependingKeyPathComponent(const NSError& error, const std::string& component) {
    Value::Dictionary info = error.userInfo();
    const Value key(kMMModelKeyPath);
    auto it = info.find(key);
    std::string path = component;
    if (it != info.end() && it->second.isString()) {
        const std::string_view old = it->second.asString();
        path.append(!old.empty() && old[0] == '[' ? "" : ".").append(old);
    }
    info[key] = Value(path);
    return std::make_shared<MMModelError>(error.domain(), error.code(), std::move(info));
}

std::optional<std::string> MMModelError::keyPath() const {
    auto it = userInfo().find(Value(kMMModelKeyPath));
    if (it == userInfo().end() || !it->second.isString()) return std::nullopt;
    return it->second.asStdString();
}
