#pragma once
// The validating response serializer: checks status code and content type, and answers the
// received bytes. The base of the JSON, XML, property-list, image and compound serializers.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <networking/NKResponseSerializationCore.h>
#include <networking/NKURLResponseSerialization.h>
#include <platform_foundation/NSCoding.h>
#include <platform_runtime/ObjCDeclare.h>

class NKHTTPResponseSerializer : public NSObject, public NKURLResponseSerialization, public NSCoding {
    NS_CLASS(NKHTTPResponseSerializer, NSObject)
    NS_PROTOCOLS("NKURLResponseSerialization", "NSSecureCoding", "NSCopying")

public:
    using Ptr = std::shared_ptr<NKHTTPResponseSerializer>;
    using StatusCodes = std::optional<std::set<int64_t>>;
    using ContentTypes = std::optional<std::set<std::string>>;

    NKHTTPResponseSerializer();

    static Ptr serializer() { return std::make_shared<NKHTTPResponseSerializer>(); }
    static bool supportsSecureCoding() { return true; }

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

    // A new instance of the same class with the same configuration.
    virtual Ptr copy() const;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

protected:
    const NKResponseValidationSettings& validationSettings() const { return validation_; }
    void copyBaseInto(NKHTTPResponseSerializer& other) const { other.validation_ = validation_; }

private:
    NKResponseValidationSettings validation_;
};

// "200 to 299": the default acceptable status codes.
std::set<int64_t> NKSuccessfulStatusCodes();
