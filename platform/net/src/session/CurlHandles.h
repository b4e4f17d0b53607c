#pragma once
// Owners of the C handles a load uses: libcurl easy handles and header lists, stdio files.

#include "CurlLibrary.h"

#include <cstdio>
#include <memory>

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlHeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

using CurlEasyPtr = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlHeaderListPtr = std::unique_ptr<curl_slist, CurlHeaderListDeleter>;
using FilePtr = std::unique_ptr<FILE, FileCloser>;
