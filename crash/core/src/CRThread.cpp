#include <crash_core/CRThread.h>

#include <platform_dispatch/ThreadQueueLabels.h>
#include <platform_kernel/ProcStatus.h>
#include <platform_kernel/SafeMemory.h>
#include <platform_kernel/ThreadList.h>

namespace {
// Labels longer than this are not taken.
constexpr size_t kMaxLabel = 512;
}  // namespace

extern "C" {

CRThread crthread_self(void) {
    return static_cast<CRThread>(kernel::currentThreadId());
}

bool crthread_getQueueName(CRThread thread, char* buffer, int bufferLength) {
    if (!buffer || bufferLength < 1) return false;
    const char* label = dispatchQueueLabelAddressOfThread(static_cast<pid_t>(thread));
    if (!label) return false;
    char copy[kMaxLabel];
    size_t n = kernel::safeReadPrefix(label, copy, sizeof copy);
    size_t length = 0;
    while (length < n && copy[length] >= 0x20 && copy[length] <= 0x7E) ++length;
    if (length == n || copy[length] != '\0') return false;
    size_t take = length < static_cast<size_t>(bufferLength - 1) ? length : static_cast<size_t>(bufferLength - 1);
    for (size_t i = 0; i < take; ++i) buffer[i] = copy[i];
    buffer[take] = '\0';
    return true;
}

bool crdebug_isBeingTraced(void) {
    return kernel::isBeingTraced();
}

}  // extern "C"
