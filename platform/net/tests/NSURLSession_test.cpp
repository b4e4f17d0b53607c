#include <gtest/gtest.h>

#include <platform_dispatch/NSOperationQueue.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLSession.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include "LoopbackServer.h"
#include "URLSessionRecorder.h"

#include <atomic>

namespace {

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string text(const std::optional<std::vector<uint8_t>>& d) { return d ? std::string(d->begin(), d->end()) : "<none>"; }

// One server for the fixture, with the routes the tests use.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& r = server.routes();
        auto echo = [](const httplib::Request& req, httplib::Response& res) {
            res.set_header("X-Method", req.method);
            res.set_header("X-Echo", req.get_header_value("X-Test"));
            res.set_header("X-Extra", req.get_header_value("X-Extra"));
            res.set_content(req.method + ":" + req.body, "text/plain; charset=utf-8");
        };
        r.Get("/echo", echo);
        r.Post("/echo", echo);
        r.Put("/echo", echo);
        r.Patch("/echo", echo);
        r.Delete("/echo", echo);
        r.Options("/echo", echo);
        r.Get("/text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(60, 'x'), "text/plain");
        });
        r.Get("/redirect", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/text", 302); });
        r.Post("/see-other", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/echo", 303); });
        r.Get("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop", 302); });
        r.Get("/cacheable", [this](const httplib::Request&, httplib::Response& res) {
            res.set_header("Cache-Control", "max-age=60");
            res.set_content("hit " + std::to_string(++hits), "text/plain");
        });
        r.Get("/cacheable-large", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Cache-Control", "max-age=60");
            res.set_content(std::string(100 * 1024, 'L'), "text/plain");
        });
        r.Get("/no-store", [this](const httplib::Request&, httplib::Response& res) {
            res.set_header("Cache-Control", "no-store");
            res.set_content("hit " + std::to_string(++hits), "text/plain");
        });
        r.Get("/drop", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "text/plain", [](size_t, size_t, httplib::DataSink& sink) {
                sink.write(std::string(100, 'd').data(), 100);
                return false;  // the connection closes mid-body
            });
        });
        r.Get("/hang", [this](const httplib::Request&, httplib::Response& res) {
            server.waitAtGate(20);
            res.set_content("late", "text/plain");
        });
        server.start();
        cache = NSURLCache::create(1024 * 1024, 0, std::nullopt);
    }

    NSURLSessionConfigurationPtr config() {
        auto c = NSURLSessionConfiguration::defaultSessionConfiguration();
        c->setURLCache(cache);
        return c;
    }

    NSURLSessionPtr delegateSession(std::shared_ptr<URLSessionRecorder> recorder, NSURLSessionConfigurationPtr c = nullptr) {
        auto session = NSURLSession::sessionWithConfiguration(c ? c : config(), recorder, nullptr);
        recorder->expectedQueue = session->delegateQueue();
        return session;
    }

    NSMutableURLRequestPtr request(const std::string& path) { return NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url(path))); }

    struct Outcome {
        std::atomic<bool> done{false};
        std::optional<std::vector<uint8_t>> data;
        NSURLResponsePtr response;
        NSErrorPtr error;
        std::atomic<int> calls{0};
    };
    // Runs a data task with a completion handler and waits for it.
    std::shared_ptr<Outcome> fetch(const NSURLSessionPtr& session, NSURLRequestPtr req, double seconds = 10) {
        auto out = std::make_shared<Outcome>();
        auto task = session->dataTaskWithRequest(req, [out](std::optional<std::vector<uint8_t>> d, NSURLResponsePtr r, NSErrorPtr e) {
            out->data = std::move(d);
            out->response = r;
            out->error = e;
            out->calls++;
            out->done = true;
        });
        task->resume();
        EXPECT_TRUE(spinMainRunLoopUntil([&] { return out->done.load(); }, seconds));
        return out;
    }

    LoopbackServer server;
    NSURLCachePtr cache;
    std::atomic<int> hits{0};
};

