#include <networking/NKHTTPResponseSerializer.h>
#include <networking/NKNetworkingNotifications.h>
#include <networking/NKURLSessionManager.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLProtectionSpace.h>
#include <platform_runtime/NSException.h>

#include "NKSessionTestSupport.h"

namespace {

class URLSessionManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.routes().Get("/hang", [this](const httplib::Request&, httplib::Response& res) {
            server.waitAtGate(10);
            res.set_content("{}", "application/json");
        });
        server.start();
        manager = NKURLSessionManager::manager();
    }
    // The session holds the manager until its invalidation is delivered: waiting for it
    // leaves nothing alive when the process ends after the last test.
    void TearDown() override {
        auto invalid = std::make_shared<std::atomic<bool>>(false);
        manager->setSessionDidBecomeInvalidBlock([invalid](const NSURLSessionPtr&, const NSErrorPtr&) { *invalid = true; });
        manager->invalidateSessionCancelingTasks(true, false);
        EXPECT_TRUE(nktest::waitFor([&] { return invalid->load(); }));
    }

    NSURLRequestPtr request(const std::string& path = "hang") {
        return NSURLRequest::requestWithURL(NSURL::URLWithString(server.url(path)));
    }
    NSURLSessionDataTaskPtr dataTask(NKURLSessionManager::CompletionHandler done = nullptr) {
        return manager->dataTaskWithRequest(request(), nullptr, nullptr, std::move(done));
    }
    static NSURLAuthenticationChallengePtr challenge(const std::string& method) {
        auto space = std::make_shared<NSURLProtectionSpace>("127.0.0.1", 443, std::string("https"), std::nullopt, method);
        return std::make_shared<NSURLAuthenticationChallenge>(space, nullptr, 0, nullptr, nullptr);
    }

    nktest::Server server;
    NKURLSessionManager::Ptr manager;
};

TEST_F(URLSessionManagerTest, UnsetOptionalEventsAreNotHandled) {
    const char* optional[] = {NSURLSessionSelector::didReceiveChallenge, NSURLSessionSelector::taskWillPerformHTTPRedirection,
                              NSURLSessionSelector::dataTaskDidReceiveResponse,
                              NSURLSessionSelector::dataTaskWillCacheResponse,
                              NSURLSessionSelector::didFinishEventsForBackgroundURLSession};
    for (const char* selector : optional) EXPECT_FALSE(manager->respondsToSelector(selector)) << selector;
    const char* handled[] = {NSURLSessionSelector::didBecomeInvalidWithError, NSURLSessionSelector::taskDidReceiveChallenge,
                             NSURLSessionSelector::taskNeedNewBodyStream, NSURLSessionSelector::taskDidSendBodyData,
                             NSURLSessionSelector::taskDidCompleteWithError,
                             NSURLSessionSelector::taskDidFinishCollectingMetrics,
                             NSURLSessionSelector::dataTaskDidBecomeDownloadTask, NSURLSessionSelector::dataTaskDidReceiveData,
                             NSURLSessionSelector::downloadTaskDidFinishDownloadingToURL,
                             NSURLSessionSelector::downloadTaskDidWriteData,
                             NSURLSessionSelector::downloadTaskDidResumeAtOffset};
    for (const char* selector : handled) EXPECT_TRUE(manager->respondsToSelector(selector)) << selector;

    manager->setDataTaskDidReceiveResponseBlock(
        [](const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr&) { return NSURLSessionResponseAllow; });
    EXPECT_TRUE(manager->respondsToSelector(NSURLSessionSelector::dataTaskDidReceiveResponse));
    auto copy = manager->copy();
    EXPECT_FALSE(copy->respondsToSelector(NSURLSessionSelector::dataTaskDidReceiveResponse));
    copy->invalidateSessionCancelingTasks(true, false);  // the session holds its manager until then
}

