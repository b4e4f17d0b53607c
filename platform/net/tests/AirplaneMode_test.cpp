// Airplane mode: new and running tasks end with -1009, reachability follows
// the switch and tells its callback; switched back, loading works again.

#include <platform_net/AirplaneMode.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLSession.h>
#include <platform_net/SCNetworkReachability.h>

#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "LoopbackServer.h"

namespace {

struct Outcome {
    std::atomic<bool> done{false};
    NSErrorPtr error;
    NSURLResponsePtr response;
};

class AirplaneModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.routes().Get("/text", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.set_content("hello", "text/plain");
        });
        server.routes().Get("/hang", [this](const httplib::Request&, httplib::Response& res) {
            started = true;
            server.waitAtGate(20);
            res.set_content("late", "text/plain");
        });
        server.start();
        session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    }
    void TearDown() override { NetworkAirplaneMode::setOn(false); }

    std::shared_ptr<Outcome> load(const std::string& path) {
        auto out = std::make_shared<Outcome>();
        session
            ->dataTaskWithURL(NSURL::URLWithString(server.url(path)),
                              [out](std::optional<std::vector<uint8_t>>, NSURLResponsePtr r, NSErrorPtr e) {
                                  out->error = e;
                                  out->response = r;
                                  out->done = true;
                              })
            ->resume();
        return out;
    }
    static int64_t code(const std::shared_ptr<Outcome>& out) { return out->error ? out->error->code() : 0; }

    LoopbackServer server;
    NSURLSessionPtr session;
    std::atomic<bool> started{false};
    std::atomic<int> hits{0};
};

TEST_F(AirplaneModeTest, NewTasksFailWithoutConnectingUntilSwitchedBack) {
    NetworkAirplaneMode::setOn(true);
    EXPECT_TRUE(NetworkAirplaneMode::isOn());
    auto offline = load("/text");
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return offline->done.load(); }, 10));
    EXPECT_EQ(code(offline), NSURLErrorNotConnectedToInternet);
    EXPECT_EQ(offline->error->domain(), NSURLErrorDomain);
    EXPECT_EQ(hits.load(), 0) << "the request must not reach the server";

    NetworkAirplaneMode::setOn(false);
    auto online = load("/text");
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return online->done.load(); }, 10));
    EXPECT_EQ(code(online), 0);
    EXPECT_TRUE(online->response);
    EXPECT_EQ(hits.load(), 1);
}

TEST_F(AirplaneModeTest, ARunningTaskEndsWithNotConnected) {
    auto running = load("/hang");
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return started.load(); }, 10));
    NetworkAirplaneMode::setOn(true);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return running->done.load(); }, 10)) << "the task must not hang";
    EXPECT_EQ(code(running), NSURLErrorNotConnectedToInternet);
    server.openGate();
}

struct FlagsRecorder {
    std::mutex mutex;
    std::vector<SCNetworkReachabilityFlags> told;
    static void callback(const SCNetworkReachabilityRef&, SCNetworkReachabilityFlags flags, void* info) {
        auto* self = static_cast<FlagsRecorder*>(info);
        std::lock_guard lock(self->mutex);
        self->told.push_back(flags);
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return told.size();
    }
};

TEST_F(AirplaneModeTest, ReachabilityReportsNotReachableAndTellsEachChange) {
    auto target = SCNetworkReachabilityCreateWithName("127.0.0.1");
    ASSERT_TRUE(target);
    SCNetworkReachabilityFlags before = 0;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &before));
    ASSERT_TRUE(before & kSCNetworkReachabilityFlagsReachable);
    FlagsRecorder rec;
    SCNetworkReachabilityContext ctx;
    ctx.info = &rec;
    ASSERT_TRUE(SCNetworkReachabilitySetCallback(target, &FlagsRecorder::callback, &ctx));
    ASSERT_TRUE(SCNetworkReachabilityScheduleWithRunLoop(target, NSRunLoop::currentRunLoop(), NSRunLoopCommonModes));

    NetworkAirplaneMode::setOn(true);
    SCNetworkReachabilityFlags now = 1;
    ASSERT_TRUE(SCNetworkReachabilityGetFlags(target, &now));
    EXPECT_EQ(now, 0u);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return rec.count() >= 1; }, 10));
    EXPECT_EQ(rec.told.back(), 0u);

    NetworkAirplaneMode::setOn(false);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return rec.count() >= 2; }, 10));
    EXPECT_TRUE(rec.told.back() & kSCNetworkReachabilityFlagsReachable);
    SCNetworkReachabilitySetCallback(target, nullptr, nullptr);
}

}  // namespace
