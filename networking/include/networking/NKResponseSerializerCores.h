#pragma once
// The decoding response serializers, once for every prefix: each core sits on the family's
// validating serializer (`Base`, itself on NKHTTPResponseSerializerCore) and adds its fields,
// decoding, coding and copying; the named classes of each family only register and name
// them. Configure before use; serializing is safe from several threads at once.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <networking/NKHTTPResponseSerializerCore.h>
#include <platform_foundation/NSCoder.h>

// The XML parser object over the bytes after validation, or Null.
Value NKXMLParserResponseObject(const NKResponseValidationSettings& validation, const NSURLResponsePtr& response,
                                const Value::Data* data, NSErrorPtr* error);
// The decoded image (inflated when asked) after validation, or Null.
Value NKImageResponseObject(const NKResponseValidationSettings& validation, bool inflate, double scale,
                            const NSURLResponsePtr& response, const Value::Data* data, NSErrorPtr* error);
// The main screen's scale: the default image scale.
double NKDefaultImageScale();
// The content types the image serializers accept by default.
std::set<std::string> NKImageContentTypes();

template <class Base>
class NKJSONResponseSerializerCore : public Base {
public:
    uint64_t readingOptions() const { return json_.readingOptions; }
    void setReadingOptions(uint64_t options) { json_.readingOptions = options; }
    bool removesKeysWithNullValues() const { return json_.removesKeysWithNullValues; }
    void setRemovesKeysWithNullValues(bool on) { json_.removesKeysWithNullValues = on; }

    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override {
        return NKDecodeJSONResponse(this->validationSettings(), json_, response, data, error);
    }
    void copyConfigurationInto(NKHTTPResponseSerializerCore& other) const override {
        Base::copyConfigurationInto(other);
        static_cast<NKJSONResponseSerializerCore&>(other).json_ = json_;
    }
    void encodeWithCoder(NSCoder& coder) const override {
        Base::encodeWithCoder(coder);
        coder.encodeObject(Value(json_.readingOptions), "readingOptions");
        coder.encodeObject(Value(json_.removesKeysWithNullValues), "removesKeysWithNullValues");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (!Base::initWithCoder(coder)) return false;
        json_.readingOptions = coder.decodeObjectOfClass("NSNumber", "readingOptions").unsignedLongLongValue();
        json_.removesKeysWithNullValues =
            coder.decodeObjectOfClass("NSNumber", "removesKeysWithNullValues").boolValue();
        return true;
    }

protected:
    // Null removal drops null array elements too, or leaves them in place.
    explicit NKJSONResponseSerializerCore(bool removeNullArrayElements) {
        this->setAcceptableContentTypes(std::set<std::string>{"application/json", "text/json", "text/javascript"});
        json_.removeNullArrayElements = removeNullArrayElements;
    }

private:
    NKJSONDecodingSettings json_;
};

template <class Base>
class NKXMLParserResponseSerializerCore : public Base {
public:
    // An NSXMLParser object (Value object reference), or Null.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override {
        return NKXMLParserResponseObject(this->validationSettings(), response, data, error);
    }

protected:
    NKXMLParserResponseSerializerCore() {
        this->setAcceptableContentTypes(std::set<std::string>{"application/xml", "text/xml"});
    }
};

template <class Base>
class NKPropertyListResponseSerializerCore : public Base {
public:
    // Kept and archived; reading detects the format by itself.
    uint64_t format() const { return format_; }
    void setFormat(uint64_t format) { format_ = format; }
    uint64_t readOptions() const { return readOptions_; }
    void setReadOptions(uint64_t options) { readOptions_ = options; }

    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override {
        return NKDecodePropertyListResponse(this->validationSettings(), readOptions_, response, data, error);
    }
    void copyConfigurationInto(NKHTTPResponseSerializerCore& other) const override {
        Base::copyConfigurationInto(other);
        auto& o = static_cast<NKPropertyListResponseSerializerCore&>(other);
        o.format_ = format_;
        o.readOptions_ = readOptions_;
    }
    void encodeWithCoder(NSCoder& coder) const override {
        Base::encodeWithCoder(coder);
        coder.encodeObject(Value(format_), "format");
        coder.encodeObject(Value(readOptions_), "readOptions");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (!Base::initWithCoder(coder)) return false;
        format_ = coder.decodeObjectOfClass("NSNumber", "format").unsignedLongLongValue();
        readOptions_ = coder.decodeObjectOfClass("NSNumber", "readOptions").unsignedLongLongValue();
        return true;
    }

protected:
    NKPropertyListResponseSerializerCore() {
        this->setAcceptableContentTypes(std::set<std::string>{"application/x-plist"});
    }

private:
    uint64_t format_ = 100;
    uint64_t readOptions_ = 0;
};

