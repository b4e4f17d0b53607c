#include "MainThread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace dispatch_detail {

bool isMainThread() {
    // The initial thread's id is the process id: true from the first
    // instruction on, whoever touches the platform first, and in a forked
    // child for the thread that forked. Not cached for that reason.
    return syscall(SYS_gettid) == getpid();
}

}  // namespace dispatch_detail
