#pragma once
// Turns a libcurl result (and the socket's errno) into the URL-loading error code.

#include "CurlLibrary.h"

#include <cstdint>

int64_t URLErrorCodeForCurlResult(CURLcode result, long osErrno);
