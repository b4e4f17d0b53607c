#include "NKMultipartBodyInputStream.h"

#include <platform_runtime/AssociatedObjects.h>

namespace {
const char kKey[] = "nk_multipartBodyStream";
}

void NKInstallMultipartBodyStream(NSMutableURLRequest& request, const std::shared_ptr<NKMultipartBodyStream>& stream) {
    objc_setAssociatedObject(request, kKey, Value(stream), OBJC_ASSOCIATION_RETAIN);
}

std::shared_ptr<NKMultipartBodyStream> NKMultipartBodyStreamOfRequest(const NSURLRequest& request) {
    return objc_getAssociatedObject(request, kKey).objectAs<NKMultipartBodyStream>();
}

void NKRemoveMultipartBodyStream(NSMutableURLRequest& request) {
    objc_setAssociatedObject(request, kKey, Value(), OBJC_ASSOCIATION_RETAIN);
}
