#pragma once
// Error object: a domain, a code and a user-info dictionary, with the standard keys.

#include <memory>
#include <string>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

inline constexpr char NSLocalizedDescriptionKey[] = "NSLocalizedDescription";
inline constexpr char NSLocalizedFailureReasonErrorKey[] = "NSLocalizedFailureReason";
inline constexpr char NSLocalizedRecoverySuggestionErrorKey[] = "NSLocalizedRecoverySuggestion";
inline constexpr char NSUnderlyingErrorKey[] = "NSUnderlyingError";
inline constexpr char NSFilePathErrorKey[] = "NSFilePath";
inline constexpr char NSURLErrorFailingURLErrorKey[] = "NSErrorFailingURLKey";
inline constexpr char NSURLErrorFailingURLStringErrorKey[] = "NSErrorFailingURLStringKey";
inline constexpr char NSURLErrorKey[] = "NSURL";

inline constexpr char NSURLErrorDomain[] = "NSURLErrorDomain";
inline constexpr char NSCocoaErrorDomain[] = "NSCocoaErrorDomain";
inline constexpr char NSPOSIXErrorDomain[] = "NSPOSIXErrorDomain";
inline constexpr char NSOSStatusErrorDomain[] = "NSOSStatusErrorDomain";

class NSError;
using NSErrorPtr = std::shared_ptr<NSError>;

class NSError : public NSObject {
public:
    NSError(std::string domain, int64_t code, Value::Dictionary userInfo = {});

    static NSErrorPtr errorWithDomain(std::string domain, int64_t code, Value::Dictionary userInfo = {});

    const std::string& domain() const { return domain_; }
    int64_t code() const { return code_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }

    // The user-info description, else "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    // The user-info failure reason; "" when absent.
    std::string localizedFailureReason() const;
    // The user-info recovery suggestion; "" when absent.
    std::string localizedRecoverySuggestion() const;
    // The NSError stored under NSUnderlyingErrorKey, or nullptr.
    NSErrorPtr underlyingError() const;

    std::string className() const override { return "NSError"; }
    // Error Domain=<domain> Code=<code> "<localizedDescription>" UserInfo=<userInfo>
    // (the UserInfo part is left out when the user info is empty).
    std::string description() const override;
    // Same class, domain, code and user info.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

private:
    std::string domain_;
    int64_t code_;
    Value::Dictionary userInfo_;
};
