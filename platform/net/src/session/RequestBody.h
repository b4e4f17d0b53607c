#pragma once
// The body one exchange uploads: the task's data or file, else the request's body data or
// body stream. Used on the session's loading thread only.

#include <platform_net/NSURLSessionTask.h>

#include "session/CurlHandles.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <memory>
#include <vector>

class NSInputStream;

class RequestBody {
public:
    // Takes the source for an exchange of `request`; false when the task's file cannot be
    // opened. The task's data must outlive the body (the loader holds the task).
    [[nodiscard]] bool open(const NSURLSessionTask::BodySource& source, const NSURLRequest& request);
    // Closes the file and the stream (a stream once opened is closed, not reopened).
    void close();

    bool present() const { return present_; }
    // The bytes the task will send: 0 without a body, -1 for a stream.
    int64_t expectedLength() const { return present_ ? expected_ : 0; }
    // What the wire announces: the length, or for a stream the request's Content-Length
    // (-1: chunked).
    curl_off_t wireLength() const { return stream_ ? wireLength_ : static_cast<curl_off_t>(expectedLength()); }
    // libcurl's read: bytes copied, 0 at the end, CURL_READFUNC_ABORT on an error, or
    // CURL_READFUNC_PAUSE while a paced stream pauses (the loader resumes the transfer once
    // readableAgain() says so).
    size_t read(char* buffer, size_t capacity);
    // Whether read() answered a pause that has not yet been taken back by readableAgain().
    bool waiting() const { return readableAt_.has_value(); }
    // True once, when a pause that read() answered has passed.
    bool readableAgain();
    int64_t bytesRead() const { return bytesRead_; }

private:
    bool present_ = false;
    int64_t expected_ = 0;
    curl_off_t wireLength_ = -1;
    const std::vector<uint8_t>* data_ = nullptr;
    size_t offset_ = 0;
    FilePtr file_;
    std::shared_ptr<NSInputStream> stream_;
    int64_t bytesRead_ = 0;
    std::optional<std::chrono::steady_clock::time_point> readableAt_;
};
