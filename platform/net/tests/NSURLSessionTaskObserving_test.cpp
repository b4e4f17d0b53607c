// Key-value observing of a task's state and byte counters: which changes observers hear of,
// and on which thread.

#include <gtest/gtest.h>

#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLSession.h>
#include <platform_runtime/KeyValueObserving.h>

#include "LoopbackServer.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace {

struct Seen {
    std::string key;
    int64_t value;
    std::thread::id thread;
};

class TaskObserver : public NSObject {
public:
    void observeValueForKeyPath(const std::string& keyPath, NSObject*, const Value& change, void*) override {
        std::lock_guard lock(m);
        seen.push_back({keyPath, change.objectForKey(NSKeyValueChangeNewKey).integerValue(), std::this_thread::get_id()});
    }
    std::vector<Seen> of(const std::string& key) {
        std::lock_guard lock(m);
        std::vector<Seen> out;
        for (auto& s : seen)
            if (s.key == key) out.push_back(s);
        return out;
    }

private:
    std::mutex m;
    std::vector<Seen> seen;
};

const char* const kKeys[] = {"state", "countOfBytesSent", "countOfBytesReceived", "countOfBytesExpectedToSend",
                             "countOfBytesExpectedToReceive"};

TEST(NSURLSessionTaskObservingTest, StateAndByteCountersAreAnnouncedWhereTheyChange) {
    LoopbackServer server;
    const std::string reply(5000, 'r');
    server.routes().Post("/upload", [&](const httplib::Request&, httplib::Response& res) { res.set_content(reply, "text/plain"); });
    server.start();
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url("/upload")));
    request->setHTTPMethod("POST");
    request->setValue(std::string("identity"), "Accept-Encoding");
    std::atomic<bool> done{false};
    std::thread::id handlerThread;
    auto task = session->uploadTaskWithRequest(request, std::vector<uint8_t>(3000, 'u'),
                                               [&](std::optional<std::vector<uint8_t>>, NSURLResponsePtr, NSErrorPtr) {
                                                   handlerThread = std::this_thread::get_id();
                                                   done = true;
                                               });
    auto observer = std::make_shared<TaskObserver>();
    for (const char* key : kKeys) task->addObserver(*observer, key, NSKeyValueObservingOptionNew);

    task->resume();
    const auto caller = std::this_thread::get_id();
    {
        // Resuming is announced at once, on the caller's thread.
        auto state = observer->of("state");
        ASSERT_EQ(state.size(), 1u);
        EXPECT_EQ(state[0].value, NSURLSessionTaskStateRunning);
        EXPECT_EQ(state[0].thread, caller);
    }
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, 10));
    // The completion is announced before the handler runs.
    auto state = observer->of("state");
    ASSERT_EQ(state.size(), 2u);
    EXPECT_EQ(state[1].value, NSURLSessionTaskStateCompleted);
    const auto loading = state[1].thread;
    EXPECT_NE(loading, caller);
    EXPECT_NE(loading, handlerThread);

    struct Case {
        const char* key;
        int64_t last;
        bool changes;  // false: known when the task was made
    };
    const Case cases[] = {
        {"countOfBytesExpectedToSend", 3000, false},
        {"countOfBytesSent", 3000, true},
        {"countOfBytesExpectedToReceive", int64_t(reply.size()), true},
        {"countOfBytesReceived", int64_t(reply.size()), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(task->valueForKey(c.key).integerValue(), c.last);
        auto seen = observer->of(c.key);
        if (!c.changes) {
            EXPECT_TRUE(seen.empty());
            continue;
        }
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().value, c.last);
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].thread, loading) << "change " << i;
            if (i) EXPECT_NE(seen[i].value, seen[i - 1].value) << "a change repeated at " << i;
        }
    }
    for (const char* key : kKeys) task->removeObserver(*observer, key);
    session->finishTasksAndInvalidate();
}

TEST(NSURLSessionTaskObservingTest, SuspendAndCancelAreAnnouncedOnceEach) {
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    // Never started: no load changes anything but the caller.
    auto task = session->dataTaskWithURL(NSURL::URLWithString("http://127.0.0.1:9/never"));
    auto observer = std::make_shared<TaskObserver>();
    task->addObserver(*observer, "state", NSKeyValueObservingOptionNew);
    task->suspend();  // already suspended: no change
    task->cancel();
    task->cancel();  // already cancelling: no change
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return task->state() == NSURLSessionTaskStateCompleted; }, 10));
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return observer->of("state").size() == 2; }, 10));
    auto seen = observer->of("state");
    EXPECT_EQ(seen[0].value, NSURLSessionTaskStateCanceling);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
    EXPECT_EQ(seen[1].value, NSURLSessionTaskStateCompleted);
    task->removeObserver(*observer, "state");
    session->invalidateAndCancel();
}

}  // namespace