template <class Base>
class NKImageResponseSerializerCore : public Base {
public:
    bool automaticallyInflatesResponseImage() const { return automaticallyInflatesResponseImage_; }
    void setAutomaticallyInflatesResponseImage(bool on) { automaticallyInflatesResponseImage_ = on; }
    double imageScale() const { return imageScale_; }
    void setImageScale(double scale) { imageScale_ = scale; }

    // A UIImage object (Value object reference), or Null.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override {
        return NKImageResponseObject(this->validationSettings(), automaticallyInflatesResponseImage_, imageScale_,
                                     response, data, error);
    }
    void copyConfigurationInto(NKHTTPResponseSerializerCore& other) const override {
        Base::copyConfigurationInto(other);
        auto& o = static_cast<NKImageResponseSerializerCore&>(other);
        o.automaticallyInflatesResponseImage_ = automaticallyInflatesResponseImage_;
        o.imageScale_ = imageScale_;
    }
    void encodeWithCoder(NSCoder& coder) const override {
        Base::encodeWithCoder(coder);
        coder.encodeObject(Value(imageScale_), "imageScale");
        coder.encodeBool(automaticallyInflatesResponseImage_, "automaticallyInflatesResponseImage");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (!Base::initWithCoder(coder)) return false;
        imageScale_ = coder.decodeObjectOfClass("NSNumber", "imageScale").doubleValue();
        automaticallyInflatesResponseImage_ = coder.decodeBoolForKey("automaticallyInflatesResponseImage");
        return true;
    }

protected:
    NKImageResponseSerializerCore() : imageScale_(NKDefaultImageScale()) {
        this->setAcceptableContentTypes(NKImageContentTypes());
    }

private:
    bool automaticallyInflatesResponseImage_ = true;
    double imageScale_;
};

// `Member` is the family's validating serializer: only its instances are asked.
template <class Base, class Member>
class NKCompoundResponseSerializerCore : public Base {
public:
    using MemberPtr = std::shared_ptr<Member>;

    const std::vector<MemberPtr>& responseSerializers() const { return serializers_; }
    void setResponseSerializers(std::vector<MemberPtr> serializers) {
        serializers_.clear();
        for (auto& s : serializers) {
            if (s) serializers_.push_back(std::move(s));
        }
    }

    // The first object a member decodes, its error chained over the caller's; else the
    // validating serializer's answer.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override {
        for (const auto& serializer : serializers_) {
            NSErrorPtr serializerError;
            Value object = serializer->responseObjectForResponse(response, data, &serializerError);
            if (!object.isNull()) {
                if (error) *error = NKChainUnderlyingError(serializerError, *error);
                return object;
            }
        }
        return NKHTTPResponseSerializerCore::responseObjectForResponse(response, data, error);
    }
    void copyConfigurationInto(NKHTTPResponseSerializerCore& other) const override {
        Base::copyConfigurationInto(other);
        static_cast<NKCompoundResponseSerializerCore&>(other).serializers_ = serializers_;
    }
    void encodeWithCoder(NSCoder& coder) const override {
        Base::encodeWithCoder(coder);
        Value::Array list;
        for (const auto& s : serializers_) list.emplace_back(s);
        coder.encodeObject(Value(std::move(list)), "responseSerializers");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (!Base::initWithCoder(coder)) return false;
        serializers_.clear();
        Value list = coder.decodeObjectOfClasses({"NSArray", Member::staticClassName()}, "responseSerializers");
        for (const auto& element : list.asArray()) {
            if (auto s = element.template objectAs<Member>()) serializers_.push_back(std::move(s));
        }
        return true;
    }

private:
    std::vector<MemberPtr> serializers_;
};
