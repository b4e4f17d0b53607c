#include <device_and_dates/DVDeviceInfo.h>
#include <device_and_dates/DVDeviceModelTable.h>
#include <platform_runtime/NSException.h>

#include "LeadingInteger.h"

#include <cstdio>

DVDeviceInfo::DVDeviceInfo() {
    setRawSystemInfoString(_rawSystemInfoString());
    setDeviceVersion(_deviceVersion());
    auto nuances = _modelNuances();
    setFamily(nuances.family);
    setModel(nuances.model);
    setModelString(nuances.name);
    setDisplayInfo({nuances.display, nuances.pixelsPerInch});
    setOsVersion(_osVersion());
    setPhysicalMemory(_physicalMemory());
    setCpuInfo(_cpuInfo());
}

std::string DVDeviceInfo::_rawSystemInfoString() {
    return sources().machineIdentifier();
}

DVDeviceVersion DVDeviceInfo::_deviceVersion() {
    const std::string id = _rawSystemInfoString();
    auto digit = id.find_first_of("0123456789");
    auto comma = id.find(',');
    if (comma == std::string::npos) return {};
    DVDeviceVersion v;
    if (digit != std::string::npos && digit < comma) v.major = DVLeadingInteger(std::string_view(id).substr(digit, comma - digit));
    v.minor = DVLeadingInteger(std::string_view(id).substr(comma + 1));
    return v;
}

DVDeviceInfo::ModelNuances DVDeviceInfo::_modelNuances() {
    auto version = _deviceVersion();
    auto family = DVDeviceModelTable::familyForIdentifier(_rawSystemInfoString());
    ModelNuances unknown{family, DVDeviceModelUnknown, "Unknown Device", DVDeviceDisplayUnknown, 0.0};
    if (family == DVDeviceFamilyUnknown) return unknown;
    auto row = DVDeviceModelTable::lookup(family, version.major, version.minor);
    if (!row) return unknown;
    return {family, row->model, row->name, row->display, static_cast<double>(row->pixelsPerInch)};
}

DVOSVersion DVDeviceInfo::_osVersion() {
    return DVOSVersionFromString(sources().systemVersion());
}

bool DVDeviceInfo::isJailbroken() const {
    NSException::raise(NSInternalInconsistencyException,
                       "Jailbreak detection is not part of this build, so this property cannot be read.");
}

std::string DVDeviceInfo::description() const {
    auto display = displayInfo();
    auto version = deviceVersion();
    auto os = osVersion();
    auto cpu = cpuInfo();
    char buf[1024];
    std::snprintf(buf, sizeof buf,
                  "\nrawSystemInfoString: %s\nmodel: %ld\nfamily: %ld\ndisplay: %ld\nppi: %ld\n"
                  "deviceVersion.major: %ld\ndeviceVersion.minor: %ld\nosVersion.major: %ld\n"
                  "osVersion.minor: %ld\nosVersion.patch: %ld\ncpuInfo.frequency: %.3f\n"
                  "cpuInfo.numberOfCores: %ld\ncpuInfo.l2CacheSize: %.3f\npysicalMemory: %.3f",
                  rawSystemInfoString().c_str(), long(model()), long(family()), long(display.display),
                  long(static_cast<uint64_t>(display.pixelsPerInch)), long(version.major), long(version.minor),
                  long(os.major), long(os.minor), long(os.patch), cpu.frequency, long(cpu.numberOfCores),
                  cpu.l2CacheSize, physicalMemory());
    return NSObject::description() + buf;
}
