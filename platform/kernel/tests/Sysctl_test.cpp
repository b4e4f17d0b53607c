#include <platform_kernel/Sysctl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

class SysctlTest : public ::testing::Test {
protected:
    void TearDown() override { sysctlResetOverridesForTesting(); }
};

TEST_F(SysctlTest, SizeQueryThenReadOfTextAndNumbers) {
    std::size_t size = 0;
    ASSERT_EQ(sysctlbyname("hw.machine", nullptr, &size, nullptr, 0), 0);
    ASSERT_GT(size, 1u);
    std::string machine(size, '\0');
    ASSERT_EQ(sysctlbyname("hw.machine", machine.data(), &size, nullptr, 0), 0);
    EXPECT_EQ(machine.back(), '\0');

    int32_t ncpu = 0;
    size = sizeof ncpu;
    ASSERT_EQ(sysctlbyname("hw.ncpu", &ncpu, &size, nullptr, 0), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_GE(ncpu, 1);

    int64_t mem = 0;
    size = sizeof mem;
    ASSERT_EQ(sysctlbyname("hw.memsize", &mem, &size, nullptr, 0), 0);
    EXPECT_EQ(size, 8u);
    EXPECT_GT(mem, 0);
}

TEST_F(SysctlTest, ErrorsForUnknownNamesSmallBuffersAndWrites) {
    std::size_t size = 0;
    errno = 0;
    EXPECT_EQ(sysctlbyname("hw.nosuchthing", nullptr, &size, nullptr, 0), -1);
    EXPECT_EQ(errno, ENOENT);

    char tiny[1];
    size = sizeof tiny;
    EXPECT_EQ(sysctlbyname("kern.version", tiny, &size, nullptr, 0), -1);
    EXPECT_EQ(errno, ENOMEM);

    int32_t v = 1;
    size = sizeof v;
    EXPECT_EQ(sysctlbyname("hw.ncpu", nullptr, &size, &v, sizeof v), -1);
    EXPECT_EQ(errno, EPERM);
}

TEST_F(SysctlTest, OverridesAndHiddenVariables) {
    sysctlSetOverrideForTesting("hw.machine", {'i', 'P', 'a', 'd', '8', ',', '1', '2', 0});
    char buf[32];
    std::size_t size = sizeof buf;
    ASSERT_EQ(sysctlbyname("hw.machine", buf, &size, nullptr, 0), 0);
    EXPECT_STREQ(buf, "iPad8,12");

    sysctlHideForTesting("hw.ncpu");
    size = 0;
    EXPECT_EQ(sysctlbyname("hw.ncpu", nullptr, &size, nullptr, 0), -1);
    sysctlResetOverridesForTesting();
    EXPECT_EQ(sysctlbyname("hw.ncpu", nullptr, &size, nullptr, 0), 0);
}

}  // namespace