TEST_F(URLSessionManagerTest, TaskRecordLivesUntilCompletion) {
    std::atomic<bool> done{false};
    NSProgressPtr progressDuringCompletion = std::make_shared<NSProgress>();
    NSErrorPtr error;
    NSURLSessionDataTaskPtr task;
    task = dataTask([&](const NSURLResponsePtr&, const Value&, const NSErrorPtr& e) {
        progressDuringCompletion = manager->uploadProgressForTask(task);
        error = e;
        done = true;
    });
    EXPECT_EQ(task->taskDescription(), manager->taskDescriptionForSessionTasks());
    ASSERT_TRUE(manager->delegateForTask(task));
    EXPECT_EQ(manager->uploadProgressForTask(task)->totalUnitCount(), NSURLSessionTransferSizeUnknown);
    EXPECT_EQ(manager->downloadProgressForTask(task)->totalUnitCount(), NSURLSessionTransferSizeUnknown);
    task->resume();
    task->cancel();
    ASSERT_TRUE(nktest::waitFor([&] { return done.load(); }));
    EXPECT_FALSE(progressDuringCompletion);
    EXPECT_FALSE(manager->delegateForTask(task));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorCancelled);
}

TEST_F(URLSessionManagerTest, ProgressObjectsDriveTheTask) {
    auto task = dataTask();
    NSProgressPtr progress = manager->downloadProgressForTask(task);
    progress->pause();
    progress->resume();  // resumes the (suspended) task
    EXPECT_EQ(task->state(), NSURLSessionTaskStateRunning);
    progress->pause();
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    manager->uploadProgressForTask(task)->cancel();
    EXPECT_GE(task->state(), NSURLSessionTaskStateCanceling);
}

TEST_F(URLSessionManagerTest, UnknownSendTotalTakesTheContentLengthHeader) {
    auto mutableRequest = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url("hang")));
    mutableRequest->setValue(std::string("1024"), "Content-Length");
    auto task = manager->dataTaskWithRequest(mutableRequest, nullptr, nullptr, nullptr);
    int64_t seen = 0;
    manager->setTaskDidSendBodyDataBlock(
        [&](const NSURLSessionPtr&, const NSURLSessionTaskPtr&, int64_t, int64_t, int64_t expected) { seen = expected; });
    manager->taskDidSendBodyData(manager->session(), task, 10, 10, NSURLSessionTransferSizeUnknown);
    EXPECT_EQ(seen, 1024);
    EXPECT_EQ(manager->uploadProgressForTask(task)->totalUnitCount(), task->countOfBytesExpectedToSend());
}

