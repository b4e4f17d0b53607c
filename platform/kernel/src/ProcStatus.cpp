#include <platform_kernel/ProcStatus.h>

#include <platform_kernel/ProcFile.h>

namespace kernel {

int tracerPid() {
    char text[4096];
    int64_t pid = 0;
    if (readProcFile("/proc/self/status", text, sizeof text) < 0) return -1;
    if (!procField(text, "TracerPid", &pid)) return -1;
    return static_cast<int>(pid);
}

bool isBeingTraced() {
    return tracerPid() > 0;
}

}  // namespace kernel
