#pragma once
// The body-writing request serializers, once for every prefix: each core sits on the
// family's HTTP request serializer (`Base`, itself on NKHTTPRequestSerializerCore) and adds
// its fields, body writing, coding and copying; the named classes of each family only
// register and name them. Configure before use.

#include <cstdint>

#include <networking/NKHTTPRequestSerializerCore.h>
#include <platform_foundation/NSCoder.h>

// Parameters as a JSON body ("application/json" unless set); methods whose parameters go
// into the URL behave as the base serializer.
template <class Base>
class NKJSONRequestSerializerCore : public Base {
public:
    uint64_t writingOptions() const { return writingOptions_; }
    void setWritingOptions(uint64_t options) { writingOptions_ = options; }

    NSMutableURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                       NSErrorPtr* error) const override {
        return NKSerializeJSONRequest(request, parameters, this->settings(), writingOptions_, error);
    }
    void copyConfigurationInto(NKHTTPRequestSerializerCore& other) const override {
        Base::copyConfigurationInto(other);
        static_cast<NKJSONRequestSerializerCore&>(other).writingOptions_ = writingOptions_;
    }
    void encodeWithCoder(NSCoder& coder) const override {
        Base::encodeWithCoder(coder);
        coder.encodeObject(Value(writingOptions_), "writingOptions");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (!Base::initWithCoder(coder)) return false;
        writingOptions_ = coder.decodeObjectOfClass("NSNumber", "writingOptions").unsignedLongLongValue();
        return true;
    }

private:
    uint64_t writingOptions_ = 0;
};

// Parameters as a property-list body ("application/x-plist" unless set); methods whose
// parameters go into the URL behave as the base serializer.
template <class Base>
class NKPropertyListRequestSerializerCore : public Base {
public:
    uint64_t format() const { return format_; }
    void setFormat(uint64_t format) { format_ = format; }
    uint64_t writeOptions() const { return writeOptions_; }
    void setWriteOptions(uint64_t options) { writeOptions_ = options; }

    NSMutableURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                       NSErrorPtr* error) const override {
        return NKSerializePropertyListRequest(request, parameters, this->settings(), format_, writeOptions_, error);
    }
    void copyConfigurationInto(NKHTTPRequestSerializerCore& other) const override {
        Base::copyConfigurationInto(other);
        auto& o = static_cast<NKPropertyListRequestSerializerCore&>(other);
        o.format_ = format_;
        o.writeOptions_ = writeOptions_;
    }
    void encodeWithCoder(NSCoder& coder) const override {
        Base::encodeWithCoder(coder);
        coder.encodeObject(Value(format_), "format");
        coder.encodeObject(Value(writeOptions_), "writeOptions");
    }
    bool initWithCoder(NSCoder& coder) override {
        if (!Base::initWithCoder(coder)) return false;
        format_ = coder.decodeObjectOfClass("NSNumber", "format").unsignedLongLongValue();
        writeOptions_ = coder.decodeObjectOfClass("NSNumber", "writeOptions").unsignedLongLongValue();
        return true;
    }

private:
    uint64_t format_ = 100;
    uint64_t writeOptions_ = 0;
};
