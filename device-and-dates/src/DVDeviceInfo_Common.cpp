#include <device_and_dates/DVDeviceInfo.h>

#include "LeadingInteger.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex gSourcesLock;

DVDeviceSources& currentSources() {
    static DVDeviceSources sources = DVDeviceSources::platform();
    return sources;
}

}  // namespace

DVOSVersion DVOSVersionFromString(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        auto dot = text.find('.', start);
        pieces.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    DVOSVersion v;
    v.major = pieces.size() > 0 ? DVLeadingInteger(pieces[0]) : 0;
    v.minor = pieces.size() > 1 ? DVLeadingInteger(pieces[1]) : 0;
    v.patch = pieces.size() > 2 ? DVLeadingInteger(pieces[2]) : 0;
    return v;
}

void DVDeviceInfo_Common::setSources(DVDeviceSources sources) {
    std::lock_guard lock(gSourcesLock);
    auto defaults = DVDeviceSources::platform();
    auto& current = currentSources();
    current.machineIdentifier = sources.machineIdentifier ? sources.machineIdentifier : defaults.machineIdentifier;
    current.sysctl = sources.sysctl ? sources.sysctl : defaults.sysctl;
    current.physicalMemoryBytes = sources.physicalMemoryBytes ? sources.physicalMemoryBytes : defaults.physicalMemoryBytes;
    current.systemVersion = sources.systemVersion ? sources.systemVersion : defaults.systemVersion;
}

DVDeviceSources DVDeviceInfo_Common::sources() {
    std::lock_guard lock(gSourcesLock);
    return currentSources();
}

std::shared_ptr<DVDeviceInfo> DVDeviceInfo_Common::deviceInfo() {
    static std::shared_ptr<DVDeviceInfo> shared = std::make_shared<DVDeviceInfo>();
    return shared;
}

std::string DVDeviceInfo_Common::_sysctlStringForKey(const std::string& key) {
    auto sysctl = sources().sysctl;
    std::size_t size = 0;
    if (sysctl(key.c_str(), nullptr, &size) != 0 || size == 0) return "";
    std::vector<char> buffer(size);
    if (sysctl(key.c_str(), buffer.data(), &size) != 0) return "";
    return std::string(buffer.data(), strnlen(buffer.data(), size));
}

double DVDeviceInfo_Common::_sysctlCGFloatForKey(const std::string& key) {
    auto sysctl = sources().sysctl;
    std::size_t size = 0;
    if (sysctl(key.c_str(), nullptr, &size) != 0 || size == 0) return 0.0;
    if (size == 4) {
        int32_t v = 0;
        return sysctl(key.c_str(), &v, &size) == 0 ? double(v) : 0.0;
    }
    if (size == 8) {
        int64_t v = 0;
        return sysctl(key.c_str(), &v, &size) == 0 ? double(v) : 0.0;
    }
    return 0.0;
}

DVCPUInfo DVDeviceInfo_Common::_cpuInfo() {
    DVCPUInfo info;
    info.frequency = _sysctlCGFloatForKey("hw.cpufrequency") / 1000000000.0;
    info.numberOfCores = static_cast<uint64_t>(_sysctlCGFloatForKey("hw.ncpu"));
    info.l2CacheSize = _sysctlCGFloatForKey("hw.l2cachesize") * (1.0 / 1024.0);
    return info;
}

double DVDeviceInfo_Common::_physicalMemory() {
    return static_cast<double>(sources().physicalMemoryBytes()) / 1073741824.0;
}

int64_t DVDeviceInfo_Common::_systemByteOrder() {
    return _sysctlStringForKey("hw.byteorder") == "1234" ? 0 : 1;
}

bool DVDeviceInfo_Common::isOperatingSystemAtLeastOSVersion(DVOSVersion version) const {
    // Always the running device's version, whatever the receiver.
    DVOSVersion current = deviceInfo()->osVersion();
    if (current.major != version.major) return current.major > version.major;
    if (current.minor != version.minor) return current.minor > version.minor;
    return current.patch >= version.patch;
}

bool DVDeviceInfo_Common::isOperatingSystemAtLeastVersion(const std::string& version) const {
    return isOperatingSystemAtLeastOSVersion(DVOSVersionFromString(version));
}

#define DV_PROPERTY(Class, Type, getter, setter, member)      \
    Type Class::getter() const {                              \
        std::lock_guard lock(propertyLock_);                  \
        return member;                                        \
    }                                                         \
    void Class::setter(Type value) {                          \
        std::lock_guard lock(propertyLock_);                  \
        member = std::move(value);                            \
    }

DV_PROPERTY(DVDeviceInfo_Common, std::string, rawSystemInfoString, setRawSystemInfoString, rawSystemInfoString_)
DV_PROPERTY(DVDeviceInfo_Common, DVDeviceFamily, family, setFamily, family_)
DV_PROPERTY(DVDeviceInfo_Common, double, physicalMemory, setPhysicalMemory, physicalMemory_)
DV_PROPERTY(DVDeviceInfo_Common, DVCPUInfo, cpuInfo, setCpuInfo, cpuInfo_)
DV_PROPERTY(DVDeviceInfo_Common, DVOSVersion, osVersion, setOsVersion, osVersion_)
DV_PROPERTY(DVDeviceInfo, std::string, modelString, setModelString, modelString_)
DV_PROPERTY(DVDeviceInfo, DVDeviceModel, model, setModel, model_)
DV_PROPERTY(DVDeviceInfo, DVDeviceVersion, deviceVersion, setDeviceVersion, deviceVersion_)
DV_PROPERTY(DVDeviceInfo, DVDisplayInfo, displayInfo, setDisplayInfo, displayInfo_)