TEST_F(URLSessionManagerTest, ChallengeHandlerAnswers) {
    auto task = dataTask();
    auto session = manager->session();
    auto credential = NSURLCredential::credentialWithUser("u", "p", NSURLCredentialPersistenceNone);
    auto ownError = NSError::errorWithDomain("test", 7);
    struct Case {
        const char* name;
        std::string method;
        Value answer;
        bool completes;
        int64_t disposition;
        bool withCredential;
        int64_t attachedCode;  // 0: nothing attached
    } cases[] = {
        {"disposition 3", NSURLAuthenticationMethodServerTrust, Value(3), true, 3, false, 0},
        {"default on basic", NSURLAuthenticationMethodHTTPBasic, Value(1), true, 1, false, 0},
        {"default on trust evaluates (no trust: refused)", NSURLAuthenticationMethodServerTrust, Value(1), true, 2, false,
         NSURLErrorServerCertificateUntrusted},
        {"credential", NSURLAuthenticationMethodHTTPBasic, Value(credential), true, 0, true, 0},
        {"error", NSURLAuthenticationMethodHTTPBasic, Value(ownError), true, 2, false, 7},
        {"taken over", NSURLAuthenticationMethodHTTPBasic, Value(), false, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NKURLSessionManager::setChallengeErrorForTask(*task, nullptr);
        Value answer = c.answer;
        manager->setAuthenticationChallengeHandler(
            [answer](const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr&,
                     const NSURLSessionDelegate::ChallengeCompletion&) { return answer; });
        bool completed = false;
        int64_t disposition = -1;
        NSURLCredentialPtr given;
        manager->taskDidReceiveChallenge(session, task, challenge(c.method),
                                         [&](NSURLSessionAuthChallengeDisposition d, NSURLCredentialPtr cred) {
                                             completed = true;
                                             disposition = d;
                                             given = cred;
                                         });
        EXPECT_EQ(completed, c.completes);
        if (!c.completes) continue;
        EXPECT_EQ(disposition, c.disposition);
        EXPECT_EQ(given != nullptr, c.withCredential);
        NSErrorPtr attached = NKURLSessionManager::challengeErrorForTask(*task);
        EXPECT_EQ(attached ? attached->code() : 0, c.attachedCode);
    }

    manager->setAuthenticationChallengeHandler(
        [](const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr&,
           const NSURLSessionDelegate::ChallengeCompletion&) { return Value("neither"); });
    try {
        manager->taskDidReceiveChallenge(session, task, challenge(NSURLAuthenticationMethodHTTPBasic),
                                         [](NSURLSessionAuthChallengeDisposition, NSURLCredentialPtr) {});
        FAIL() << "expected an exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "Invalid Return Value");
    }
}

TEST_F(URLSessionManagerTest, TrustErrorNamesTheHost) {
    NSURLPtr url = NSURL::URLWithString("https://api.example.com/v1/items");
    NSErrorPtr error = NKURLSessionManager::serverTrustErrorForServerTrust(nullptr, url);
    EXPECT_EQ(error->domain(), NSURLErrorDomain);
    EXPECT_EQ(error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_NE(error->localizedDescription().find("\u201Capi.example.com\u201D"), std::string::npos);
    EXPECT_EQ(Value(error->userInfo()).objectForKey(Value(NSURLErrorFailingURLStringErrorKey)).stringValue(),
              url->absoluteString());
}

TEST_F(URLSessionManagerTest, DataTaskTurnedDownloadKeepsItsRecord) {
    auto task = dataTask();
    auto record = manager->delegateForTask(task);
    auto download = manager->session()->downloadTaskWithRequest(request());
    manager->dataTaskDidBecomeDownloadTask(manager->session(), task, download);
    EXPECT_EQ(manager->delegateForTask(download), record);
    EXPECT_FALSE(manager->delegateForTask(task));
}

TEST_F(URLSessionManagerTest, TaskListsAnswerTheSessionsTasks) {
    auto data = dataTask();
    auto first = manager->downloadTaskWithRequest(request(), nullptr, nullptr, nullptr);
    auto second = manager->downloadTaskWithRequest(request(), nullptr, nullptr, nullptr);
    auto all = manager->tasks();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], data);
    EXPECT_EQ(manager->dataTasks().size(), 1u);
    EXPECT_EQ(manager->uploadTasks().size(), 0u);
    EXPECT_EQ(manager->downloadTasks().size(), 2u);
    EXPECT_FALSE(manager->tasksForKeyPath("other").has_value());
}

TEST_F(URLSessionManagerTest, CopyHasItsOwnSessionAndNoCallbacks) {
    auto copy = manager->copy();
    EXPECT_NE(copy->session(), manager->session());
    EXPECT_EQ(copy->className(), "NKURLSessionManager");
    EXPECT_DOUBLE_EQ(copy->session()->configuration()->timeoutIntervalForRequest(),
                     manager->session()->configuration()->timeoutIntervalForRequest());
    EXPECT_NE(manager->description().find("session: "), std::string::npos);
    copy->invalidateSessionCancelingTasks(true, false);
}

TEST_F(URLSessionManagerTest, InvalidationIsToldAndResetMakesANewSession) {
    std::atomic<bool> blockCalled{false}, notified{false};
    NSURLSessionPtr first = manager->session();
    manager->setSessionDidBecomeInvalidBlock([&](const NSURLSessionPtr& s, const NSErrorPtr&) { blockCalled = s == first; });
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        NKURLSessionDidInvalidateNotification, Value(first), nullptr, [&](const NSNotification&) { notified = true; });
    manager->invalidateSessionCancelingTasks(false, true);
    ASSERT_TRUE(nktest::waitFor([&] { return blockCalled.load() && notified.load(); }));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_NE(manager->session(), first);
    EXPECT_TRUE(dataTask());  // the new session makes tasks again
    // The block refers to this test's locals: it must not hear the tear-down's invalidation.
    manager->setSessionDidBecomeInvalidBlock(nullptr);
}