TEST_F(SessionTest, MethodsReachTheServerWithTheirBodies) {
    struct Case {
        const char* method;
        const char* body;
        const char* expected;
    };
    const Case cases[] = {
        {"GET", nullptr, "GET:"},        {"POST", "a=1", "POST:a=1"},    {"PUT", "put body", "PUT:put body"},
        {"PATCH", "{}", "PATCH:{}"},     {"DELETE", nullptr, "DELETE:"}, {"OPTIONS", nullptr, "OPTIONS:"},
    };
    auto session = NSURLSession::sessionWithConfiguration(config());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        auto req = request("/echo");
        req->setHTTPMethod(c.method);
        if (c.body) req->setHTTPBody(bytes(c.body));
        auto out = fetch(session, req);
        ASSERT_EQ(out->error, nullptr) << out->error->description();
        EXPECT_EQ(text(out->data), c.expected);
        auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(out->response);
        ASSERT_NE(http, nullptr);
        EXPECT_EQ(http->statusCode(), 200);
        EXPECT_EQ(http->valueForHTTPHeaderField("x-method"), c.method);
        EXPECT_EQ(http->MIMEType(), "text/plain");
        EXPECT_EQ(http->textEncodingName(), "utf-8");
    }
}

TEST_F(SessionTest, HeadHasAResponseButNoBody) {
    auto session = NSURLSession::sessionWithConfiguration(config());
    auto req = request("/text");
    req->setHTTPMethod("HEAD");
    auto out = fetch(session, req);
    ASSERT_EQ(out->error, nullptr);
    EXPECT_TRUE(out->data && out->data->empty());
    EXPECT_EQ(std::dynamic_pointer_cast<NSHTTPURLResponse>(out->response)->statusCode(), 200);
}

TEST_F(SessionTest, ConfigurationHeadersGoOutUnlessTheRequestSetsThem) {
    auto c = config();
    c->setHTTPAdditionalHeaders({{"X-Extra", "from-config"}, {"X-Test", "config"}});
    auto session = NSURLSession::sessionWithConfiguration(c);
    auto req = request("/echo");
    req->setValue("from-request", "x-test");
    auto out = fetch(session, req);
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(out->response);
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->valueForHTTPHeaderField("X-Echo"), "from-request");
    EXPECT_EQ(http->valueForHTTPHeaderField("X-Extra"), "from-config");
}

TEST_F(SessionTest, TasksHaveIncreasingIdentifiersAndMoveThroughTheirStates) {
    auto session = NSURLSession::sessionWithConfiguration(config());
    auto plain = request("/text");
    plain->setValue("identity", "Accept-Encoding");  // a coded body has no known decoded length
    auto first = session->dataTaskWithRequest(plain);
    auto second = session->dataTaskWithURL(NSURL::URLWithString(server.url("/text")));
    EXPECT_LT(first->taskIdentifier(), second->taskIdentifier());
    EXPECT_EQ(first->state(), NSURLSessionTaskStateSuspended);
    EXPECT_EQ(first->countOfBytesExpectedToReceive(), NSURLSessionTransferSizeUnknown);
    EXPECT_EQ(first->originalRequest()->URL()->absoluteString(), server.url("/text"));
    first->setTaskDescription("mine");
    EXPECT_EQ(first->taskDescription(), "mine");
    first->resume();
    EXPECT_EQ(first->state(), NSURLSessionTaskStateRunning);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return first->state() == NSURLSessionTaskStateCompleted; }, 10));
    EXPECT_EQ(first->countOfBytesReceived(), 60);
    EXPECT_EQ(first->countOfBytesExpectedToReceive(), 60);
    EXPECT_EQ(first->error(), nullptr);
    second->cancel();
}

TEST_F(SessionTest, DelegateEventsArriveInOrderOnTheDelegateQueue) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto session = delegateSession(recorder);
    auto req = request("/echo");
    req->setHTTPMethod("POST");
    req->setHTTPBody(bytes("hello"));
    session->dataTaskWithRequest(req)->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    auto events = recorder->events();
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(events.front(), "sent");
    auto at = [&](const std::string& e) { return std::find(events.begin(), events.end(), e) - events.begin(); };
    EXPECT_LT(at("sent"), at("response"));
    EXPECT_LT(at("response"), at("data"));
    EXPECT_LT(at("data"), at("metrics"));
    EXPECT_EQ(events.back(), "complete");
    EXPECT_EQ(events[events.size() - 2], "metrics");
    EXPECT_EQ(recorder->bodyText(), "POST:hello");
    EXPECT_EQ(recorder->sentTotals.back(), 5);
    EXPECT_EQ(recorder->expectedToSend.back(), 5);
    EXPECT_FALSE(recorder->wrongQueue);
    EXPECT_EQ(recorder->error, nullptr);
}

