#include <platform_foundation/NSFoundationVersion.h>
#include <platform_foundation/NSProcessInfo.h>

#include <gtest/gtest.h>

namespace {

TEST(NSFoundationVersionTest, FollowsTheReportedOSVersion) {
    struct Case {
        NSOperatingSystemVersion os;
        double expected;
    };
    const Case cases[] = {
        {{7, 1, 0}, 1047.25}, {{7, 0, 0}, 1047.25}, {{8, 4, 0}, 1140.11}, {{9, 0, 0}, 1240.1}, {{9, 3, 2}, 1240.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.os.majorVersion * 100 + c.os.minorVersion);
        NSProcessInfo::setOperatingSystemVersionForTesting(c.os);
        EXPECT_DOUBLE_EQ(NSFoundationVersionNumber(), c.expected);
    }
    // Monotonic across major versions, before 7 and after 9 included.
    double previous = 0;
    for (int64_t major = 5; major <= 16; ++major) {
        SCOPED_TRACE(major);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{major, 0, 0});
        EXPECT_GT(NSFoundationVersionNumber(), previous);
        previous = NSFoundationVersionNumber();
    }
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
}

}  // namespace
