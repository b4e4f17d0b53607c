// firmware-browser: the app in a terminal. See AppHost.h.

#include <app_host/AppHost.h>
#include <platform_dispatch/DispatchExit.h>

namespace {
// Time a running background block (an analytics envelope, a cache write) gets to end.
constexpr long kWorkerStopTimeoutMs = 2000;
}  // namespace

int main(int argc, char** argv) {
    const int code = AppHost::run(argc, argv);
    dispatch_stop_workers_for_exit(kWorkerStopTimeoutMs);
    return code;
}
