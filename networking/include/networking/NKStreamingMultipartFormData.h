#pragma once
// Builds a streamed multipart/form-data body for a request: parts are appended through
// NKMultipartFormData and read only when the request's body stream is read.

#include <memory>

#include <networking/NKMultipartBodyStream.h>
#include <networking/NKStreamingMultipartFormDataCore.h>

class NKStreamingMultipartFormData : public NKStreamingMultipartFormDataCore {
public:
    NKStreamingMultipartFormData(const NSURLRequestPtr& request, NSStringEncoding encoding)
        : NKStreamingMultipartFormDataCore(request, encoding, NKMultipartBodyStream::initWithStringEncoding(encoding)) {}
    static std::shared_ptr<NKStreamingMultipartFormData> initWithURLRequest(const NSURLRequestPtr& request,
                                                                           NSStringEncoding encoding) {
        return std::make_shared<NKStreamingMultipartFormData>(request, encoding);
    }

    std::shared_ptr<NKMultipartBodyStream> bodyStream() const {
        return std::static_pointer_cast<NKMultipartBodyStream>(bodyStreamCore());
    }
};
