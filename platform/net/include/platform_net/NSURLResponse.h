#pragma once
// The metadata of a URL load's answer: URL, MIME type, expected length, text encoding and
// the file name a download would suggest.

#include <platform_net/NSURL.h>
#include <platform_runtime/NSObject.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

inline constexpr int64_t NSURLResponseUnknownLength = -1;

class NSURLResponse;
using NSURLResponsePtr = std::shared_ptr<NSURLResponse>;

class NSURLResponse : public NSObject {
public:
    NSURLResponse(NSURLPtr url, std::optional<std::string> MIMEType, int64_t expectedContentLength,
                  std::optional<std::string> textEncodingName);

    std::string className() const override { return "NSURLResponse"; }
    std::string description() const override;

    const NSURLPtr& URL() const { return url_; }
    const std::optional<std::string>& MIMEType() const { return mime_; }
    // -1 (NSURLResponseUnknownLength) when the length is not known.
    int64_t expectedContentLength() const { return expectedLength_; }
    const std::optional<std::string>& textEncodingName() const { return encoding_; }
    // A file name from the response (for HTTP: Content-Disposition), else the URL's last path
    // component, else "Unknown"; an extension for the MIME type is added when one is missing.
    virtual std::string suggestedFilename() const;

protected:
    NSURLPtr url_;
    std::optional<std::string> mime_;
    int64_t expectedLength_;
    std::optional<std::string> encoding_;
};