// The body arrives in pieces; the record hands all of it to the serializer and the notification.
TEST_F(URLSessionManagerTest, ChunksMakeOneBody) {
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    for (std::vector<size_t> chunks : {std::vector<size_t>{10, 20, 30}, std::vector<size_t>{}}) {
        std::atomic<bool> done{false}, notified{false};
        Value object, noted;
        auto task = dataTask([&](const NSURLResponsePtr&, const Value& o, const NSErrorPtr&) {
            object = o;
            done = true;
        });
        auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
            NKNetworkingTaskDidCompleteNotification, Value(task), nullptr, [&](const NSNotification& n) {
                noted = n.userInfo().objectForKey(Value(NKNetworkingTaskDidCompleteResponseDataKey));
                notified = true;
            });
        size_t total = 0;
        for (size_t n : chunks) {
            manager->dataTaskDidReceiveData(manager->session(), task, std::vector<uint8_t>(n, 'a'));
            total += n;
        }
        manager->taskDidCompleteWithError(manager->session(), task, nullptr);
        ASSERT_TRUE(nktest::waitFor([&] { return done.load() && notified.load(); }));
        NSNotificationCenter::defaultCenter()->removeObserver(token);
        EXPECT_EQ(noted.asData().size(), total);
        EXPECT_EQ(object.asData().size(), total);
        EXPECT_FALSE(manager->delegateForTask(task));
        task->cancel();
    }
}

// The session hands its pieces over to keep: the first becomes the task's buffer, later ones
// are appended, and a data block set on the manager still sees every piece whole.
TEST_F(URLSessionManagerTest, HandedOverPiecesMakeOneBodyAndReachTheDataBlock) {
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    struct Case {
        bool owned;
        bool block;
    };
    for (Case c : {Case{true, false}, Case{true, true}, Case{false, false}, Case{false, true}}) {
        SCOPED_TRACE(::testing::Message() << "owned " << c.owned << ", block " << c.block);
        std::vector<std::vector<uint8_t>> seen;
        manager->setDataTaskDidReceiveDataBlock(
            c.block ? NKURLSessionManager::DataTaskDidReceiveDataBlock(
                          [&](const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const std::vector<uint8_t>& data) {
                              seen.push_back(data);
                          })
                    : nullptr);
        std::atomic<bool> done{false};
        Value object;
        auto task = dataTask([&](const NSURLResponsePtr&, const Value& o, const NSErrorPtr&) {
            object = o;
            done = true;
        });
        std::vector<std::vector<uint8_t>> pieces{std::vector<uint8_t>(10, 'a'), std::vector<uint8_t>(20, 'b'),
                                                 std::vector<uint8_t>(30, 'c')};
        std::vector<uint8_t> whole;
        for (auto piece : pieces) {
            whole.insert(whole.end(), piece.begin(), piece.end());
            if (c.owned)
                manager->dataTaskDidReceiveOwnedData(manager->session(), task, std::move(piece));
            else
                manager->dataTaskDidReceiveData(manager->session(), task, piece);
        }
        manager->taskDidCompleteWithError(manager->session(), task, nullptr);
        ASSERT_TRUE(nktest::waitFor([&] { return done.load(); }));
        EXPECT_EQ(object.asData(), whole);
        EXPECT_EQ(seen, c.block ? pieces : std::vector<std::vector<uint8_t>>{});
        manager->setDataTaskDidReceiveDataBlock(nullptr);
        task->cancel();
    }
}

// A record whose manager went away cannot decode anything: it reports a cancellation.
TEST_F(URLSessionManagerTest, CompletionWithoutManagerReportsCancellation) {
    auto task = manager->session()->dataTaskWithRequest(request());
    auto record = NKURLSessionManagerTaskDelegate::delegateWithTask(task);
    std::atomic<bool> done{false};
    NSErrorPtr error;
    bool onMain = false;
    record->setCompletionHandler([&](const NSURLResponsePtr&, const Value&, const NSErrorPtr& e) {
        error = e;
        onMain = NSThread::isMainThread();
        done = true;
    });
    record->taskDidCompleteWithError(manager->session(), task, nullptr);
    ASSERT_TRUE(nktest::waitFor([&] { return done.load(); }));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSURLErrorDomain);
    EXPECT_EQ(error->code(), NSURLErrorCancelled);
    EXPECT_TRUE(onMain);
    task->cancel();
}

}  // namespace
