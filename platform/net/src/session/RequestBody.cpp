#include "session/RequestBody.h"

#include <platform_net/NSInputStream.h>

#include "session/BodyStreamReader.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

bool RequestBody::open(const NSURLSessionTask::BodySource& source, const NSURLRequest& request) {
    *this = RequestBody();  // the last exchange's file closes; its stream stays as it is
    switch (source.kind) {
        case NSURLSessionTask::Body::Data:
            data_ = source.data;
            break;
        case NSURLSessionTask::Body::File: {
            std::string path = source.file ? source.file->path() : std::string();
            file_.reset(std::fopen(path.c_str(), "rb"));
            if (!file_) return false;
            std::error_code ec;
            expected_ = static_cast<int64_t>(std::filesystem::file_size(path, ec));
            present_ = true;
            break;
        }
        case NSURLSessionTask::Body::Stream:
        case NSURLSessionTask::Body::None:
            if (request.HTTPBodyStream())
                stream_ = request.HTTPBodyStream();
            else if (request.HTTPBody())
                data_ = &*request.HTTPBody();
            break;
    }
    if (data_) {
        present_ = true;
        expected_ = static_cast<int64_t>(data_->size());
    }
    // A stream's length is unknown to the task even when the request names one; the
    // Content-Length field only spares the body its chunked framing.
    if (stream_) {
        present_ = true;
        expected_ = -1;
        if (auto length = request.valueForHTTPHeaderField("Content-Length")) {
            try {
                wireLength_ = std::stoll(*length);
            } catch (...) {
            }
        }
    }
    return true;
}

void RequestBody::close() {
    file_.reset();
    if (stream_) closeBodyStream(stream_);
}

bool RequestBody::readableAgain() {
    if (!readableAt_ || std::chrono::steady_clock::now() < *readableAt_) return false;
    readableAt_.reset();
    return true;
}

size_t RequestBody::read(char* buffer, size_t capacity) {
    size_t got = 0;
    if (data_) {
        got = std::min(data_->size() - offset_, capacity);
        std::memcpy(buffer, data_->data() + offset_, got);
        offset_ += got;
    } else if (file_) {
        got = std::fread(buffer, 1, capacity, file_.get());
        if (got == 0 && std::ferror(file_.get())) return CURL_READFUNC_ABORT;
    } else if (stream_) {
        double wait = 0;
        long n = readBodyStream(stream_, reinterpret_cast<uint8_t*>(buffer), capacity, &wait);
        if (n == kBodyStreamNotReady) {
            readableAt_ = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(wait));
            return CURL_READFUNC_PAUSE;
        }
        if (n < 0) return CURL_READFUNC_ABORT;
        got = static_cast<size_t>(n);
    }
    bytesRead_ += static_cast<int64_t>(got);
    return got;
}