TEST_F(SessionTest, CompletionHandlerTasksSkipTheDataAndCompletionEvents) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto session = delegateSession(recorder);
    std::atomic<bool> onQueue{false};
    auto out = std::make_shared<Outcome>();
    session
        ->dataTaskWithRequest(request("/text"),
                              [&, out](std::optional<std::vector<uint8_t>> d, NSURLResponsePtr, NSErrorPtr) {
                                  onQueue = NSOperationQueue::currentQueue() == session->delegateQueue();
                                  out->data = d;
                                  out->done = true;
                              })
        ->resume();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return out->done.load(); }, 10));
    EXPECT_TRUE(onQueue);
    EXPECT_EQ(out->data->size(), 60u);
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return recorder->count("metrics") == 1; }, 5));
    EXPECT_EQ(recorder->count("data"), 0u);
    EXPECT_EQ(recorder->count("response"), 0u);
    EXPECT_EQ(recorder->count("complete"), 0u);
}

TEST_F(SessionTest, RedirectsAreFollowedChangedOrRefused) {
    {
        SCOPED_TRACE("followed without a delegate");
        auto out = fetch(NSURLSession::sessionWithConfiguration(config()), request("/redirect"));
        EXPECT_EQ(text(out->data), std::string(60, 'x'));
        EXPECT_EQ(out->response->URL()->absoluteString(), server.url("/text"));
    }
    {
        SCOPED_TRACE("changed by the delegate");
        auto recorder = std::make_shared<URLSessionRecorder>();
        recorder->onRedirect = [&](const NSHTTPURLResponsePtr& r, const NSURLRequestPtr& next) -> NSURLRequestPtr {
            EXPECT_EQ(r->statusCode(), 302);
            EXPECT_EQ(next->URL()->absoluteString(), server.url("/text"));
            return NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/echo")));
        };
        auto session = delegateSession(recorder);
        auto task = session->dataTaskWithRequest(request("/redirect"));
        task->resume();
        ASSERT_TRUE(recorder->waitForCompletion());
        EXPECT_EQ(recorder->bodyText(), "GET:");
        EXPECT_EQ(task->currentRequest()->URL()->absoluteString(), server.url("/echo"));
        EXPECT_EQ(task->originalRequest()->URL()->absoluteString(), server.url("/redirect"));
        EXPECT_EQ(recorder->metrics->transactionMetrics.size(), 2u);
        EXPECT_EQ(recorder->metrics->redirectCount, 1);
    }
    {
        SCOPED_TRACE("refused by the delegate");
        auto recorder = std::make_shared<URLSessionRecorder>();
        recorder->onRedirect = [](const NSHTTPURLResponsePtr&, const NSURLRequestPtr&) { return nullptr; };
        auto session = delegateSession(recorder);
        session->dataTaskWithRequest(request("/redirect"))->resume();
        ASSERT_TRUE(recorder->waitForCompletion());
        EXPECT_EQ(recorder->error, nullptr);
        EXPECT_EQ(std::dynamic_pointer_cast<NSHTTPURLResponse>(recorder->response)->statusCode(), 302);
        EXPECT_EQ(recorder->count("response"), 1u);
    }
}

TEST_F(SessionTest, SeeOtherTurnsAPostIntoAGet) {
    auto req = request("/see-other");
    req->setHTTPMethod("POST");
    req->setHTTPBody(bytes("payload"));
    auto out = fetch(NSURLSession::sessionWithConfiguration(config()), req);
    EXPECT_EQ(text(out->data), "GET:");
}

TEST_F(SessionTest, EndlessRedirectsEndWithTooManyRedirects) {
    auto out = fetch(NSURLSession::sessionWithConfiguration(config()), request("/loop"));
    ASSERT_NE(out->error, nullptr);
    EXPECT_EQ(out->error->code(), NSURLErrorHTTPTooManyRedirects);
}

