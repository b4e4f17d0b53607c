#include <networking/NKHTTPRequestSerializer.h>

#include <networking/NKStreamingMultipartFormData.h>

std::shared_ptr<NKStreamingMultipartFormDataCore> NKHTTPRequestSerializer::makeMultipartFormData(
    const NSURLRequestPtr& request, NSStringEncoding encoding) const {
    return NKStreamingMultipartFormData::initWithURLRequest(request, encoding);
}
