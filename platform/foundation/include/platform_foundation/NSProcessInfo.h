#pragma once
// Facts about the running process and the system it runs on, including the operating-system
// version the app believes it runs on (configurable, so code can be exercised as OS 9 ... 15).

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <platform_runtime/NSDate.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

struct NSOperatingSystemVersion {
    int64_t majorVersion = 0;
    int64_t minorVersion = 0;
    int64_t patchVersion = 0;

    bool operator==(const NSOperatingSystemVersion&) const = default;
};

class NSProcessInfo : public NSObject {
public:
    // Read when no test version is set: "<major>[.<minor>[.<patch>]]", e.g. "13.4".
    static constexpr const char* kOSVersionEnvironmentVariable = "APP_OS_VERSION";
    static constexpr NSOperatingSystemVersion kDefaultOSVersion{15, 0, 0};

    static std::shared_ptr<NSProcessInfo> processInfo();

    // The executable's name unless set.
    std::string processName() const;
    void setProcessName(std::string name);
    int processIdentifier() const;
    // Unique across processes and calls: a random UUID, the pid and a sequence number.
    std::string globallyUniqueString() const;
    // Dictionary of name -> value strings, read at each call.
    Value environment() const;
    // The command line, program first.
    std::vector<std::string> arguments() const;

    NSOperatingSystemVersion operatingSystemVersion() const;
    bool isOperatingSystemAtLeastVersion(const NSOperatingSystemVersion& version) const;
    // "Version 13.4" (the patch shown when not 0).
    std::string operatingSystemVersionString() const;
    // Tests: pins the version; nullopt returns to the environment variable / default.
    static void setOperatingSystemVersionForTesting(std::optional<NSOperatingSystemVersion> version);
    // "13.4" -> {13, 4, 0}; "9" -> {9, 0, 0}; nothing for text that is not a version.
    static std::optional<NSOperatingSystemVersion> parseOperatingSystemVersion(const std::string& text);

    // Seconds since the system started.
    NSTimeInterval systemUptime() const;
    unsigned long long physicalMemory() const;
    uint64_t processorCount() const;
    uint64_t activeProcessorCount() const;
    std::string hostName() const;

    std::string className() const override { return "NSProcessInfo"; }

private:
    mutable std::mutex mutex_;
    mutable std::string processName_;
};
