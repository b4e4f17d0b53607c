#include <gtest/gtest.h>

#include <platform_dispatch/NSOperationQueue.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLSession.h>

#include "LoopbackServer.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Records, per task, the events in arrival order and the body bytes, and notices any event
// that starts while another one of the session is still running.
class OrderRecorder : public NSURLSessionDataDelegate {
    NS_CLASS(OrderRecorder, NSURLSessionDataDelegate)
    NS_SELECTORS("URLSession:dataTask:didReceiveResponse:completionHandler:", "URLSession:dataTask:didReceiveData:",
                 "URLSession:task:didCompleteWithError:")
public:
    struct Seen {
        std::vector<std::string> events;
        std::string body;
    };

    void dataTaskDidReceiveResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr& task, const NSURLResponsePtr&,
                                    std::function<void(NSURLSessionResponseDisposition)> completion) override {
        Running running(*this);
        note(task, "response", {});
        completion(NSURLSessionResponseAllow);
    }
    void dataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr& task,
                                const std::vector<uint8_t>& data) override {
        Running running(*this);
        note(task, "data", std::string(data.begin(), data.end()));
    }
    void taskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr& task, const NSErrorPtr& error) override {
        Running running(*this);
        note(task, error ? "error" : "complete", {});
        completions++;
    }

    std::map<uint64_t, Seen> seen() const {
        std::lock_guard lock(m_);
        return seen_;
    }

    std::atomic<int> completions{0};
    std::atomic<bool> overlapped{false};

private:
    struct Running {
        explicit Running(OrderRecorder& r) : r(r) {
            if (r.inside_.fetch_add(1) != 0) r.overlapped = true;
        }
        ~Running() { r.inside_--; }
        OrderRecorder& r;
    };
    void note(const NSURLSessionTaskPtr& task, const char* event, const std::string& bytes) {
        std::lock_guard lock(m_);
        auto& s = seen_[task->taskIdentifier()];
        // Consecutive data events fold into one, so the sequence reads response, data, complete.
        if (std::string(event) != "data" || s.events.empty() || s.events.back() != "data") s.events.push_back(event);
        s.body += bytes;
    }

    std::atomic<int> inside_{0};
    mutable std::mutex m_;
    std::map<uint64_t, Seen> seen_;
};

std::string bodyFor(const std::string& key) {
    std::string body;
    for (int i = 0; body.size() < 48 * 1024; ++i) body += key + ":" + std::to_string(i) + ";";
    return body;
}

// A delegate queue that runs several operations at once must still see each task's events
// in order and one at a time, with every byte of its body.
TEST(SessionDelegateOrder, WideDelegateQueueKeepsEachTasksEventsInOrderAndWhole) {
    LoopbackServer server;
    server.routes().Get(R"(/body/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        auto body = std::make_shared<std::string>(bodyFor(req.matches[1]));
        // Written in small pieces so the client receives the body in many data events.
        res.set_chunked_content_provider("text/plain", [body](size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) {
                sink.done();
                return true;
            }
            auto n = std::min<size_t>(1024, body->size() - offset);
            sink.write(body->data() + offset, n);
            return true;
        });
    });
    server.start();

    auto queue = NSOperationQueue::create();
    queue->setMaxConcurrentOperationCount(4);
    auto recorder = std::make_shared<OrderRecorder>();
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration(),
                                                          recorder, queue);
    constexpr int kTasks = 24;
    std::map<uint64_t, std::string> expected;
    for (int i = 0; i < kTasks; ++i) {
        auto task = session->dataTaskWithURL(NSURL::URLWithString(server.url("/body/" + std::to_string(i))));
        expected[task->taskIdentifier()] = bodyFor(std::to_string(i));
        task->resume();
    }
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return recorder->completions.load() == kTasks; }, 60));
    queue->waitUntilAllOperationsAreFinished();

    EXPECT_FALSE(recorder->overlapped.load());
    auto seen = recorder->seen();
    ASSERT_EQ(seen.size(), expected.size());
    for (const auto& [id, body] : expected) {
        SCOPED_TRACE("task " + std::to_string(id));
        EXPECT_EQ(seen[id].events, (std::vector<std::string>{"response", "data", "complete"}));
        EXPECT_EQ(seen[id].body.size(), body.size());
        EXPECT_TRUE(seen[id].body == body);
    }
    session->finishTasksAndInvalidate();
}

}  // namespace
