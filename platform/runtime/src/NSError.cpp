#include <platform_runtime/NSError.h>

NSError::NSError(std::string domain, int64_t code, Value::Dictionary userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

NSErrorPtr NSError::errorWithDomain(std::string domain, int64_t code, Value::Dictionary userInfo) {
    return std::make_shared<NSError>(std::move(domain), code, std::move(userInfo));
}

namespace {

std::string userInfoString(const Value::Dictionary& userInfo, const char* key) {
    const auto it = userInfo.find(Value(key));
    if (it == userInfo.end() || it->second.isNull()) return "";
    return it->second.stringValue();
}

}  // namespace

std::string NSError::localizedDescription() const {
    std::string text = userInfoString(userInfo_, NSLocalizedDescriptionKey);
    if (!text.empty()) return text;
    return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::string NSError::localizedFailureReason() const { return userInfoString(userInfo_, NSLocalizedFailureReasonErrorKey); }

std::string NSError::localizedRecoverySuggestion() const {
    return userInfoString(userInfo_, NSLocalizedRecoverySuggestionErrorKey);
}

NSErrorPtr NSError::underlyingError() const {
    const auto it = userInfo_.find(Value(NSUnderlyingErrorKey));
    return it == userInfo_.end() ? nullptr : it->second.objectAs<NSError>();
}

std::string NSError::description() const {
    std::string out = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() + "\"";
    if (!userInfo_.empty()) out += " UserInfo=" + Value(userInfo_).description();
    return out;
}

bool NSError::isEqual(const NSObject& other) const {
    if (this == &other) return true;
    const auto* e = dynamic_cast<const NSError*>(&other);
    return e && e->code_ == code_ && e->domain_ == domain_ && e->userInfo_ == userInfo_;
}

std::size_t NSError::hash() const { return std::hash<std::string>{}(domain_) ^ static_cast<std::size_t>(code_); }
