#include <platform_foundation/NSLog.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NSLog, FormatsIntoTheSinkAndRestoresStandardError) {
    std::vector<std::string> lines;
    NSLogSetSinkForTesting([&](const std::string& line) { lines.push_back(line); });
    NSLog("[ZUDLog] %@", Value("upload"));
    NSLog("%d of %lu", 3, 10ul);
    NSLogSetSinkForTesting({});
    EXPECT_EQ(lines, (std::vector<std::string>{"[ZUDLog] upload", "3 of 10"}));

    testing::internal::CaptureStderr();
    NSLog("plain %s", "text");
    auto err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("] plain text\n"), std::string::npos) << err;
    EXPECT_EQ(err.back(), '\n');
}

}  // namespace
