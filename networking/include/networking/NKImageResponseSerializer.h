#pragma once
// Response serializer that validates image responses and decodes them at the screen's
// scale, inflated into a device-RGB bitmap by default.

#include <networking/NKHTTPResponseSerializer.h>

class NKImageResponseSerializer : public NKHTTPResponseSerializer {
    NS_CLASS(NKImageResponseSerializer, NKHTTPResponseSerializer)

public:
    using Ptr = std::shared_ptr<NKImageResponseSerializer>;

    NKImageResponseSerializer();
    static Ptr serializer() { return std::make_shared<NKImageResponseSerializer>(); }

    bool automaticallyInflatesResponseImage() const { return automaticallyInflatesResponseImage_; }
    void setAutomaticallyInflatesResponseImage(bool on) { automaticallyInflatesResponseImage_ = on; }
    double imageScale() const { return imageScale_; }
    void setImageScale(double scale) { imageScale_ = scale; }

    // A UIImage object (Value object reference), or Null.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                    NSErrorPtr* error) const override;
    NKHTTPResponseSerializer::Ptr copy() const override;
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

private:
    bool automaticallyInflatesResponseImage_ = true;
    double imageScale_;
};
