#pragma once
// The machine's memory figures from /proc/meminfo, in bytes. Async-signal-safe
// (a stack buffer).

#include <cstdint>

namespace kernel {

struct MemInfo {
    uint64_t totalBytes = 0;      // MemTotal
    uint64_t freeBytes = 0;       // MemFree
    uint64_t availableBytes = 0;  // MemAvailable (MemFree on kernels without it)
    uint64_t buffersBytes = 0;    // Buffers
    uint64_t cachedBytes = 0;     // Cached
    uint64_t activeBytes = 0;     // Active
    uint64_t inactiveBytes = 0;   // Inactive
    uint64_t unevictableBytes = 0;  // Unevictable
    uint64_t mlockedBytes = 0;    // Mlocked
    uint64_t swapTotalBytes = 0;  // SwapTotal
    uint64_t swapFreeBytes = 0;   // SwapFree
};

// False when the file cannot be read or has no MemTotal / MemFree.
[[nodiscard]] bool readMemInfo(MemInfo* out);

}  // namespace kernel