TEST_F(SessionTest, ResponseDispositionCancelEndsTheTaskCancelled) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    recorder->onResponse = [](const NSURLResponsePtr&) { return NSURLSessionResponseCancel; };
    auto session = delegateSession(recorder);
    session->dataTaskWithRequest(request("/text"))->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    ASSERT_NE(recorder->error, nullptr);
    EXPECT_EQ(recorder->error->code(), NSURLErrorCancelled);
    EXPECT_EQ(recorder->count("data"), 0u);
}

TEST_F(SessionTest, ResponseDispositionBecomeDownloadHandsTheBodyToADownloadTask) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    recorder->onResponse = [](const NSURLResponsePtr&) { return NSURLSessionResponseBecomeDownload; };
    auto session = delegateSession(recorder);
    auto task = session->dataTaskWithRequest(request("/text"));
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    EXPECT_EQ(recorder->error, nullptr);
    ASSERT_NE(recorder->becameDownload, nullptr);
    EXPECT_NE(recorder->becameDownload->taskIdentifier(), task->taskIdentifier());
    EXPECT_EQ(recorder->downloadedFile, std::vector<uint8_t>(60, 'x'));
    auto events = recorder->events();
    auto at = [&](const std::string& e) { return std::find(events.begin(), events.end(), e) - events.begin(); };
    EXPECT_LT(at("response"), at("becomeDownload"));
    EXPECT_LT(at("becomeDownload"), at("finishDownload"));
    EXPECT_EQ(recorder->count("complete"), 1u);  // only the download task completes
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(SessionTest, CancelIsDeliveredOnceWithTheCancelledError) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto session = delegateSession(recorder);
    auto task = session->dataTaskWithRequest(request("/hang"));
    task->resume();
    task->cancel();
    task->cancel();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCanceling);
    ASSERT_TRUE(recorder->waitForCompletion());
    server.openGate();
    ASSERT_NE(recorder->error, nullptr);
    EXPECT_EQ(recorder->error->code(), NSURLErrorCancelled);
    EXPECT_EQ(recorder->error->domain(), NSURLErrorDomain);
    EXPECT_EQ(recorder->error->userInfo().at(Value(NSURLErrorFailingURLStringErrorKey)).stringValue(), server.url("/hang"));
    EXPECT_EQ(recorder->error->localizedDescription(), "cancelled");
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
    // Nothing more arrives.
    session->finishTasksAndInvalidate();
    ASSERT_TRUE(recorder->waitFor("invalid"));
    EXPECT_EQ(recorder->count("complete"), 1u);
}

TEST_F(SessionTest, CancellingATaskNeverResumedStillCompletesIt) {
    auto session = NSURLSession::sessionWithConfiguration(config());
    auto out = std::make_shared<Outcome>();
    auto task = session->dataTaskWithRequest(request("/text"), [out](std::optional<std::vector<uint8_t>> d, NSURLResponsePtr, NSErrorPtr e) {
        out->data = d;
        out->error = e;
        out->calls++;
        out->done = true;
    });
    task->cancel();
    // Nothing of it was on the loading thread: it completes at once, its handler still on the
    // delegate queue.
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return out->done.load(); }, 5));
    EXPECT_FALSE(out->data);
    EXPECT_EQ(out->error->code(), NSURLErrorCancelled);
    task->resume();  // a completed task stays completed
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(SessionTest, TransportFailuresMapToTheURLErrorCodes) {
    // A port that refuses: bound once, then released.
    int closedPort;
    {
        LoopbackServer gone;
        gone.start();
        closedPort = gone.port();
    }
    struct Case {
        std::string url;
        int64_t code;
    };
    const Case cases[] = {
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/", NSURLErrorCannotConnectToHost},
        {"http://no-such-host.invalid/", NSURLErrorCannotFindHost},
        {"ftp://127.0.0.1/file", NSURLErrorUnsupportedURL},
        {server.url("/drop"), NSURLErrorNetworkConnectionLost},
    };
    auto session = NSURLSession::sessionWithConfiguration(config());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        auto out = fetch(session, NSURLRequest::requestWithURL(NSURL::URLWithString(c.url)), 20);
        ASSERT_NE(out->error, nullptr);
        EXPECT_EQ(out->error->code(), c.code);
        EXPECT_FALSE(out->data);
        EXPECT_EQ(out->error->userInfo().at(Value(NSURLErrorFailingURLStringErrorKey)).stringValue(), c.url);
    }
}

