#include <platform_foundation/NSProcessInfo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

class NSProcessInfoTest : public testing::Test {
protected:
    void TearDown() override {
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        unsetenv(NSProcessInfo::kOSVersionEnvironmentVariable);
    }
    std::shared_ptr<NSProcessInfo> info = NSProcessInfo::processInfo();
};

TEST_F(NSProcessInfoTest, SharedInstanceAndProcessFacts) {
    EXPECT_EQ(NSProcessInfo::processInfo(), info);
    EXPECT_EQ(info->processIdentifier(), getpid());
    EXPECT_EQ(info->processName(), "platform_foundation_tests_NSProcessInfo_test");
    ASSERT_FALSE(info->arguments().empty());
    EXPECT_NE(info->arguments()[0].find("NSProcessInfo_test"), std::string::npos);
    EXPECT_GT(info->physicalMemory(), 0u);
    EXPECT_GE(info->processorCount(), info->activeProcessorCount());
    EXPECT_GE(info->activeProcessorCount(), 1u);
    EXPECT_FALSE(info->hostName().empty());
    double up = info->systemUptime();
    EXPECT_GT(up, 0);
    EXPECT_GE(info->systemUptime(), up);

    info->setProcessName("Renamed");
    EXPECT_EQ(info->processName(), "Renamed");
    info->setProcessName("");
    EXPECT_EQ(info->processName(), "platform_foundation_tests_NSProcessInfo_test");
}

TEST_F(NSProcessInfoTest, EnvironmentIsADictionaryOfStrings) {
    setenv("PROCESS_INFO_TEST_VAR", "a=b", 1);
    Value env = info->environment();
    ASSERT_TRUE(env.isDictionary());
    EXPECT_EQ(env.objectForKey("PROCESS_INFO_TEST_VAR").asString(), "a=b");  // split at the first '='
    unsetenv("PROCESS_INFO_TEST_VAR");
    EXPECT_TRUE(info->environment().objectForKey("PROCESS_INFO_TEST_VAR").isNull());
}

TEST_F(NSProcessInfoTest, GloballyUniqueStringsDiffer) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) seen.insert(info->globallyUniqueString());
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_NE(seen.begin()->find("-" + std::to_string(getpid()) + "-"), std::string::npos);
}

TEST_F(NSProcessInfoTest, VersionFromDefaultEnvironmentAndTestSetter) {
    EXPECT_EQ(info->operatingSystemVersion(), NSProcessInfo::kDefaultOSVersion);
    EXPECT_EQ(info->operatingSystemVersionString(), "Version 15.0");

    setenv(NSProcessInfo::kOSVersionEnvironmentVariable, "13.4", 1);
    EXPECT_EQ(info->operatingSystemVersion(), (NSOperatingSystemVersion{13, 4, 0}));
    setenv(NSProcessInfo::kOSVersionEnvironmentVariable, "not a version", 1);
    EXPECT_EQ(info->operatingSystemVersion(), NSProcessInfo::kDefaultOSVersion);

    setenv(NSProcessInfo::kOSVersionEnvironmentVariable, "13.4", 1);
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{9, 3, 5});
    EXPECT_EQ(info->operatingSystemVersion(), (NSOperatingSystemVersion{9, 3, 5}));  // the setter wins
    EXPECT_EQ(info->operatingSystemVersionString(), "Version 9.3.5");
}

TEST_F(NSProcessInfoTest, VersionFollowsEveryChangeOfTheEnvironment) {
    // Each step changes the variable's text in a way a remembered reading could miss: the same
    // length, a return to an earlier text, removal, an empty text, and a change made through
    // putenv on a buffer edited in place.
    struct Step {
        const char* text;  // nullptr: unset
        NSOperatingSystemVersion expected;
    } steps[] = {
        {"13.4", {13, 4, 0}}, {"12.4", {12, 4, 0}}, {"13.4", {13, 4, 0}}, {nullptr, NSProcessInfo::kDefaultOSVersion},
        {"10.3", {10, 3, 0}}, {"", NSProcessInfo::kDefaultOSVersion},     {"9.3.5", {9, 3, 5}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text ? step.text : "(unset)");
        if (step.text)
            setenv(NSProcessInfo::kOSVersionEnvironmentVariable, step.text, 1);
        else
            unsetenv(NSProcessInfo::kOSVersionEnvironmentVariable);
        EXPECT_EQ(info->operatingSystemVersion(), step.expected);
        EXPECT_EQ(info->operatingSystemVersion(), step.expected);  // read again: the same answer
    }
    static char entry[] = "APP_OS_VERSION=11.0";
    putenv(entry);
    EXPECT_EQ(info->operatingSystemVersion(), (NSOperatingSystemVersion{11, 0, 0}));
    entry[15] = '8';
    entry[16] = '.';
    entry[17] = '1';
    entry[18] = '\0';
    EXPECT_EQ(info->operatingSystemVersion(), (NSOperatingSystemVersion{8, 1, 0}));
    unsetenv(NSProcessInfo::kOSVersionEnvironmentVariable);
}

