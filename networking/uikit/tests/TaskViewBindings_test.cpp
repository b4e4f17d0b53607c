#include <networking_uikit/TaskViewBindings.h>

#include <gtest/gtest.h>

#include <networking/NKNetworkingNotifications.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSStringEncoding.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLSession.h>

#include <vector>

#include "ImageServer.h"

namespace {

bool waitFor(const std::function<bool()>& condition) { return spinMainRunLoopUntil(condition, 10); }
void drainMain() { EXPECT_TRUE(nkimage::drainMainQueue()); }

class TaskBindingTest : public ::testing::Test {
protected:
    void TearDown() override {
        session->invalidateAndCancel();
        // Held transfers end on the loading thread: wait for them, so none is cut off at exit.
        for (auto& task : running)
            EXPECT_TRUE(waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
    }
    // A task held open by the server while the test looks at it.
    NSURLSessionDataTaskPtr runningTask(const std::string& name) {
        auto task = session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.held(name))));
        task->resume();
        running.push_back(task);
        return task;
    }
    NSURLSessionDataTaskPtr idleTask() {
        return session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.image("idle"))));
    }
    static void post(const char* name, const NSURLSessionTaskPtr& task) {
        NSNotificationCenter::defaultCenter()->postNotificationName(name, Value(task));
        drainMain();
    }

    nkimage::ImageServer server;
    std::vector<NSURLSessionDataTaskPtr> running;
    NSURLSessionPtr session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
};

TEST_F(TaskBindingTest, IndicatorFollowsItsTaskOnly) {
    auto indicator = std::make_shared<UIActivityIndicatorView>();
    auto task = runningTask("ind");
    setAnimatingWithStateOfTask(indicator, task);
    EXPECT_TRUE(indicator->isAnimating());
    post(NKNetworkingTaskDidSuspendNotification, task);
    EXPECT_FALSE(indicator->isAnimating());
    post(NKNetworkingTaskDidResumeNotification, task);
    EXPECT_TRUE(indicator->isAnimating());
    post(NKNetworkingTaskDidCompleteNotification, idleTask());  // another task's news
    EXPECT_TRUE(indicator->isAnimating());

    // Bound to a suspended task: stops at once, starts when that task resumes.
    auto suspended = idleTask();
    setAnimatingWithStateOfTask(indicator, suspended);
    EXPECT_FALSE(indicator->isAnimating());
    post(NKNetworkingTaskDidResumeNotification, task);  // the earlier task no longer counts
    EXPECT_FALSE(indicator->isAnimating());
    post(NKNetworkingTaskDidResumeNotification, suspended);
    EXPECT_TRUE(indicator->isAnimating());

    // Bound to nothing: only the registrations go.
    setAnimatingWithStateOfTask(indicator, nullptr);
    post(NKNetworkingTaskDidCompleteNotification, suspended);
    EXPECT_TRUE(indicator->isAnimating());
    server.release("ind");
}

TEST_F(TaskBindingTest, RefreshControlEndsForATaskThatIsNotRunningAndStaysEnded) {
    auto control = std::make_shared<UIRefreshControl>();
    auto task = runningTask("ref");
    setRefreshingWithStateOfTask(control, task);
    EXPECT_TRUE(control->isRefreshing());
    post(NKNetworkingTaskDidSuspendNotification, task);
    EXPECT_FALSE(control->isRefreshing());
    post(NKNetworkingTaskDidResumeNotification, task);
    EXPECT_TRUE(control->isRefreshing());

    auto suspended = idleTask();
    setRefreshingWithStateOfTask(control, suspended);
    EXPECT_FALSE(control->isRefreshing());
    post(NKNetworkingTaskDidResumeNotification, suspended);
    EXPECT_FALSE(control->isRefreshing());
    post(NKNetworkingTaskDidResumeNotification, task);
    EXPECT_FALSE(control->isRefreshing());
    server.release("ref");
}

