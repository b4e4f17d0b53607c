#include <crash_core/CRMonitorSystem.h>

#include <crash_core/CRCPU.h>
#include <crash_core/CRDynamicLinker.h>
#include <crash_core/CRFileUtils.h>

#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSUUID.h>
#include <platform_foundation/Sandbox.h>
#include <platform_kernel/MemInfo.h>
#include <platform_kernel/Sysctl.h>
#include <platform_system/CommonDigest.h>
#include <platform_uikit/UIDevice.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <string>
#include <sys/statfs.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Facts {
    char* systemName;
    char* systemVersion;
    char* machine;
    char* model;
    char* kernelVersion;
    char* osVersion;
    char* bootTime;
    char* appStartTime;
    char* executablePath;
    char* executableName;
    char* bundleID;
    char* bundleName;
    char* bundleVersion;
    char* bundleShortVersion;
    char* appID;
    char* cpuArchitecture;
    int cpuType;
    int cpuSubType;
    int binaryCPUType;
    int binaryCPUSubType;
    char* timezone;
    char* processName;
    int processID;
    int parentProcessID;
    char* deviceAppHash;
    char* buildType;
    uint64_t storageSize;
    uint64_t memorySize;
    // Where free storage is measured at event time.
    char* homePath;
};

std::atomic<bool> gEnabled{false};
bool gGathered = false;
Facts gFacts;

char* copyOf(const std::string& text) { return strdup(text.c_str()); }

char* copyOfInfoKey(const std::shared_ptr<NSBundle>& bundle, const char* key) {
    Value value = bundle->infoDictionary().isDictionary() ? bundle->objectForInfoDictionaryKey(key) : Value();
    return value.isString() ? copyOf(value.asStdString()) : nullptr;
}

char* sysctlText(const char* name) {
    int size = crsysctl_stringForName(name, nullptr, 0);
    if (size <= 0) return nullptr;
    char* value = static_cast<char*>(std::malloc(size_t(size)));
    if (!value || crsysctl_stringForName(name, value, size) <= 0) {
        std::free(value);
        return nullptr;
    }
    return value;
}

char* utcText(time_t seconds) {
    struct tm tm {};
    gmtime_r(&seconds, &tm);
    char buffer[21];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return strdup(buffer);
}

const char* cpuArchitecture(int type, int subType) {
    switch (type) {
    case 7: return "x86";
    case 0x01000007: return "x86_64";
    case 12:
        switch (subType) {
        case 6: return "armv6";
        case 9: return "armv7";
        case 10: return "armv7f";
        case 11: return "armv7s";
        case 12: return "armv7k";
        default: break;
        }
        break;
    default: break;
    }
    return crcpu_currentArch();
}

char* uuidText(const uint8_t* bytes) {
    if (!bytes) return nullptr;
    char buffer[37];
    std::snprintf(buffer, sizeof buffer,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1],
                  bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10], bytes[11],
                  bytes[12], bytes[13], bytes[14], bytes[15]);
    return strdup(buffer);
}

char* appUUID(const char* executablePath) {
    if (!executablePath) return nullptr;
    const uint8_t* uuid = crdl_imageUUID(executablePath, true);
    if (!uuid) uuid = crdl_imageUUID(crfu_lastPathEntry(executablePath), false);
    return uuidText(uuid);
}

char* deviceAppHash(const char* machine, const char* model, const char* arch, const char* bundleID) {
    std::string data;
    auto vendor = UIDevice::currentDevice()->identifierForVendor();
    if (vendor) {
        data.append(reinterpret_cast<const char*>(vendor->bytes().data()), 16);
    } else {
        char mac[6];
        if (crsysctl_getMacAddress("en0", mac)) data.append(mac, 6);
    }
    for (const char* text : {machine, model, arch, bundleID})
        if (text) data += text;
    unsigned char digest[CC_SHA1_DIGEST_LENGTH];
    CC_SHA1(data.data(), CC_LONG(data.size()), digest);
    char hex[2 * CC_SHA1_DIGEST_LENGTH + 1];
    for (size_t i = 0; i < CC_SHA1_DIGEST_LENGTH; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return strdup(hex);
}

const char* buildType(const std::string& bundlePath) {
    std::string receipt = bundlePath + "/StoreKit/receipt";
    if (receipt.size() >= 14 && receipt.compare(receipt.size() - 14, 14, "sandboxReceipt") == 0) return "test";
    struct stat st {};
    if (stat(receipt.c_str(), &st) == 0) return "app store";
    return "unknown";
}

void gather() {
    Facts& f = gFacts;
    auto device = UIDevice::currentDevice();
    f.systemName = copyOf(device->systemName());
    f.systemVersion = copyOf(device->systemVersion());
    f.machine = sysctlText("hw.machine");
    f.model = sysctlText("hw.model");
    f.kernelVersion = sysctlText("kern.version");
    f.osVersion = sysctlText("kern.osversion");
    f.bootTime = utcText(crsysctl_timevalForName("kern.boottime").tv_sec);
    f.appStartTime = utcText(time(nullptr));

    // The running program is the executable: the bundle's resources folder is not where
    // it lives.
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        f.executablePath = strdup(exe);
        f.executableName = strdup(crfu_lastPathEntry(exe));
    }
    auto bundle = NSBundle::mainBundle();
    if (bundle) {
        f.bundleID = copyOfInfoKey(bundle, "CFBundleIdentifier");
        f.bundleName = copyOfInfoKey(bundle, "CFBundleName");
        f.bundleVersion = copyOfInfoKey(bundle, "CFBundleVersion");
        f.bundleShortVersion = copyOfInfoKey(bundle, "CFBundleShortVersionString");
        f.buildType = strdup(buildType(bundle->bundlePath()));
    } else {
        f.buildType = strdup("unknown");
    }
    f.appID = appUUID(f.executablePath);
    f.cpuType = crsysctl_int32ForName("hw.cputype");
    f.cpuSubType = crsysctl_int32ForName("hw.cpusubtype");
    const char* arch = cpuArchitecture(f.cpuType, f.cpuSubType);
    f.cpuArchitecture = arch ? strdup(arch) : nullptr;
    CRBinaryImage image;
    if (crdl_getBinaryImage(0, &image)) {
        f.binaryCPUType = image.cpuType;
        f.binaryCPUSubType = image.cpuSubType;
    }
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    f.timezone = local.tm_zone ? strdup(local.tm_zone) : nullptr;
    f.processName = f.executableName ? strdup(f.executableName) : nullptr;
    f.processID = getpid();
    f.parentProcessID = getppid();
    f.deviceAppHash = deviceAppHash(f.machine, f.model, f.cpuArchitecture, f.bundleID);
    f.homePath = copyOf(NSHomeDirectory());
    struct statfs fs {};
    if (statfs(f.homePath, &fs) == 0) f.storageSize = uint64_t(fs.f_blocks) * uint64_t(fs.f_frsize ? fs.f_frsize : fs.f_bsize);
    f.memorySize = uint64_t(crsysctl_int64ForName("hw.memsize"));
}

