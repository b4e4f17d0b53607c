#include <device_and_dates/DVDeviceInfo.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_kernel/Sysctl.h>

DVDeviceSources DVDeviceSources::platform() {
    DVDeviceSources s;
    s.machineIdentifier = [] { return deviceMachineIdentifier(); };
    s.sysctl = [](const char* name, void* buffer, std::size_t* size) {
        return sysctlbyname(name, buffer, size, nullptr, 0);
    };
    s.physicalMemoryBytes = [] { return NSProcessInfo::processInfo()->physicalMemory(); };
    s.systemVersion = [] {
        auto v = NSProcessInfo::processInfo()->operatingSystemVersion();
        return std::to_string(v.majorVersion) + "." + std::to_string(v.minorVersion) +
               (v.patchVersion ? "." + std::to_string(v.patchVersion) : std::string());
    };
    return s;
}
