#include <networking/NKImageResponseSerializer.h>

#include <networking/NKImageDecoding.h>

#include "NKDeviceFacts.h"

NKImageResponseSerializer::NKImageResponseSerializer() : imageScale_(NKMainScreenScale()) {
    setAcceptableContentTypes(std::set<std::string>{"image/tiff", "image/jpeg", "image/gif", "image/png", "image/ico",
                                                    "image/x-icon", "image/bmp", "image/x-bmp", "image/x-xbitmap",
                                                    "image/x-win-bitmap"});
}

Value NKImageResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const Value::Data* data,
                                                           NSErrorPtr* error) const {
    if (!NKValidateForDecoding(validationSettings(), response, data, error)) return Value();
    UIImagePtr image;
    if (automaticallyInflatesResponseImage_) {
        image = NKInflateImageFromResponse(response, data, imageScale_);
    } else if (data) {
        image = NKImageFromDataAtScale(*data, imageScale_);
    }
    return image ? Value(image) : Value();
}

NKHTTPResponseSerializer::Ptr NKImageResponseSerializer::copy() const {
    auto other = std::make_shared<NKImageResponseSerializer>();
    copyBaseInto(*other);
    other->automaticallyInflatesResponseImage_ = automaticallyInflatesResponseImage_;
    other->imageScale_ = imageScale_;
    return other;
}

void NKImageResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(imageScale_), "imageScale");
    coder.encodeBool(automaticallyInflatesResponseImage_, "automaticallyInflatesResponseImage");
}

bool NKImageResponseSerializer::initWithCoder(NSCoder& coder) {
    if (!NKHTTPResponseSerializer::initWithCoder(coder)) return false;
    imageScale_ = coder.decodeObjectOfClass("NSNumber", "imageScale").doubleValue();
    automaticallyInflatesResponseImage_ = coder.decodeBoolForKey("automaticallyInflatesResponseImage");
    return true;
}
