#pragma once
// The input stream a multipart request carries as its body: it reads its parts one after
// another, optionally throttled to packets of a given size with a pause after each read.
// Readers call it synchronously; it raises no stream events.

#include <memory>

#include <networking/NKMultipartBodyStreamCore.h>
#include <platform_runtime/ObjCDeclare.h>

class NKMultipartBodyStream : public NKMultipartBodyStreamCore {
    NS_CLASS(NKMultipartBodyStream, NSInputStream)
    NS_PROTOCOLS("NSCopying", "NSStreamDelegate")

public:
    explicit NKMultipartBodyStream(NSStringEncoding encoding = NSUTF8StringEncoding)
        : NKMultipartBodyStreamCore(encoding) {}
    static std::shared_ptr<NKMultipartBodyStream> initWithStringEncoding(NSStringEncoding encoding) {
        return std::make_shared<NKMultipartBodyStream>(encoding);
    }

    // Same encoding, a fresh copy of every part, marked; not open, not throttled.
    std::shared_ptr<NKMultipartBodyStream> copy() const {
        auto other = std::make_shared<NKMultipartBodyStream>(stringEncoding);
        copyPartsInto(*other);
        return other;
    }
};