TEST_F(SessionTest, AServerThatNeverAnswersTimesOutWithinTheRequestTimeout) {
    auto c = config();
    c->setTimeoutIntervalForRequest(0.5);
    auto session = NSURLSession::sessionWithConfiguration(c);
    auto start = std::chrono::steady_clock::now();
    auto out = fetch(session, request("/hang"), 10);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    server.openGate();
    ASSERT_NE(out->error, nullptr);
    EXPECT_EQ(out->error->code(), NSURLErrorTimedOut);
    EXPECT_GE(took, 0.45);
    EXPECT_LT(took, 3.0);
}

TEST_F(SessionTest, CacheAnswersFreshResponsesAndHonoursThePolicies) {
    auto session = NSURLSession::sessionWithConfiguration(config());
    EXPECT_EQ(text(fetch(session, request("/cacheable"))->data), "hit 1");
    EXPECT_EQ(text(fetch(session, request("/cacheable"))->data), "hit 1");  // max-age: from the cache
    auto reload = request("/cacheable");
    reload->setCachePolicy(NSURLRequestReloadIgnoringLocalCacheData);
    EXPECT_EQ(text(fetch(session, reload)->data), "hit 2");
    EXPECT_EQ(text(fetch(session, request("/cacheable"))->data), "hit 2");  // the reload was stored

    EXPECT_EQ(text(fetch(session, request("/no-store"))->data), "hit 3");
    EXPECT_EQ(text(fetch(session, request("/no-store"))->data), "hit 4");
    auto elseLoad = request("/no-store");
    elseLoad->setCachePolicy(NSURLRequestReturnCacheDataElseLoad);
    EXPECT_EQ(text(fetch(session, elseLoad)->data), "hit 5");

    // Cached text without freshness is still used when the request asks for cached data.
    auto dontLoad = request("/text");
    dontLoad->setCachePolicy(NSURLRequestReturnCacheDataDontLoad);
    auto missing = fetch(session, dontLoad);
    ASSERT_NE(missing->error, nullptr);
    EXPECT_EQ(missing->error->code(), NSURLErrorResourceUnavailable);
    fetch(session, request("/text"));
    EXPECT_EQ(text(fetch(session, dontLoad)->data), std::string(60, 'x'));
}

TEST_F(SessionTest, WillCacheResponseMayDropTheEntry) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    recorder->onWillCache = [](const NSCachedURLResponsePtr& proposed) {
        EXPECT_EQ(std::string(proposed->data().begin(), proposed->data().end()), "hit 1");
        return nullptr;
    };
    auto session = delegateSession(recorder);
    session->dataTaskWithRequest(request("/cacheable"))->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    auto events = recorder->events();
    auto at = [&](const std::string& e) { return std::find(events.begin(), events.end(), e) - events.begin(); };
    EXPECT_LT(at("data"), at("cache"));
    EXPECT_LT(at("cache"), at("complete"));
    EXPECT_EQ(cache->cachedResponseForRequest(*request("/cacheable")), nullptr);
}

