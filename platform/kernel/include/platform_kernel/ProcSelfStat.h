#pragma once
// The process's own /proc/self/stat record. Async-signal-safe (a stack buffer).

#include <cstdint>

namespace kernel {

struct ProcSelfStat {
    int pid = 0;
    char state = 0;                // 'R', 'S', ...
    int ppid = 0;
    uint64_t userTicks = 0;        // utime, in clock ticks
    uint64_t systemTicks = 0;      // stime, in clock ticks
    int64_t threadCount = 0;
    uint64_t startTicks = 0;       // start time after boot, in clock ticks
    uint64_t virtualBytes = 0;
    uint64_t residentPages = 0;
};

// Reads the record. The command name may hold spaces and parentheses: the fields
// are counted after its last ')'. False when the file cannot be read or parsed.
[[nodiscard]] bool readProcSelfStat(ProcSelfStat* out);

}  // namespace kernel
