#pragma once
// An HTTP answer: status code, header fields (names without case) and the MIME type, text
// encoding and expected length read from them.

#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLResponse.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class NSHTTPURLResponse;
using NSHTTPURLResponsePtr = std::shared_ptr<NSHTTPURLResponse>;

class NSHTTPURLResponse : public NSURLResponse {
public:
    // HTTPVersion is kept for reference ("HTTP/1.1", "HTTP/2"); nothing for a missing URL.
    static NSHTTPURLResponsePtr create(NSURLPtr url, int64_t statusCode, std::optional<std::string> HTTPVersion,
                                       NSHTTPHeaderFields headerFields);
    NSHTTPURLResponse(NSURLPtr url, int64_t statusCode, std::string HTTPVersion, NSHTTPHeaderFields headerFields);

    std::string className() const override { return "NSHTTPURLResponse"; }
    std::string description() const override;

    int64_t statusCode() const { return status_; }
    const std::string& HTTPVersion() const { return version_; }
    const NSHTTPHeaderFields& allHeaderFields() const { return headers_; }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    std::string suggestedFilename() const override;

    // "no error", "not found", ... for the known codes; for other codes the text of their
    // class ("success", "redirected", "client error", "server error", "informational").
    static std::string localizedStringForStatusCode(int64_t statusCode);

private:
    int64_t status_;
    std::string version_;
    NSHTTPHeaderFields headers_;
};
