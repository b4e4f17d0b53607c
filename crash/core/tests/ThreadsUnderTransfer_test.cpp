#include <crash_core/CRMachineContext.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchTime.h>
#include <platform_net/NSURLSession.h>

#include "../../../platform/net/tests/LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

namespace {

constexpr size_t kBodySize = 256 * 1024;

// A process busy with an HTTP transfer (the session's loading thread, the server's threads,
// the delegate queue) and a dispatch timer is stopped and let go many times: every transfer
// still arrives whole and without an error, and none stalls.
TEST(ThreadsUnderTransfer, RepeatedSuspensionDuringHTTPTransfersAndTimers) {
    crmc_prepare();
    const std::string body(kBodySize, 'x');
    LoopbackServer server;
    server.routes().Get("/big", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream", [&](size_t offset, httplib::DataSink& sink) {
            if (offset >= body.size()) {
                sink.done();
                return true;
            }
            sink.write(body.data() + offset, std::min<size_t>(4096, body.size() - offset));
            return true;
        });
    });
    server.start();

    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    auto url = NSURL::URLWithString(server.url("/big"));
    std::mutex m;
    std::condition_variable cv;
    int completed = 0, failures = 0;
    bool stop = false, idle = false;
    std::function<void()> fetchNext = [&] {
        session
            ->dataTaskWithURL(url,
                              [&](auto data, auto, auto error) {
                                  std::lock_guard lock(m);
                                  if (error || !data || data->size() != kBodySize) ++failures;
                                  ++completed;
                                  if (stop) idle = true;
                                  else fetchNext();
                                  cv.notify_all();
                              })
            ->resume();
    };

    auto queue = dispatch_queue_create("com.example.crash.transfer-timer", nullptr);
    std::atomic<int> ticks{0};
    std::atomic<bool> timerStop{false}, timerIdle{false};
    std::function<void()> tick = [&] {
        ++ticks;
        if (!timerStop) dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 200000), queue, tick);
        else timerIdle = true;
    };
    dispatch_async(queue, tick);

    fetchNext();
    for (int i = 0; i < 100; ++i) {
        CRThread* list = nullptr;
        int count = 0;
        ASSERT_TRUE(crmc_suspendEnvironment(&list, &count));
        EXPECT_GT(count, 3);
        crmc_resumeEnvironment(list, count);
    }

    // Work goes on after the last suspension: two more transfers and more timer ticks.
    std::unique_lock lock(m);
    const int seen = completed;
    const int seenTicks = ticks;
    EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return completed >= seen + 2; }));
    stop = true;
    EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return idle; }));
    EXPECT_EQ(failures, 0);
    lock.unlock();
    while (ticks == seenTicks) std::this_thread::yield();
    timerStop = true;
    while (!timerIdle) std::this_thread::yield();
    session->finishTasksAndInvalidate();
}

}  // namespace
