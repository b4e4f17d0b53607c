// The count of URL loads under way that a host waiting for quiet reads: a load counts from its
// resume, before the loading thread has taken it up, until its last events are handed on.

#include <platform_net/NSURLSession.h>
#include <platform_net/URLLoadActivity.h>

#include <platform_dispatch/RunLoopSpin.h>

#include <gtest/gtest.h>

#include <atomic>

#include "LoopbackServer.h"

namespace {

TEST(URLLoadActivity, ALoadCountsFromItsResumeUntilItsAnswerIsHandedOn) {
    LoopbackServer server;
    std::atomic<bool> reached{false};
    server.routes().Get("/held", [&](const httplib::Request&, httplib::Response& res) {
        reached = true;
        server.waitAtGate(20);
        res.set_content("late", "text/plain");
    });
    server.start();
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    ASSERT_EQ(URLLoadingTaskCount(), 0u);

    std::atomic<bool> done{false};
    auto task = session->dataTaskWithURL(NSURL::URLWithString(server.url("/held")),
                                         [&](std::optional<std::vector<uint8_t>>, NSURLResponsePtr, NSErrorPtr) { done = true; });
    EXPECT_EQ(URLLoadingTaskCount(), 0u) << "a task not yet resumed does not count";
    task->resume();
    EXPECT_EQ(URLLoadingTaskCount(), 1u) << "counted at once, before the loading thread starts it";
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return reached.load(); }, 10));
    EXPECT_EQ(URLLoadingTaskCount(), 1u);
    server.openGate();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, 10));
    EXPECT_TRUE(spinMainRunLoopUntil([] { return URLLoadingTaskCount() == 0; }, 10));
    session->invalidateAndCancel();
}

}  // namespace