TEST_F(NSProcessInfoTest, VersionFollowsChangesOfOtherVariables) {
    // Other variables coming and going move the version's entry within the environment block,
    // or change the block's end while the version is absent; each reading must still be right.
    struct Step {
        const char* name;
        const char* text;  // nullptr: unset
        NSOperatingSystemVersion expected;
    } steps[] = {
        {"PROCESS_INFO_BEFORE", "1", NSProcessInfo::kDefaultOSVersion},
        {"APP_OS_VERSION", "12.1", {12, 1, 0}},
        {"PROCESS_INFO_AFTER", "1", {12, 1, 0}},
        {"PROCESS_INFO_BEFORE", nullptr, {12, 1, 0}},   // the version's entry moves down one
        {"APP_OS_VERSION", nullptr, NSProcessInfo::kDefaultOSVersion},
        {"PROCESS_INFO_AFTER", nullptr, NSProcessInfo::kDefaultOSVersion},  // the last entry goes
        {"APP_OS_VERSION", "10.3", {10, 3, 0}},         // takes the removed entry's place at the end
        {"APP_OS_VERSION", nullptr, NSProcessInfo::kDefaultOSVersion},
        {"PROCESS_INFO_AFTER", "2", NSProcessInfo::kDefaultOSVersion},
        {"APP_OS_VERSION", "9.3", {9, 3, 0}},
        {"APP_OS_VERSION", "12.1", {12, 1, 0}},          // a text set before, given again
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.name) + "=" + (step.text ? step.text : "(unset)"));
        if (step.text)
            setenv(step.name, step.text, 1);
        else
            unsetenv(step.name);
        EXPECT_EQ(info->operatingSystemVersion(), step.expected);
        EXPECT_EQ(info->operatingSystemVersion(), step.expected);
    }
    unsetenv("PROCESS_INFO_AFTER");
    unsetenv(NSProcessInfo::kOSVersionEnvironmentVariable);
}

TEST_F(NSProcessInfoTest, VersionIsReadPerThread) {
    setenv(NSProcessInfo::kOSVersionEnvironmentVariable, "13.4", 1);
    EXPECT_EQ(info->operatingSystemVersion(), (NSOperatingSystemVersion{13, 4, 0}));
    NSOperatingSystemVersion seen;
    std::thread([&] { seen = info->operatingSystemVersion(); }).join();
    EXPECT_EQ(seen, (NSOperatingSystemVersion{13, 4, 0}));
    setenv(NSProcessInfo::kOSVersionEnvironmentVariable, "11.2", 1);
    std::thread([&] { seen = info->operatingSystemVersion(); }).join();
    EXPECT_EQ(seen, (NSOperatingSystemVersion{11, 2, 0}));
    EXPECT_EQ(info->operatingSystemVersion(), (NSOperatingSystemVersion{11, 2, 0}));
}

TEST_F(NSProcessInfoTest, AtLeastComparesComponentWise) {
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{15, 2, 0});
    struct Case {
        NSOperatingSystemVersion v;
        bool expected;
    } cases[] = {
        {{15, 2, 0}, true}, {{15, 1, 9}, true}, {{9, 0, 0}, true}, {{14, 99, 99}, true},
        {{15, 2, 1}, false}, {{16, 0, 0}, false}, {{15, 10, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(info->isOperatingSystemAtLeastVersion(c.v), c.expected)
            << c.v.majorVersion << "." << c.v.minorVersion << "." << c.v.patchVersion;
}

TEST_F(NSProcessInfoTest, ParsingVersionText) {
    using V = NSOperatingSystemVersion;
    EXPECT_EQ(NSProcessInfo::parseOperatingSystemVersion("9"), (V{9, 0, 0}));
    EXPECT_EQ(NSProcessInfo::parseOperatingSystemVersion("10.3"), (V{10, 3, 0}));
    EXPECT_EQ(NSProcessInfo::parseOperatingSystemVersion("13.4.1"), (V{13, 4, 1}));
    for (const char* bad : {"", "13.", ".4", "13.4.1.2", "13,4", "v13", " 13", "13.x"})
        EXPECT_FALSE(NSProcessInfo::parseOperatingSystemVersion(bad)) << bad;
}

}  // namespace