TEST_F(TaskBindingTest, ProgressFollowsReceivedBytesOfKnownSizeOnly) {
    // 4,000 bytes announced; the first 1,000 arrive, the rest once released.
    server.routes().Get("/quarter", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(4000, "application/octet-stream", [this](size_t offset, size_t, httplib::DataSink& sink) {
            std::string chunk(1000, 'x');
            if (offset >= 1000) server.waitAtGate(10);
            sink.write(chunk.data(), chunk.size());
            return true;
        });
    });
    server.routes().Get("/unknown", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream", [](size_t offset, httplib::DataSink& sink) {
            if (offset >= 3000) {
                sink.done();
                return true;
            }
            std::string chunk(1000, 'y');
            sink.write(chunk.data(), chunk.size());
            return true;
        });
    });
    auto view = std::make_shared<UIProgressView>();
    auto task = session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/quarter"))));
    setProgressWithDownloadProgressOfTask(view, task, true);
    EXPECT_TRUE(nk_downloadProgressAnimated(*view));
    EXPECT_FALSE(nk_uploadProgressAnimated(*view));
    task->resume();
    ASSERT_TRUE(waitFor([&] { return view->progress() > 0; }));
    EXPECT_FLOAT_EQ(view->progress(), 0.25f);
    EXPECT_TRUE(view->lastChangeAnimated());
    server.openGate();
    ASSERT_TRUE(waitFor([&] { return view->progress() == 1.0f; }));

    auto unknown = std::make_shared<UIProgressView>();
    auto chunked = session->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/unknown"))));
    setProgressWithDownloadProgressOfTask(unknown, chunked, false);
    chunked->resume();
    ASSERT_TRUE(waitFor([&] { return chunked->state() == NSURLSessionTaskStateCompleted; }));
    drainMain();
    EXPECT_EQ(chunked->countOfBytesReceived(), 3000);
    EXPECT_EQ(unknown->progress(), 0.0f);

    // A completed task changes nothing, not even the flag.
    setProgressWithDownloadProgressOfTask(unknown, chunked, true);
    EXPECT_FALSE(nk_downloadProgressAnimated(*unknown));
}

