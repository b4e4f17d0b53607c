#pragma once
// The monitoring kit's multipart builder and body stream: the shared streaming behaviour
// under the kit's own class names. The body part is the shared plain part (not a runtime
// class in either stack), named here as the kit names it. One caller at a time per builder.

#include <memory>

#include <networking/NKHTTPBodyPart.h>
#include <networking/NKMultipartBodyStreamCore.h>
#include <networking/NKMultipartFormData.h>
#include <networking/NKStreamingMultipartFormDataCore.h>
#include <platform_runtime/ObjCDeclare.h>

using ZPKNKHTTPBodyPart = NKHTTPBodyPart;
// What a construction block appends parts through (the shared protocol).
using ZPKNKMultipartFormData = NKMultipartFormData;

class ZPKNKMultipartBodyStream : public NKMultipartBodyStreamCore {
    NS_CLASS(ZPKNKMultipartBodyStream, NSInputStream)
    NS_PROTOCOLS("NSCopying", "NSStreamDelegate")

public:
    explicit ZPKNKMultipartBodyStream(NSStringEncoding encoding = NSUTF8StringEncoding)
        : NKMultipartBodyStreamCore(encoding) {}
    static std::shared_ptr<ZPKNKMultipartBodyStream> initWithStringEncoding(NSStringEncoding encoding) {
        return std::make_shared<ZPKNKMultipartBodyStream>(encoding);
    }

    // Same encoding, a fresh copy of every part, marked; not open, not throttled.
    std::shared_ptr<ZPKNKMultipartBodyStream> copy() const {
        auto other = std::make_shared<ZPKNKMultipartBodyStream>(stringEncoding);
        copyPartsInto(*other);
        return other;
    }
};

class ZPKNKStreamingMultipartFormData : public NKStreamingMultipartFormDataCore {
public:
    ZPKNKStreamingMultipartFormData(const NSURLRequestPtr& request, NSStringEncoding encoding)
        : NKStreamingMultipartFormDataCore(request, encoding,
                                           ZPKNKMultipartBodyStream::initWithStringEncoding(encoding)) {}
    static std::shared_ptr<ZPKNKStreamingMultipartFormData> initWithURLRequest(const NSURLRequestPtr& request,
                                                                              NSStringEncoding encoding) {
        return std::make_shared<ZPKNKStreamingMultipartFormData>(request, encoding);
    }

    std::shared_ptr<ZPKNKMultipartBodyStream> bodyStream() const {
        return std::static_pointer_cast<ZPKNKMultipartBodyStream>(bodyStreamCore());
    }
};