// A delegate without a completion handler gets the body in pieces; the cache keeps a response
// whose body fits its capacity (a twentieth of 1 MB here), and one too large is not kept
// while its delegate still gets every byte.
TEST_F(SessionTest, ADelegateTaskBodyIsCachedWhenItFitsAndDeliveredWholeEitherWay) {
    struct Case {
        const char* path;
        std::size_t length;
        bool cached;
    } cases[] = {{"/cacheable", 5, true}, {"/cacheable-large", 100 * 1024, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto recorder = std::make_shared<URLSessionRecorder>();
        recorder->unanswered = {NSURLSessionSelector::dataTaskWillCacheResponse};
        auto session = delegateSession(recorder);
        auto req = request(c.path);
        req->setValue(std::string("identity"), "Accept-Encoding");  // the announced length is the body's
        session->dataTaskWithRequest(req)->resume();
        ASSERT_TRUE(recorder->waitForCompletion());
        EXPECT_EQ(recorder->body().size(), c.length);
        auto cached = cache->cachedResponseForRequest(*req);
        EXPECT_EQ(cached != nullptr, c.cached);
        if (cached) EXPECT_EQ(cached->data(), recorder->body());
    }
}

TEST_F(SessionTest, MetricsHaveOrderedPhasesAndReuseTheConnection) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto session = delegateSession(recorder);
    session->dataTaskWithRequest(request("/text"))->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    auto metrics = recorder->metrics;
    ASSERT_NE(metrics, nullptr);
    ASSERT_EQ(metrics->transactionMetrics.size(), 1u);
    auto& t = *metrics->transactionMetrics[0];
    EXPECT_EQ(t.networkProtocolName, "http/1.1");
    EXPECT_FALSE(t.isReusedConnection);
    EXPECT_EQ(t.resourceFetchType, NSURLSessionTaskMetricsResourceFetchTypeNetworkLoad);
    std::vector<std::optional<NSDate>> phases = {t.fetchStartDate,   t.domainLookupStartDate, t.domainLookupEndDate,
                                                 t.connectStartDate, t.connectEndDate,        t.requestStartDate,
                                                 t.requestEndDate,   t.responseStartDate,     t.responseEndDate};
    for (size_t i = 0; i < phases.size(); ++i) {
        ASSERT_TRUE(phases[i].has_value()) << "phase " << i;
        if (i > 0) {
            EXPECT_LE(phases[i - 1]->timeIntervalSinceReferenceDate(), phases[i]->timeIntervalSinceReferenceDate()) << i;
        }
    }
    EXPECT_FALSE(t.secureConnectionStartDate);
    EXPECT_GT(t.countOfResponseBodyBytesReceived, 0);  // on the wire, possibly compressed
    EXPECT_GT(t.countOfResponseHeaderBytesReceived, 0);
    EXPECT_EQ(t.remoteAddress, "127.0.0.1");
    EXPECT_EQ(t.remotePort, server.port());

    recorder->completions_ = 0;
    session->dataTaskWithRequest(request("/text"))->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    auto& second = *recorder->metrics->transactionMetrics[0];
    EXPECT_TRUE(second.isReusedConnection);
    EXPECT_FALSE(second.connectStartDate);
}

TEST_F(SessionTest, GetTasksListsUnfinishedTasksByKind) {
    auto session = NSURLSession::sessionWithConfiguration(config());
    auto data = session->dataTaskWithRequest(request("/text"));
    auto upload = session->uploadTaskWithRequest(request("/echo"), bytes("x"));
    auto download = session->downloadTaskWithRequest(request("/text"));
    std::atomic<bool> done{false};
    size_t counts[3] = {};
    session->getTasksWithCompletionHandler([&](auto d, auto u, auto w) {
        counts[0] = d.size();
        counts[1] = u.size();
        counts[2] = w.size();
        done = true;
    });
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, 5));
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[1], 1u);
    EXPECT_EQ(counts[2], 1u);
    session->invalidateAndCancel();
}

TEST_F(SessionTest, InvalidationWaitsForTasksThenTellsTheDelegateAndRefusesNewTasks) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto session = delegateSession(recorder);
    session->dataTaskWithRequest(request("/text"))->resume();
    session->finishTasksAndInvalidate();
    ASSERT_TRUE(recorder->waitFor("invalid"));
    auto events = recorder->events();
    EXPECT_EQ(events.back(), "invalid");
    EXPECT_EQ(recorder->count("complete"), 1u);
    EXPECT_EQ(session->delegate(), nullptr);
    EXPECT_THROW(session->dataTaskWithRequest(request("/text")), NSException);
}

TEST_F(SessionTest, OptionalEventsAreOnlyCalledWhenTheDelegateAnswersThem) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    recorder->unanswered = {NSURLSessionSelector::dataTaskDidReceiveResponse, NSURLSessionSelector::taskDidFinishCollectingMetrics};
    recorder->onResponse = [](const NSURLResponsePtr&) { return NSURLSessionResponseCancel; };
    auto session = delegateSession(recorder);
    session->dataTaskWithRequest(request("/text"))->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    EXPECT_EQ(recorder->error, nullptr);  // allowed by default, not cancelled
    EXPECT_EQ(recorder->count("response"), 0u);
    EXPECT_EQ(recorder->count("metrics"), 0u);
    EXPECT_EQ(recorder->bodyText(), std::string(60, 'x'));
}

TEST_F(SessionTest, SuspendedTaskHoldsItsLoadUntilResumed) {
    auto recorder = std::make_shared<URLSessionRecorder>();
    auto session = delegateSession(recorder);
    auto task = session->dataTaskWithRequest(request("/text"));
    task->resume();
    task->suspend();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    EXPECT_EQ(recorder->bodyText(), std::string(60, 'x'));
}

}  // namespace