void setEnabled(bool enabled) {
    if (enabled == gEnabled.load()) return;
    gEnabled.store(enabled);
    if (enabled && !gGathered) {
        gGathered = true;
        gather();
    }
}

bool isEnabled() { return gEnabled.load(); }

// Async-signal-safe: copies pointers and reads two kernel figures.
void addContextualInfo(CRCrashEventContext* event) {
    if (!gEnabled.load()) return;
    const Facts& f = gFacts;
    auto& s = event->System;
    s.systemName = f.systemName;
    s.systemVersion = f.systemVersion;
    s.machine = f.machine;
    s.model = f.model;
    s.kernelVersion = f.kernelVersion;
    s.osVersion = f.osVersion;
    s.bootTime = f.bootTime;
    s.appStartTime = f.appStartTime;
    s.executablePath = f.executablePath;
    s.executableName = f.executableName;
    s.bundleID = f.bundleID;
    s.bundleName = f.bundleName;
    s.bundleVersion = f.bundleVersion;
    s.bundleShortVersion = f.bundleShortVersion;
    s.appID = f.appID;
    s.cpuArchitecture = f.cpuArchitecture;
    s.cpuType = f.cpuType;
    s.cpuSubType = f.cpuSubType;
    s.binaryCPUType = f.binaryCPUType;
    s.binaryCPUSubType = f.binaryCPUSubType;
    s.timezone = f.timezone;
    s.processName = f.processName;
    s.processID = f.processID;
    s.parentProcessID = f.parentProcessID;
    s.deviceAppHash = f.deviceAppHash;
    s.buildType = f.buildType;
    s.storageSize = f.storageSize;
    s.memorySize = f.memorySize;
    s.freeStorageSize = 0;
    struct statfs fs {};
    if (f.homePath && statfs(f.homePath, &fs) == 0)
        s.freeStorageSize = uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize ? fs.f_frsize : fs.f_bsize);
    kernel::MemInfo info;
    if (kernel::readMemInfo(&info)) {
        s.freeMemory = info.freeBytes;
        s.usableMemory = info.activeBytes + info.inactiveBytes + info.unevictableBytes + info.freeBytes;
    } else {
        s.freeMemory = 0;
        s.usableMemory = 0;
    }
}

const CRMonitorAPI kAPI = {setEnabled, isEnabled, nullptr, addContextualInfo, nullptr};

}  // namespace

extern "C" {

const CRMonitorAPI* crcm_system_getAPI(void) { return &kAPI; }

int32_t crsysctl_int32ForName(const char* name) {
    int32_t value = 0;
    size_t size = sizeof value;
    return sysctlbyname(name, &value, &size, nullptr, 0) == 0 ? value : 0;
}

int64_t crsysctl_int64ForName(const char* name) {
    int64_t value = 0;
    size_t size = sizeof value;
    return sysctlbyname(name, &value, &size, nullptr, 0) == 0 ? value : 0;
}

int crsysctl_stringForName(const char* name, char* value, int maxSize) {
    size_t size = value ? size_t(maxSize) : 0;
    if (sysctlbyname(name, value, &size, nullptr, 0) != 0) return 0;
    return int(size);
}

struct timeval crsysctl_timevalForName(const char* name) {
    struct timeval value {};
    size_t size = sizeof value;
    if (sysctlbyname(name, &value, &size, nullptr, 0) != 0) return timeval{};
    return value;
}

bool crsysctl_getMacAddress(const char* name, char* macAddressBuffer6Bytes) {
    if (!name || !macAddressBuffer6Bytes) return false;
    bool anyInterface = std::strcmp(name, "en0") == 0;
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false;
    for (struct ifaddrs* a = list; a && !found; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET) continue;
        if (anyInterface ? (a->ifa_flags & IFF_LOOPBACK) != 0 : std::strcmp(a->ifa_name, name) != 0) continue;
        auto* ll = reinterpret_cast<const struct sockaddr_ll*>(a->ifa_addr);
        if (ll->sll_halen != 6) continue;
        std::memcpy(macAddressBuffer6Bytes, ll->sll_addr, 6);
        found = true;
    }
    freeifaddrs(list);
    return found;
}

void crcm_system_resetForTesting(void) { gGathered = false; }

}  // extern "C"
