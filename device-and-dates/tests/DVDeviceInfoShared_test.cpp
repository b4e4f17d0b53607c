#include <device_and_dates/DVDeviceInfo.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "FakeDeviceSources.h"

namespace {

// The shared instance is fixed on first use, so this binary describes one
// device running OS 15.2 from the start.
class SharedDevice : public ::testing::Environment {
public:
    void SetUp() override { DVDeviceInfo_Common::setSources(fakeDeviceSources("iPhone14,3", "15.2")); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SharedDevice);

TEST(DVDeviceInfoShared, OneInstanceForConcurrentFirstCalls) {
    std::vector<std::shared_ptr<DVDeviceInfo>> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = DVDeviceInfo_Common::deviceInfo(); });
    for (auto& t : threads) t.join();
    for (auto& s : seen) EXPECT_EQ(s, seen.front());
    EXPECT_EQ(seen.front()->modelString(), "iPhone 13 Pro Max");
}

TEST(DVDeviceInfoShared, VersionTestsAgainstTheRunningDevice) {
    auto info = DVDeviceInfo::deviceInfo();
    struct {
        const char* version;
        bool atLeast;
    } cases[] = {{"15.2", true}, {"15.1.9", true}, {"9", true}, {"15.2.1", false}, {"16", false}, {"15.3", false}};
    for (const auto& c : cases) EXPECT_EQ(info->isOperatingSystemAtLeastVersion(c.version), c.atLeast) << c.version;

    // The receiver's own version does not matter: the running device's does.
    DVDeviceInfo_Common::setSources(fakeDeviceSources("iPhone14,3", "9.0"));
    auto other = std::make_shared<DVDeviceInfo>();
    EXPECT_TRUE(other->isOperatingSystemAtLeastOSVersion({15, 2, 0}));
}

}  // namespace
