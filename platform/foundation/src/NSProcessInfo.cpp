#include <platform_foundation/NSProcessInfo.h>

#include <platform_foundation/NSPathUtilities.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <ctime>
#include <fstream>
#include <iterator>

#include <limits.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include "RandomUUID.h"

extern char** environ;

namespace {

std::mutex gVersionMutex;
std::optional<NSOperatingSystemVersion> gTestVersion;
std::atomic<bool> gHasTestVersion{false};  // spares the lock on every check while no test version is set

// What this thread last found of the version variable in the environment block: the block,
// where the entry sat (or, when absent, how many entries there were and the last one) and the
// text it held. Version checks run on every inset or safe-area read; getenv's scan of the whole
// block each time cost more than the check it served.
struct EnvironmentReading {
    char** block = nullptr;
    std::size_t index = 0;  // the entry's index; when absent, the number of entries
    const char* entry = nullptr;  // the entry; when absent, the last entry (nullptr if none)
    bool present = false;
    bool valid = false;
    std::string text;
    std::optional<NSOperatingSystemVersion> version;
};

constexpr std::string_view kVersionPrefix = "APP_OS_VERSION=";
static_assert(kVersionPrefix.substr(0, kVersionPrefix.size() - 1) == NSProcessInfo::kOSVersionEnvironmentVariable);

bool isVersionEntry(const char* entry) { return std::strncmp(entry, kVersionPrefix.data(), kVersionPrefix.size()) == 0; }

bool holdsText(const char* value, const std::string& text) { return std::strcmp(value, text.c_str()) == 0; }

// Whether the block still holds what the reading found. setenv replaces the entry's pointer,
// unsetenv shifts the entries after it, putenv's buffer edited in place keeps the pointer but
// not the text, and a variable added or removed moves the end of the block.
bool stillHolds(const EnvironmentReading& r) {
    char** block = environ;
    if (!r.valid || block != r.block || !block) return false;
    if (r.present) return block[r.index] == r.entry && isVersionEntry(r.entry) && holdsText(r.entry + kVersionPrefix.size(), r.text);
    if (block[r.index] != nullptr) return false;
    return r.index == 0 || (block[r.index - 1] == r.entry && !isVersionEntry(r.entry));
}

void read(EnvironmentReading& r) {
    r = EnvironmentReading{};
    r.block = environ;
    r.valid = true;
    if (!r.block) return;
    std::size_t i = 0;
    for (; r.block[i]; ++i) {
        if (!isVersionEntry(r.block[i])) continue;
        r.present = true;
        r.index = i;
        r.entry = r.block[i];
        r.text = r.entry + kVersionPrefix.size();
        if (!r.text.empty()) r.version = NSProcessInfo::parseOperatingSystemVersion(r.text);
        return;
    }
    r.index = i;
    r.entry = i ? r.block[i - 1] : nullptr;
}

// The version the environment names, parsed again only when the variable changes.
std::optional<NSOperatingSystemVersion> environmentVersion() {
    thread_local EnvironmentReading reading;
    if (!stillHolds(reading)) read(reading);
    return reading.version;
}

std::vector<std::string> readCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        args.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

std::string executableName() {
    auto args = readCommandLine();
    if (!args.empty() && !args[0].empty()) return lastPathComponent(args[0]);
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return lastPathComponent(std::string(buf, static_cast<std::size_t>(n)));
    return "";
}

}  // namespace

std::shared_ptr<NSProcessInfo> NSProcessInfo::processInfo() {
    // Never destroyed: threads still running while the process exits may use it.
    static const auto* shared = new std::shared_ptr<NSProcessInfo>(std::make_shared<NSProcessInfo>());
    return *shared;
}

std::string NSProcessInfo::processName() const {
    std::lock_guard lock(mutex_);
    if (processName_.empty()) processName_ = executableName();
    return processName_;
}

void NSProcessInfo::setProcessName(std::string name) {
    std::lock_guard lock(mutex_);
    processName_ = std::move(name);
}

int NSProcessInfo::processIdentifier() const { return static_cast<int>(getpid()); }

std::string NSProcessInfo::globallyUniqueString() const {
    static std::atomic<uint64_t> sequence{0};
    uuid_t uuid;
    makeRandomUUID(uuid);
    char text[37];
    uuid_unparse_upper(uuid, text);
    char tail[64];
    std::snprintf(tail, sizeof tail, "-%d-%016" PRIX64, processIdentifier(), ++sequence);
    return std::string(text) + tail;
}

Value NSProcessInfo::environment() const {
    Value::Dictionary env;
    for (char** e = environ; e && *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq == std::string::npos) continue;
        env.emplace(Value(entry.substr(0, eq)), Value(entry.substr(eq + 1)));
    }
    return Value(std::move(env));
}

std::vector<std::string> NSProcessInfo::arguments() const { return readCommandLine(); }

std::optional<NSOperatingSystemVersion> NSProcessInfo::parseOperatingSystemVersion(const std::string& text) {
    int64_t parts[3] = {0, 0, 0};
    std::size_t i = 0, n = 0;
    while (true) {
        if (n == 3 || i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
        int64_t v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (v > 100000) return std::nullopt;
            v = v * 10 + (text[i++] - '0');
        }
        parts[n++] = v;
        if (i == text.size()) break;
        if (text[i++] != '.') return std::nullopt;
    }
    return NSOperatingSystemVersion{parts[0], parts[1], parts[2]};
}

NSOperatingSystemVersion NSProcessInfo::operatingSystemVersion() const {
    if (gHasTestVersion.load(std::memory_order_acquire)) {
        std::lock_guard lock(gVersionMutex);
        if (gTestVersion) return *gTestVersion;
    }
    if (auto v = environmentVersion()) return *v;
    return kDefaultOSVersion;
}

bool NSProcessInfo::isOperatingSystemAtLeastVersion(const NSOperatingSystemVersion& version) const {
    auto os = operatingSystemVersion();
    if (os.majorVersion != version.majorVersion) return os.majorVersion > version.majorVersion;
    if (os.minorVersion != version.minorVersion) return os.minorVersion > version.minorVersion;
    return os.patchVersion >= version.patchVersion;
}

std::string NSProcessInfo::operatingSystemVersionString() const {
    auto v = operatingSystemVersion();
    std::string text = "Version " + std::to_string(v.majorVersion) + "." + std::to_string(v.minorVersion);
    if (v.patchVersion != 0) text += "." + std::to_string(v.patchVersion);
    return text;
}

void NSProcessInfo::setOperatingSystemVersionForTesting(std::optional<NSOperatingSystemVersion> version) {
    std::lock_guard lock(gVersionMutex);
    gTestVersion = version;
    gHasTestVersion.store(version.has_value(), std::memory_order_release);
}

NSTimeInterval NSProcessInfo::systemUptime() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

unsigned long long NSProcessInfo::physicalMemory() const {
    long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || size <= 0) return 0;
    return static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(size);
}

uint64_t NSProcessInfo::processorCount() const {
    long n = sysconf(_SC_NPROCESSORS_CONF);
    return n > 0 ? static_cast<uint64_t>(n) : 1;
}

uint64_t NSProcessInfo::activeProcessorCount() const {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<uint64_t>(n) : 1;
}

std::string NSProcessInfo::hostName() const {
    char buf[HOST_NAME_MAX + 1] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return buf;
}
