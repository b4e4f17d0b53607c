#include <networking/NKResponseSerializerCores.h>

#include <networking/NKImageDecoding.h>
#include <platform_net/NSXMLParser.h>

#include "NKDeviceFacts.h"

Value NKXMLParserResponseObject(const NKResponseValidationSettings& validation, const NSURLResponsePtr& response,
                                const Value::Data* data, NSErrorPtr* error) {
    if (!NKValidateForDecoding(validation, response, data, error)) return Value();
    return Value(std::make_shared<NSXMLParser>(data ? *data : Value::Data()));
}

Value NKImageResponseObject(const NKResponseValidationSettings& validation, bool inflate, double scale,
                            const NSURLResponsePtr& response, const Value::Data* data, NSErrorPtr* error) {
    if (!NKValidateForDecoding(validation, response, data, error)) return Value();
    UIImagePtr image;
    if (inflate) {
        image = NKInflateImageFromResponse(response, data, scale);
    } else if (data) {
        image = NKImageFromDataAtScale(*data, scale);
    }
    return image ? Value(image) : Value();
}

double NKDefaultImageScale() { return NKMainScreenScale(); }

std::set<std::string> NKImageContentTypes() {
    return {"image/tiff", "image/jpeg",    "image/gif",   "image/png",       "image/ico",
            "image/x-icon", "image/x-bmp", "image/bmp", "image/x-xbitmap", "image/x-win-bitmap"};
}
