#include <networking/NKMIMEType.h>

#include <algorithm>
#include <cctype>
#include <map>

// The platform layer has no extension registry yet; this table covers what uploads carry.
std::string NKMIMETypeForFileExtension(const std::string& extension) {
    static const std::map<std::string, std::string> types = {
        {"bmp", "image/bmp"},         {"css", "text/css"},          {"csv", "text/csv"},
        {"gif", "image/gif"},         {"gz", "application/gzip"},   {"htm", "text/html"},
        {"html", "text/html"},        {"ico", "image/x-icon"},      {"jpeg", "image/jpeg"},
        {"jpg", "image/jpeg"},        {"js", "text/javascript"},    {"json", "application/json"},
        {"m4a", "audio/mp4"},         {"mov", "video/quicktime"},   {"mp3", "audio/mpeg"},
        {"mp4", "video/mp4"},         {"pdf", "application/pdf"},   {"plist", "application/x-plist"},
        {"png", "image/png"},         {"svg", "image/svg+xml"},     {"tif", "image/tiff"},
        {"tiff", "image/tiff"},       {"txt", "text/plain"},        {"wav", "audio/wav"},
        {"webp", "image/webp"},       {"xml", "application/xml"},   {"zip", "application/zip"},
    };
    std::string key = extension;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    auto it = types.find(key);
    return it == types.end() ? "application/octet-stream" : it->second;
}