// resume and suspend dispatch through the class's method table, so a hook exchanged in at
// class load sees every task of the process.
class TaskResumeHook : public NSObject {
    NS_CLASS(TaskResumeHook, NSObject)
};

TEST(SessionTaskMethods, ResumeRunsThroughAnExchangeableSlot) {
    static std::atomic<int> hooked{0};
    ObjCClass& taskClass = NSURLSessionTask::classObject();
    auto hook = makeInstanceImp<void()>([](NSObject& self) {
        hooked++;
        invokeMethod<void()>(self, "test_resume");
    });
    ASSERT_TRUE(taskClass.addMethod("test_resume", hook, "v16@0:8"));
    ASSERT_TRUE(taskClass.exchangeInstanceMethods("resume", "test_resume"));
    // A second installation finds its method already there and changes nothing.
    EXPECT_FALSE(taskClass.addMethod("test_resume", hook, "v16@0:8"));

    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    // Without a URL the load fails at once on the loading thread, so the task may already be
    // completed when resume returns: what shows the original resume ran is its completion.
    auto completed = std::make_shared<std::atomic<bool>>(false);
    auto task = session->dataTaskWithURL(nullptr, [completed](auto, auto, auto) { *completed = true; });  // subclasses inherit the slot
    task->resume();
    EXPECT_EQ(hooked.load(), 1);
    EXPECT_NE(task->state(), NSURLSessionTaskStateSuspended);
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return completed->load(); }, 30));
    taskClass.exchangeInstanceMethods("resume", "test_resume");
    session->finishTasksAndInvalidate();
}

TEST(SessionFactories, SessionAndTaskFactoriesAreRegisteredMethods) {
    ObjCClass& cls = NSURLSession::classObject();
    EXPECT_TRUE(cls.respondsToSelector("sessionWithConfiguration:delegate:delegateQueue:"));
    for (const char* selector : {"dataTaskWithRequest:", "dataTaskWithRequest:completionHandler:", "dataTaskWithURL:",
                                 "uploadTaskWithRequest:fromData:", "uploadTaskWithRequest:fromFile:",
                                 "uploadTaskWithStreamedRequest:", "downloadTaskWithRequest:", "downloadTaskWithResumeData:"})
        EXPECT_TRUE(cls.instancesRespondToSelector(selector)) << selector;
    EXPECT_NE(NSURLSession::sharedSession(), nullptr);
    EXPECT_EQ(NSURLSession::sharedSession(), NSURLSession::sharedSession());
}

TEST_F(SessionTest, NamesUnderTheInvalidDomainFailWithoutALookup) {
    for (const char* url : {"http://collector.invalid/report", "https://A.B.INVALID./x", "http://invalid:8080/"}) {
        SCOPED_TRACE(url);
        auto recorder = std::make_shared<URLSessionRecorder>();
        auto session = delegateSession(recorder);
        session->dataTaskWithURL(NSURL::URLWithString(url))->resume();
        ASSERT_TRUE(recorder->waitForCompletion());
        ASSERT_NE(recorder->error, nullptr);
        EXPECT_EQ(recorder->error->code(), NSURLErrorCannotFindHost);
        ASSERT_TRUE(recorder->metrics);
        EXPECT_TRUE(recorder->metrics->transactionMetrics.empty());  // nothing was looked up or sent
        session->finishTasksAndInvalidate();
    }
    // A redirect to such a name ends the same way.
    auto recorder = std::make_shared<URLSessionRecorder>();
    recorder->onRedirect = [](const NSHTTPURLResponsePtr&, const NSURLRequestPtr& next) {
        auto changed = next->mutableCopy();
        changed->setURL(NSURL::URLWithString("http://elsewhere.invalid/text"));
        return NSURLRequestPtr(changed);
    };
    auto session = delegateSession(recorder);
    session->dataTaskWithRequest(request("/redirect"))->resume();
    ASSERT_TRUE(recorder->waitForCompletion());
    ASSERT_NE(recorder->error, nullptr);
    EXPECT_EQ(recorder->error->code(), NSURLErrorCannotFindHost);
    session->finishTasksAndInvalidate();
}
