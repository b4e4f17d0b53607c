#include <crash_reporting/ZUDErrors.h>

NSErrorPtr zud_errorWithDescription(const std::string& domain, int64_t code, const std::string& description) {
    Value::Dictionary info;
    info[Value(NSLocalizedDescriptionKey)] = Value(description);
    return NSError::errorWithDomain(domain, code, std::move(info));
}
