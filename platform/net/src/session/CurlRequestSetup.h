#pragma once
// Puts one exchange's request on a libcurl easy handle: URL, method, body size and header
// fields. The loader sets the callbacks; the body is read through its RequestBody.

#include <platform_net/NSURLRequest.h>

#include "session/CurlHandles.h"
#include "session/RequestBody.h"

// Header fields: the request's, then the additional ones it lacks; none that libcurl would
// add on its own. Answers the header list, which must outlive the exchange.
[[nodiscard]] CurlHeaderListPtr setUpRequest(CURL* easy, const NSURLRequest& request, const RequestBody& body,
                                             const NSHTTPHeaderFields& additionalFields);
