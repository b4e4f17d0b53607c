// firmware-browser: the app in a terminal. See AppHost.h.

#include <app_host/AppHost.h>
#include <platform_dispatch/DispatchExit.h>
#include <platform_dispatch/DispatchSemaphore.h>
#include <platform_dispatch/DispatchTime.h>
#include <platform_net/NSURLSession.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {
// Time a running background block (an analytics envelope, a cache write) gets to end.
constexpr long kWorkerStopTimeoutMs = 2000;
// Time requests still loading on the shared session (an analytics upload) get to end and have
// their answers delivered while the workers still run.
constexpr long kSharedSessionSettleTimeoutMs = 2000;
// How often the shared session's open tasks are counted while they settle, and how many looks
// in a row must find none: an upload being prepared on a worker (its file read) has no task yet.
constexpr auto kSettlePollInterval = std::chrono::milliseconds(5);
constexpr int kQuietLooks = 4;

// A worker blocked on an answer of the shared session (the analytics kit posts synchronously)
// would otherwise hold the exit for the whole worker-stop bound, and the answer would stay
// queued with the chain that holds the session's delegate queue.
void settleSharedSession() {
    const dispatch_time_t deadline =
        dispatch_time(DISPATCH_TIME_NOW, kSharedSessionSettleTimeoutMs * static_cast<int64_t>(NSEC_PER_MSEC));
    const NSURLSessionPtr session = NSURLSession::sharedSession();
    for (int quiet = 0;;) {
        dispatch_semaphore_t answered = dispatch_semaphore_create(0);
        auto open = std::make_shared<std::atomic<std::size_t>>(0);
        // Answered on the delegate queue after the deliveries queued before it.
        session->getTasksWithCompletionHandler([answered, open](auto data, auto uploads, auto downloads) {
            open->store(data.size() + uploads.size() + downloads.size());
            dispatch_semaphore_signal(answered);
        });
        if (dispatch_semaphore_wait(answered, deadline) != 0) return;
        quiet = open->load() == 0 ? quiet + 1 : 0;
        if (quiet == kQuietLooks || dispatch_time(DISPATCH_TIME_NOW, 0) >= deadline) return;
        std::this_thread::sleep_for(kSettlePollInterval);
    }
}
}  // namespace

int main(int argc, char** argv) {
    const int code = AppHost::run(argc, argv);
    settleSharedSession();
    dispatch_stop_workers_for_exit(kWorkerStopTimeoutMs);
    return code;
}
