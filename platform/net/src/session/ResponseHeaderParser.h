#pragma once
// Collects an exchange's status line and header fields from the lines libcurl hands over,
// interim (1xx) responses dropped.

#include <platform_net/NSHTTPURLResponse.h>

#include <cstdint>
#include <string>
#include <string_view>

class ResponseHeaderParser {
public:
    // One header line (with its line end); true when it ended the head of a final response.
    bool addLine(std::string_view line);
    void reset();

    int64_t statusCode() const { return statusCode_; }
    const std::string& httpVersion() const { return httpVersion_; }
    const NSHTTPHeaderFields& fields() const { return fields_; }

private:
    int64_t statusCode_ = 0;
    std::string httpVersion_;
    NSHTTPHeaderFields fields_;
    bool complete_ = false;
};
