#include <platform_kernel/Sysctl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
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

namespace {

std::string machine() {
    char buf[64] = {};
    std::size_t size = sizeof buf;
    if (sysctlbyname("hw.machine", buf, &size, nullptr, 0) != 0) return "error";
    return buf;
}

TEST(DeviceMachineTest, TheHostSetsTheHardwareIdentifier) {
    ::unsetenv(kDeviceMachineEnvironmentVariable);
    const std::string linuxMachine = machine();
    ASSERT_FALSE(linuxMachine.empty());
    const struct {
        const char* value;
        std::string expected;
    } cases[] = {{"iPhone12,1", "iPhone12,1"}, {"", linuxMachine}, {nullptr, linuxMachine}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "unset");
        if (c.value)
            ::setenv(kDeviceMachineEnvironmentVariable, c.value, 1);
        else
            ::unsetenv(kDeviceMachineEnvironmentVariable);
        EXPECT_EQ(machine(), c.expected);
        EXPECT_EQ(deviceMachineIdentifier(), c.expected);
    }
    ::unsetenv(kDeviceMachineEnvironmentVariable);
}

}  // namespace
