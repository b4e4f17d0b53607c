#include <platform_dispatch/DispatchExit.h>

#include "WorkerPool.h"

extern "C" void dispatch_stop_workers_for_exit(long timeoutMs) {
    dispatch_detail::WorkerPool::shared().stopForExit(std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs));
}
