#pragma once
// A once-created description of the device the app runs on: machine
// identifier, model from the built-in table, OS version, processor and memory.

#include <device_and_dates/DVDeviceTypes.h>
#include <platform_runtime/NSObject.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct DVDeviceVersion {
    uint64_t major = 0;
    uint64_t minor = 0;
};

struct DVOSVersion {
    uint64_t major = 0;
    uint64_t minor = 0;
    uint64_t patch = 0;
};

struct DVCPUInfo {
    double frequency = 0;  // GHz
    uint64_t numberOfCores = 0;
    double l2CacheSize = 0;  // KiB
};

struct DVDisplayInfo {
    DVDeviceDisplay display = DVDeviceDisplayUnknown;
    double pixelsPerInch = 0;
};

// Where the device facts come from. The defaults ask the platform; tests
// replace any of them.
struct DVDeviceSources {
    std::function<std::string()> machineIdentifier;
    std::function<int(const char* name, void* buffer, std::size_t* size)> sysctl;
    std::function<uint64_t()> physicalMemoryBytes;
    std::function<std::string()> systemVersion;

    static DVDeviceSources platform();
};

class DVDeviceInfo;

// The base half: identifier, family, memory, processor and OS version, and the
// kernel-variable readers.
class DVDeviceInfo_Common : public NSObject {
public:
    std::string className() const override { return "DVDeviceInfo_Common"; }

    // The shared instance, created once per process (always a DVDeviceInfo).
    static std::shared_ptr<DVDeviceInfo> deviceInfo();

    // Sources used by the class operations; set before the shared instance is
    // first created to describe another device.
    static void setSources(DVDeviceSources sources);
    static DVDeviceSources sources();

    static std::string _sysctlStringForKey(const std::string& key);
    static double _sysctlCGFloatForKey(const std::string& key);
    static DVCPUInfo _cpuInfo();
    static double _physicalMemory();
    static int64_t _systemByteOrder();

    bool isOperatingSystemAtLeastOSVersion(DVOSVersion version) const;
    bool isOperatingSystemAtLeastVersion(const std::string& version) const;

    std::string rawSystemInfoString() const;
    void setRawSystemInfoString(std::string value);
    DVDeviceFamily family() const;
    void setFamily(DVDeviceFamily value);
    double physicalMemory() const;
    void setPhysicalMemory(double value);
    DVCPUInfo cpuInfo() const;
    void setCpuInfo(DVCPUInfo value);
    DVOSVersion osVersion() const;
    void setOsVersion(DVOSVersion value);

protected:
    DVDeviceInfo_Common() = default;
    // Each property is read and written whole under this lock.
    mutable std::mutex propertyLock_;

private:
    std::string rawSystemInfoString_;
    DVDeviceFamily family_ = DVDeviceFamilyUnknown;
    double physicalMemory_ = 0;
    DVCPUInfo cpuInfo_;
    DVOSVersion osVersion_;
};

// The device half: model, marketing name, identifier numbers and display.
class DVDeviceInfo : public DVDeviceInfo_Common {
public:
    DVDeviceInfo();
    std::string className() const override { return "DVDeviceInfo"; }
    std::string description() const override;

    static std::string _rawSystemInfoString();
    static DVDeviceVersion _deviceVersion();
    struct ModelNuances {
        DVDeviceFamily family;
        DVDeviceModel model;
        std::string name;
        DVDeviceDisplay display;
        double pixelsPerInch;
    };
    static ModelNuances _modelNuances();
    static DVOSVersion _osVersion();

    std::string modelString() const;
    void setModelString(std::string value);
    DVDeviceModel model() const;
    void setModel(DVDeviceModel value);
    DVDeviceVersion deviceVersion() const;
    void setDeviceVersion(DVDeviceVersion value);
    DVDisplayInfo displayInfo() const;
    void setDisplayInfo(DVDisplayInfo value);
    // Always raises: this build carries no jailbreak detection.
    bool isJailbroken() const;

private:
    std::string modelString_;
    DVDeviceModel model_ = DVDeviceModelUnknown;
    DVDeviceVersion deviceVersion_;
    DVDisplayInfo displayInfo_;
};

// Splits "15.2.1" into (15, 2, 1): leading integer of each piece, 0 when absent.
DVOSVersion DVOSVersionFromString(const std::string& text);
