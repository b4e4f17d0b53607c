#pragma once
// Where a request keeps its multipart body. The platform's request carries an input stream
// as its body; until the platform's stream classes are available the multipart body rides
// on the request as an associated object under "nk_multipartBodyStream".

#include <memory>

#include <networking/NKMultipartBodyStream.h>
#include <platform_net/NSURLRequest.h>

void NKInstallMultipartBodyStream(NSMutableURLRequest& request, const std::shared_ptr<NKMultipartBodyStream>& stream);
std::shared_ptr<NKMultipartBodyStream> NKMultipartBodyStreamOfRequest(const NSURLRequest& request);
void NKRemoveMultipartBodyStream(NSMutableURLRequest& request);
