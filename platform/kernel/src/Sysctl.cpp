#include <platform_kernel/Sysctl.h>

#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sys/sysinfo.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;

std::mutex gMutex;
std::map<std::string, Bytes>& overrides() {
    static std::map<std::string, Bytes> m;
    return m;
}
std::set<std::string>& hidden() {
    static std::set<std::string> s;
    return s;
}

template <class T>
Bytes bytesOf(T v) {
    Bytes b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

Bytes textOf(const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

// First "key : value" line of /proc/cpuinfo whose key matches.
std::optional<std::string> cpuinfoField(const char* key) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, std::strlen(key), key) != 0) continue;
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        auto value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        return value;
    }
    return std::nullopt;
}

std::optional<Bytes> liveValue(const std::string& name) {
    struct utsname u {};
    if (name == "hw.machine" || name == "hw.model" || name == "kern.version" || name == "kern.osrelease" ||
        name == "kern.ostype" || name == "kern.hostname" || name == "kern.osversion") {
        if (uname(&u) != 0) return std::nullopt;
        if (name == "hw.machine") return textOf(deviceMachineIdentifier());
        if (name == "hw.model") {
            auto model = cpuinfoField("model name");
            return textOf(model ? *model : std::string(u.machine));
        }
        if (name == "kern.version") return textOf(std::string(u.sysname) + " " + u.release + " " + u.version);
        if (name == "kern.osrelease") return textOf(u.release);
        if (name == "kern.osversion") return textOf(u.version);
        if (name == "kern.ostype") return textOf(u.sysname);
        return textOf(u.nodename);
    }
    if (name == "hw.ncpu" || name == "hw.activecpu" || name == "hw.logicalcpu" || name == "hw.physicalcpu") {
        long n = sysconf(name == "hw.ncpu" ? _SC_NPROCESSORS_CONF : _SC_NPROCESSORS_ONLN);
        return bytesOf<int32_t>(static_cast<int32_t>(n > 0 ? n : 1));
    }
    if (name == "hw.memsize" || name == "hw.physmem") {
        long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || size <= 0) return std::nullopt;
        return bytesOf<int64_t>(int64_t(pages) * int64_t(size));
    }
    if (name == "hw.pagesize") return bytesOf<int64_t>(sysconf(_SC_PAGESIZE));
    if (name == "hw.byteorder") return bytesOf<int32_t>(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 1234 : 4321);
    if (name == "hw.cpufrequency") {
        auto mhz = cpuinfoField("cpu MHz");
        if (!mhz) return std::nullopt;
        return bytesOf<int64_t>(static_cast<int64_t>(std::strtod(mhz->c_str(), nullptr) * 1e6));
    }
    if (name == "hw.l2cachesize" || name == "hw.l1dcachesize" || name == "hw.l3cachesize") {
        int key = name == "hw.l2cachesize" ? _SC_LEVEL2_CACHE_SIZE
                  : name == "hw.l1dcachesize" ? _SC_LEVEL1_DCACHE_SIZE : _SC_LEVEL3_CACHE_SIZE;
        long v = sysconf(key);
        if (v <= 0) return std::nullopt;
        return bytesOf<int64_t>(v);
    }
    if (name == "hw.cputype") return bytesOf<int32_t>(0x01000007);  // x86_64 in the platform's numbering
    if (name == "hw.cpusubtype") return bytesOf<int32_t>(3);
    if (name == "kern.boottime") {
        struct sysinfo si {};
        if (sysinfo(&si) != 0) return std::nullopt;
        struct timeval now {};
        gettimeofday(&now, nullptr);
        struct timeval boot {};
        boot.tv_sec = now.tv_sec - si.uptime;
        return bytesOf(boot);
    }
    return std::nullopt;
}

}  // namespace

int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, const void* newp, std::size_t) {
    if (!name || !oldlenp) {
        errno = EINVAL;
        return -1;
    }
    if (newp) {
        errno = EPERM;
        return -1;
    }
    std::optional<Bytes> value;
    {
        std::lock_guard lock(gMutex);
        if (hidden().count(name)) {
            errno = ENOENT;
            return -1;
        }
        auto it = overrides().find(name);
        if (it != overrides().end()) value = it->second;
    }
    if (!value) value = liveValue(name);
    if (!value) {
        errno = ENOENT;
        return -1;
    }
    if (oldp) {
        if (*oldlenp < value->size()) {
            errno = ENOMEM;
            return -1;
        }
        std::memcpy(oldp, value->data(), value->size());
    }
    *oldlenp = value->size();
    return 0;
}

void sysctlSetOverrideForTesting(const std::string& name, std::vector<unsigned char> bytes) {
    std::lock_guard lock(gMutex);
    hidden().erase(name);
    overrides()[name] = std::move(bytes);
}

void sysctlHideForTesting(const std::string& name) {
    std::lock_guard lock(gMutex);
    overrides().erase(name);
    hidden().insert(name);
}

void sysctlResetOverridesForTesting() {
    std::lock_guard lock(gMutex);
    overrides().clear();
    hidden().clear();
}

std::string deviceMachineIdentifier() {
    if (const char* env = std::getenv(kDeviceMachineEnvironmentVariable); env && *env) return env;
    struct utsname u {};
    return uname(&u) == 0 ? std::string(u.machine) : std::string();
}
