#include <platform_kernel/MemInfo.h>

#include <platform_kernel/ProcFile.h>

namespace kernel {

namespace {

uint64_t kib(const char* text, const char* key, bool* found = nullptr) {
    int64_t v = 0;
    bool ok = procField(text, key, &v) && v >= 0;
    if (found) *found = ok;
    return ok ? static_cast<uint64_t>(v) * 1024u : 0;
}

}  // namespace

bool readMemInfo(MemInfo* out) {
    if (!out) return false;
    char text[8192];
    if (readProcFile("/proc/meminfo", text, sizeof text) <= 0) return false;
    bool haveTotal = false, haveFree = false, haveAvailable = false;
    MemInfo m;
    m.totalBytes = kib(text, "MemTotal", &haveTotal);
    m.freeBytes = kib(text, "MemFree", &haveFree);
    m.availableBytes = kib(text, "MemAvailable", &haveAvailable);
    if (!haveTotal || !haveFree) return false;
    if (!haveAvailable) m.availableBytes = m.freeBytes;
    m.buffersBytes = kib(text, "Buffers");
    m.cachedBytes = kib(text, "Cached");
    m.activeBytes = kib(text, "Active");
    m.inactiveBytes = kib(text, "Inactive");
    m.unevictableBytes = kib(text, "Unevictable");
    m.mlockedBytes = kib(text, "Mlocked");
    m.swapTotalBytes = kib(text, "SwapTotal");
    m.swapFreeBytes = kib(text, "SwapFree");
    *out = m;
    return true;
}

}  // namespace kernel