TEST_F(TaskBindingTest, UploadProgressReachesTheWholeBody) {
    server.routes().Post("/upload", [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
    auto view = std::make_shared<UIProgressView>();
    auto request = std::make_shared<NSMutableURLRequest>(NSURL::URLWithString(server.url("/upload")));
    request->setHTTPMethod("POST");
    auto task = session->uploadTaskWithRequest(request, Value::Data(4000, 'z'));
    setProgressWithUploadProgressOfTask(view, task, false);
    task->resume();
    ASSERT_TRUE(waitFor([&] { return view->progress() == 1.0f; }));
    EXPECT_FALSE(view->lastChangeAnimated());
}

class RecordingDelegate : public WKNavigationDelegate {
public:
    void webViewDidStartProvisionalNavigation(WKWebView&, WKNavigation* n) override { started.push_back(n); }
    void webViewDidFinishNavigation(WKWebView&, WKNavigation* n) override { finished.push_back(n); }
    std::vector<WKNavigation*> started, finished;
};

TEST_F(TaskBindingTest, HtmlLoadsDecodeWithTheResponseCharset) {
    struct Case {
        const char* charset;  // "" = none named
        std::string body;
        std::string text;      // as the success callback receives it
        std::string shownBody; // the rewritten page, encoded back
    } cases[] = {
        {"windows-1252", "caf\xE9 \x80", "caf\u00e9 \u20ac", "<p>caf\xE9 \x80</p>"},
        {"Shift_JIS", "\x93\xFA\x96\x7B", "\u65e5\u672c", "<p>\x93\xFA\x96\x7B</p>"},
        {"KOI8-R", "\xF0\xD2\xC9", "\u041f\u0440\u0438", "<p>\xF0\xD2\xC9</p>"},
        {"utf-8", "ok \xFF", "ok \uFFFD", "<p>ok \xEF\xBF\xBD</p>"},
        {"bogus", "caf\xC3\xA9", "caf\u00e9", "<p>caf\xC3\xA9</p>"},
        {"", "plain", "plain", "<p>plain</p>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.charset);
        server.setHTML(c.body);
        auto webView = std::make_shared<WKWebView>();
        auto delegate = std::make_shared<RecordingDelegate>();
        webView->setNavigationDelegate(delegate);
        auto navigation = std::make_shared<WKNavigation>();
        std::string url = server.url("/html") + (*c.charset ? std::string("?charset=") + c.charset : "");
        std::string received;
        bool failed = false;
        NSProgressPtr progress;
        loadRequest(webView, NSURLRequest::requestWithURL(NSURL::URLWithString(url)), navigation, &progress,
                    [&](const NSHTTPURLResponsePtr&, const std::string& html) {
                        received = html;
                        return "<p>" + html + "</p>";
                    },
                    [&](const NSErrorPtr&) { failed = true; });
        EXPECT_TRUE(progress);
        EXPECT_EQ(delegate->started, std::vector<WKNavigation*>{navigation.get()});
        ASSERT_TRUE(waitFor([&] {
            return std::find(delegate->finished.begin(), delegate->finished.end(), navigation.get()) != delegate->finished.end();
        }));
        EXPECT_FALSE(failed);
        EXPECT_EQ(received, c.text);
        EXPECT_EQ(webView->documentData(), Value::Data(c.shownBody.begin(), c.shownBody.end()));
        EXPECT_EQ(webView->URL()->absoluteString(), url);
    }
}

TEST_F(TaskBindingTest, ASecondLoadCancelsTheFirstAndNoDataShowsAnEmptyDocument) {
    server.setHTML("<html>second</html>");
    auto webView = std::make_shared<WKWebView>();
    auto delegate = std::make_shared<RecordingDelegate>();
    webView->setNavigationDelegate(delegate);
    NSErrorPtr firstError;
    bool secondDone = false;
    loadRequest(webView, NSURLRequest::requestWithURL(NSURL::URLWithString(server.held("page"))),
                std::make_shared<WKNavigation>(), "text/html", "utf-8", nullptr,
                [](const NSHTTPURLResponsePtr&, const Value::Data& d) { return std::optional<Value::Data>(d); },
                [&](const NSErrorPtr& e) { firstError = e; });
    auto firstTask = nk_URLSessionTask(*webView);
    auto second = std::make_shared<WKNavigation>();
    loadRequest(webView, NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/html"))), second, "text/html",
                "utf-8", nullptr,
                [&](const NSHTTPURLResponsePtr&, const Value::Data&) {
                    secondDone = true;
                    return std::optional<Value::Data>();  // no data: an empty document
                },
                [](const NSErrorPtr&) { ADD_FAILURE() << "second load failed"; });
    EXPECT_NE(nk_URLSessionTask(*webView), firstTask);
    ASSERT_TRUE(waitFor([&] {
        return firstError && secondDone &&
               std::find(delegate->finished.begin(), delegate->finished.end(), second.get()) != delegate->finished.end();
    }));
    EXPECT_EQ(firstError->code(), NSURLErrorCancelled);
    EXPECT_TRUE(webView->documentData().empty());
    EXPECT_EQ(webView->MIMEType(), "text/html");
}

TEST_F(TaskBindingTest, WebViewSlotsFallBackToSharedDefaults) {
    auto a = std::make_shared<WKWebView>(), b = std::make_shared<WKWebView>();
    EXPECT_EQ(nk_sessionManager(*a), nk_sessionManager(*b));
    EXPECT_EQ(nk_responseSerializer(*a), nk_responseSerializer(*b));
    auto own = NKHTTPSessionManager::manager();
    nk_setSessionManager(*a, own);
    EXPECT_EQ(nk_sessionManager(*a), own);
    EXPECT_NE(nk_sessionManager(*b), own);
    own->invalidateSessionCancelingTasks(true, false);
}

}  // namespace
