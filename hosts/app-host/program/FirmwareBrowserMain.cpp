// firmware-browser: the app in a terminal. See AppHost.h.

#include <app_host/AppHost.h>
#include <platform_dispatch/DispatchExit.h>
#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_dispatch/DispatchTime.h>
#include <platform_net/NSURLSession.h>
#include <platform_runtime/ObjCRuntime.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {
// Time a running background block (an analytics envelope, a cache write) gets to end.
constexpr long kWorkerStopTimeoutMs = 2000;
// Time the analytics uploads still queued or running, then the requests still loading on the
// shared session, get (together) to end and have their answers delivered while the workers
// still run.
constexpr long kExitSettleTimeoutMs = 2000;
// How often the shared session's open tasks are counted while some are still open.
constexpr auto kSettlePollInterval = std::chrono::milliseconds(5);

// An analytics upload job posts its files one after the other, each on a worker blocked on the
// shared session's answer: between two posts no request is open. A job stopped by the workers'
// end would hold the exit for the whole worker-stop bound, and leave its next request in
// flight with the chain that holds the session's delegate queue. The kit is reached by name:
// a program without it has nothing to wait for.
void finishAnalyticsUploads(dispatch_time_t deadline) {
    (void)performClassSelector("ZVConfigure", "waitForUploadsUntil:", {Value(static_cast<int64_t>(deadline))});
}

// Then the answers still on their way are delivered before the workers stop. A run that never
// made the shared session (--help, a refused flag) has none to wait for and does not make it.
void settleSharedSession(dispatch_time_t deadline) {
    const NSURLSessionPtr session = NSURLSession::existingSharedSession();
    if (!session) return;
    for (;;) {
        dispatch_semaphore_t answered = dispatch_semaphore_create(0);
        auto open = std::make_shared<std::atomic<std::size_t>>(0);
        // Answered on the delegate queue after the deliveries queued before it.
        session->getTasksWithCompletionHandler([answered, open](auto data, auto uploads, auto downloads) {
            open->store(data.size() + uploads.size() + downloads.size());
            dispatch_semaphore_signal(answered);
        });
        if (dispatch_semaphore_wait(answered, deadline) != 0) return;
        if (open->load() == 0 || dispatch_time(DISPATCH_TIME_NOW, 0) >= deadline) return;
        std::this_thread::sleep_for(kSettlePollInterval);
    }
}
}  // namespace

int main(int argc, char** argv) {
    const int code = AppHost::run(argc, argv);
    const dispatch_time_t deadline =
        dispatch_time(DISPATCH_TIME_NOW, kExitSettleTimeoutMs * static_cast<int64_t>(NSEC_PER_MSEC));
    finishAnalyticsUploads(deadline);
    settleSharedSession(deadline);
    dispatch_stop_workers_for_exit(kWorkerStopTimeoutMs);
    return code;
}
