#include <sdk_http/ZPKNKMultipartFormData.h>
#include <sdk_http/ZPKNKURLRequestSerialization.h>

std::shared_ptr<NKStreamingMultipartFormDataCore> ZPKNKHTTPRequestSerializer::makeMultipartFormData(
    const NSURLRequestPtr& request, NSStringEncoding encoding) const {
    return ZPKNKStreamingMultipartFormData::initWithURLRequest(request, encoding);
}
