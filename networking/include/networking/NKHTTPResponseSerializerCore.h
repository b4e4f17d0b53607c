#pragma once
// The state and behaviour every validating response serializer shares, whatever its
// prefix: acceptable status codes and content types, validation, the raw-bytes answer,
// keyed coding and copying. Not a runtime class of its own: each named serializer class
// derives from it (or from a subclass core in NKResponseSerializerCores.h) and registers
// itself. Configure before use; serializing is safe from several threads at once.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <networking/NKResponseSerializationCore.h>
#include <networking/NKURLResponseSerialization.h>
#include <platform_foundation/NSCoding.h>
#include <platform_runtime/NSObject.h>

class NKHTTPResponseSerializerCore : public NSObject, public NKURLResponseSerialization, public NSCoding {
public:
    using StatusCodes = std::optional<std::set<int64_t>>;
    using ContentTypes = std::optional<std::set<std::string>>;

    // 200 to 299 by default; none accepts any status.
    const StatusCodes& acceptableStatusCodes() const { return validation_.acceptableStatusCodes; }
    void setAcceptableStatusCodes(StatusCodes codes) { validation_.acceptableStatusCodes = std::move(codes); }
    // None by default: any content type.
    const ContentTypes& acceptableContentTypes() const { return validation_.acceptableContentTypes; }
    void setAcceptableContentTypes(ContentTypes types) { validation_.acceptableContentTypes = std::move(types); }

    // True when acceptable; an invalid response puts its error into *error (when given).
    bool validateResponse(const NSURLResponsePtr& response, const Value::Data* data, NSErrorPtr* error) const;
    // Validates, then answers the bytes whatever the outcome (Null without bytes).
    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override;

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // Copies every configured field into `other`, an instance of the same class.
    virtual void copyConfigurationInto(NKHTTPResponseSerializerCore& other) const { other.validation_ = validation_; }

protected:
    NKHTTPResponseSerializerCore();

    const NKResponseValidationSettings& validationSettings() const { return validation_; }
    template <class S>
    std::shared_ptr<S> copyAs() const {
        auto other = std::make_shared<S>();
        copyConfigurationInto(*other);
        return other;
    }

private:
    NKResponseValidationSettings validation_;
};

// "200 to 299": the default acceptable status codes.
std::set<int64_t> NKSuccessfulStatusCodes();
