#pragma once
// The one error type of model mapping: domain "MMModelErrorDomain", codes 1-5 and the key path
// of the offending property under "kMMModelKeyPath".

#include <memory>
#include <optional>
#include <set>
#include <string>

#include <platform_runtime/NSError.h>

inline constexpr char MMModelErrorDomain[] = "MMModelErrorDomain";
inline constexpr char kMMModelMissingKeys[] = "kMMModelMissingKeys";
inline constexpr char kMMModelTypeMismatch[] = "kMMModelTypeMismatch";
inline constexpr char kMMModelKeyPath[] = "kMMModelKeyPath";

enum kMMModelErrorTypes : int64_t {
    kMMModelErrorInvalidData = 1,
    kMMModelErrorBadResponse = 2,
    kMMModelErrorBadJSON = 3,
    kMMModelErrorModelIsInvalid = 4,
    kMMModelErrorNilInput = 5,
};

class MMModelError;
using MMModelErrorPtr = std::shared_ptr<MMModelError>;

class MMModelError : public NSError {
public:
    MMModelError(std::string domain, int64_t code, Value::Dictionary userInfo = {});

    static MMModelErrorPtr errorInvalidDataWithMessage(const std::string& message);
    static MMModelErrorPtr errorInvalidDataWithMissingKeys(const std::set<std::string>& keys);
    static MMModelErrorPtr errorInvalidDataWithTypeMismatch(const std::string& mismatch);
    static MMModelErrorPtr errorBadResponse();
    static MMModelErrorPtr errorBadJSON();
    static MMModelErrorPtr errorModelIsInvalid();
    static MMModelErrorPtr errorInputIsNil();

    // A new error with the component put in front of the key path ("items" + "[2].name" gives
    // "items[2].name", "outer" + "inner" gives "outer.inner"); same domain, code and other
    // entries, without the HTTP response and body.
    MMModelErrorPtr errorByPrependingKeyPathComponent(const std::string& component) const;
    // The same for any error (its domain, code and user info carried over).
    static MMModelErrorPtr errorByPrependingKeyPathComponent(const NSError& error, const std::string& component);

    // The key path, when one was recorded.
    std::optional<std::string> keyPath() const;

    // The HTTP response and body of a failed request (set by the JSON HTTP client).
    const std::shared_ptr<NSObject>& httpResponse() const { return httpResponse_; }
    void setHttpResponse(std::shared_ptr<NSObject> response) { httpResponse_ = std::move(response); }
    const std::optional<Value::Data>& responseData() const { return responseData_; }
    void setResponseData(std::optional<Value::Data> data) { responseData_ = std::move(data); }

    std::string className() const override { return "MMModelError"; }

private:
    std::shared_ptr<NSObject> httpResponse_;
    std::optional<Value::Data> responseData_;
};
