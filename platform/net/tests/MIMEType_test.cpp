#include <platform_net/MIMEType.h>

#include <gtest/gtest.h>

namespace {

TEST(MIMEType, CommonExtensions) {
    const std::pair<const char*, const char*> rows[] = {
        {"png", "image/png"},          {"PNG", "image/png"},        {".jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},        {"gif", "image/gif"},        {"json", "application/json"},
        {"txt", "text/plain"},         {"html", "text/html"},       {"pdf", "application/pdf"},
        {"xml", "application/xml"},    {"zip", "application/zip"},
        {"mp4", "video/mp4"},          {"7z", "application/x-7z-compressed"},
        {"", "application/octet-stream"}, {"unknownext", "application/octet-stream"}, {".", "application/octet-stream"},
    };
    for (const auto& [ext, type] : rows) EXPECT_EQ(MIMETypeForExtension(ext), type) << ext;
}

}  // namespace
