#pragma once
// How a redirect response becomes the next request of a load.

#include <platform_net/NSURLRequest.h>

#include <cstdint>

bool isRedirectStatus(int64_t status);

// The request a redirect with `status` proposes towards `target`: 303 (but for HEAD), and
// 301 or 302 after a POST, turn it into a GET without a body; `bodyDropped` tells which.
// No Range field goes along.
NSMutableURLRequestPtr redirectedRequest(const NSURLRequest& current, int64_t status, NSURLPtr target, bool& bodyDropped);
