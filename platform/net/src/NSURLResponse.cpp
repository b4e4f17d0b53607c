#include <platform_net/NSURLResponse.h>

#include <map>

namespace {
// The extension a saved body of that type gets when its name has none.
const char* extensionForMIMEType(const std::string& mime) {
    // Never destroyed: transfers may still fail while the process exits.
    static const auto& table = *new std::map<std::string, const char*>{
        {"text/html", "html"},         {"text/plain", "txt"},       {"application/json", "json"},
        {"application/xml", "xml"},    {"text/xml", "xml"},         {"image/png", "png"},
        {"image/jpeg", "jpg"},         {"image/gif", "gif"},        {"application/pdf", "pdf"},
        {"application/zip", "zip"},    {"text/css", "css"},         {"application/javascript", "js"},
        {"application/x-plist", "plist"},
    };
    auto it = table.find(mime);
    return it == table.end() ? nullptr : it->second;
}
}  // namespace

NSURLResponse::NSURLResponse(NSURLPtr url, std::optional<std::string> MIMEType, int64_t expectedContentLength,
                             std::optional<std::string> textEncodingName)
    : url_(std::move(url)), mime_(std::move(MIMEType)), expectedLength_(expectedContentLength),
      encoding_(std::move(textEncodingName)) {}

std::string NSURLResponse::description() const {
    return NSObject::description() + " { URL: " + (url_ ? url_->absoluteString() : std::string("(null)")) + " }";
}

std::string NSURLResponse::suggestedFilename() const {
    std::string name;
    if (url_) {
        name = url_->lastPathComponent();
        if (name == "/") name.clear();
    }
    if (name.empty()) name = "Unknown";
    if (name.find('.') == std::string::npos && mime_) {
        if (const char* ext = extensionForMIMEType(*mime_)) name += std::string(".") + ext;
    }
    return name;
}
