#include <device_and_dates/DVDeviceInfo.h>
#include <platform_runtime/NSException.h>

#include <gtest/gtest.h>

#include "FakeDeviceSources.h"

namespace {

class DVDeviceInfoTest : public ::testing::Test {
protected:
    void TearDown() override { DVDeviceInfo_Common::setSources({}); }
};

struct IdentifierCase {
    const char* machine;
    DVDeviceFamily family;
    int64_t model;
    const char* name;
    int64_t display;
    double ppi;
    uint64_t major, minor;
};

TEST_F(DVDeviceInfoTest, InstanceDescribesTheInjectedMachine) {
    const IdentifierCase cases[] = {
        {"iPhone14,3", DVDeviceFamilyiPhone, 35, "iPhone 13 Pro Max", 9, 458.0, 14, 3},
        {"iPad8,12", DVDeviceFamilyiPad, 59, "iPad Pro 4rd Gen (12.9 inch, WiFi+Cellular)", 16, 264.0, 8, 12},
        {"iPad99,1", DVDeviceFamilyiPad, 0, "Unknown Device", 0, 0.0, 99, 1},
        {"iPhone07,02", DVDeviceFamilyiPhone, 13, "iPhone 6", 3, 326.0, 7, 2},
        {"x86_64", DVDeviceFamilyUnknown, 0, "Unknown Device", 0, 0.0, 0, 0},
        {"i386", DVDeviceFamilyUnknown, 0, "Unknown Device", 0, 0.0, 0, 0},
        {"Watch5,1", DVDeviceFamilyUnknown, 0, "Unknown Device", 0, 0.0, 5, 1},
        {",7", DVDeviceFamilyUnknown, 0, "Unknown Device", 0, 0.0, 0, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        DVDeviceInfo_Common::setSources(fakeDeviceSources(c.machine, "15.2"));
        auto info = std::make_shared<DVDeviceInfo>();
        EXPECT_EQ(info->rawSystemInfoString(), c.machine);
        EXPECT_EQ(info->family(), c.family);
        EXPECT_EQ(info->model(), c.model);
        EXPECT_EQ(info->modelString(), c.name);
        EXPECT_EQ(info->displayInfo().display, c.display);
        EXPECT_EQ(info->displayInfo().pixelsPerInch, c.ppi);
        EXPECT_EQ(info->deviceVersion().major, c.major);
        EXPECT_EQ(info->deviceVersion().minor, c.minor);
    }
}

TEST_F(DVDeviceInfoTest, OSVersionTextSplitsIntoThreeNumbers) {
    struct {
        const char* text;
        uint64_t major, minor, patch;
    } cases[] = {{"15.2", 15, 2, 0}, {"9", 9, 0, 0}, {"13.4.1", 13, 4, 1}, {"", 0, 0, 0}, {"10.x.3", 10, 0, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto v = DVOSVersionFromString(c.text);
        EXPECT_EQ(v.major, c.major);
        EXPECT_EQ(v.minor, c.minor);
        EXPECT_EQ(v.patch, c.patch);
    }
}

TEST_F(DVDeviceInfoTest, ProcessorMemoryAndKernelVariables) {
    DVDeviceInfo_Common::setSources(fakeDeviceSources(
        "iPhone14,3", "15.2",
        {{"hw.cpufrequency", sysctlBytes<int64_t>(2400000000)},
         {"hw.ncpu", sysctlBytes<int32_t>(6)},
         {"hw.l2cachesize", sysctlBytes<int64_t>(4 << 20)},
         {"hw.byteorder", {'1', '2', '3', '4', 0}},
         {"hw.odd", {1, 2, 3}},
         {"kern.text", {'a', 'b', 0, 'c'}}},
        6ull << 30));
    auto info = std::make_shared<DVDeviceInfo>();
    EXPECT_DOUBLE_EQ(info->cpuInfo().frequency, 2.4);
    EXPECT_EQ(info->cpuInfo().numberOfCores, 6u);
    EXPECT_DOUBLE_EQ(info->cpuInfo().l2CacheSize, 4096.0);
    EXPECT_DOUBLE_EQ(info->physicalMemory(), 6.0);
    EXPECT_EQ(DVDeviceInfo_Common::_systemByteOrder(), 0);
    EXPECT_EQ(DVDeviceInfo_Common::_sysctlCGFloatForKey("hw.unknown"), 0.0);
    EXPECT_EQ(DVDeviceInfo_Common::_sysctlCGFloatForKey("hw.odd"), 0.0);
    EXPECT_EQ(DVDeviceInfo_Common::_sysctlStringForKey("hw.unknown"), "");
    EXPECT_EQ(DVDeviceInfo_Common::_sysctlStringForKey("kern.text"), "ab");

    auto text = info->description();
    EXPECT_NE(text.find("<DVDeviceInfo: 0x"), std::string::npos);
    EXPECT_NE(text.find("\nppi: 458\n"), std::string::npos);
    EXPECT_NE(text.find("\npysicalMemory: 6.000"), std::string::npos);
    EXPECT_NE(text.find("\ncpuInfo.frequency: 2.400\n"), std::string::npos);
}

TEST_F(DVDeviceInfoTest, JailbreakPropertyRaises) {
    DVDeviceInfo_Common::setSources(fakeDeviceSources("iPhone14,3", "15.2"));
    auto info = std::make_shared<DVDeviceInfo>();
    try {
        (void)info->isJailbroken();
        FAIL() << "expected an exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInternalInconsistencyException);
        EXPECT_EQ(e.reason(), "Jailbreak detection is not part of this build, so this property cannot be read.");
    }
}

}  // namespace
