#include <platform_net/MIMEType.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace {

// Sorted by extension for the binary search.
constexpr std::array<std::pair<std::string_view, std::string_view>, 53> kTypes{{
    {"7z", "application/x-7z-compressed"},
    {"aac", "audio/aac"},
    {"avi", "video/avi"},
    {"bmp", "image/bmp"},
    {"css", "text/css"},
    {"csv", "text/csv"},
    {"doc", "application/msword"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"epub", "application/epub+zip"},
    {"gif", "image/gif"},
    {"gz", "application/x-gzip"},
    {"heic", "image/heic"},
    {"heif", "image/heif"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"ico", "image/vnd.microsoft.icon"},
    {"ics", "text/calendar"},
    {"jpe", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"js", "text/javascript"},
    {"json", "application/json"},
    {"m4v", "video/x-m4v"},
    {"md", "text/markdown"},
    {"mid", "audio/midi"},
    {"midi", "audio/midi"},
    {"mov", "video/quicktime"},
    {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},
    {"mpeg", "video/mpeg"},
    {"mpg", "video/mpeg"},
    {"pdf", "application/pdf"},
    {"png", "image/png"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"rtf", "text/rtf"},
    {"svg", "image/svg+xml"},
    {"tar", "application/x-tar"},
    {"text", "text/plain"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"ttf", "font/ttf"},
    {"txt", "text/plain"},
    {"vcf", "text/vcard"},
    {"wav", "audio/wav"},
    {"webm", "video/webm"},
    {"webp", "image/webp"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"xls", "application/vnd.ms-excel"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"xml", "application/xml"},
    {"zip", "application/zip"},
}};

constexpr bool sorted() {
    for (std::size_t i = 1; i < kTypes.size(); ++i) {
        if (!(kTypes[i - 1].first < kTypes[i].first)) return false;
    }
    return true;
}
static_assert(sorted(), "keep the table sorted by extension");

}  // namespace

std::string MIMETypeForExtension(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    std::string key(extension);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    auto it = std::lower_bound(kTypes.begin(), kTypes.end(), key,
                               [](const auto& entry, const std::string& k) { return entry.first < k; });
    if (it != kTypes.end() && it->first == key) return std::string(it->second);
    return "application/octet-stream";
}
