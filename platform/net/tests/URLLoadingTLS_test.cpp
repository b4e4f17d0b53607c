#include <gtest/gtest.h>

#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLSession.h>
#include <platform_net/SecTrust.h>

#include "LoopbackServer.h"
#include "TestCertificates.h"
#include "URLSessionRecorder.h"

#include <atomic>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tls-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
};

// An HTTPS server on 127.0.0.1 with a certificate made for the test; counts the requests
// that reach it (none may while the trust is undecided or refused).
class TLSTest : public ::testing::Test {
protected:
    void serve(const testcerts::Certificate& certificate) {
        auto [cert, key] = certificate.writePEM(dir.path, "server");
        server = std::make_unique<LoopbackServer>(cert, key);
        server->routes().Get("/secret", [this](const httplib::Request&, httplib::Response& res) {
            hits++;
            res.set_content("secret", "text/plain");
        });
        server->start();
    }

    std::shared_ptr<URLSessionRecorder> run(std::shared_ptr<URLSessionRecorder> recorder) {
        auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration(),
                                                              recorder, nullptr);
        recorder->expectedQueue = session->delegateQueue();
        session->dataTaskWithURL(NSURL::URLWithString(server->url("/secret")))->resume();
        EXPECT_TRUE(recorder->waitForCompletion());
        session->finishTasksAndInvalidate();
        return recorder;
    }

    TempDir dir;
    std::unique_ptr<LoopbackServer> server;
    std::atomic<int> hits{0};
};

TEST_F(TLSTest, ASelfSignedCertificateIsRefusedByDefaultBeforeAnyRequest) {
    serve(testcerts::makeSelfSigned());
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    std::atomic<bool> done{false};
    NSErrorPtr error;
    session
        ->dataTaskWithURL(NSURL::URLWithString(server->url("/secret")),
                          [&](std::optional<std::vector<uint8_t>>, NSURLResponsePtr, NSErrorPtr e) {
                              error = e;
                              done = true;
                          })
        ->resume();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return done.load(); }, 10));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_TRUE(error->userInfo().at(Value(NSURLErrorFailingURLPeerTrustErrorKey)).objectAs<SecTrust>());
    EXPECT_NE(error->localizedDescription().find("\u201c127.0.0.1\u201d"), std::string::npos);
    EXPECT_EQ(hits.load(), 0);
}

TEST_F(TLSTest, ChallengeDispositionsDecideTheConnection) {
    serve(testcerts::makeSelfSigned());
    struct Case {
        const char* name;
        NSURLSessionAuthChallengeDisposition disposition;
        bool withCredential;
        int64_t error;  // 0: the load succeeds
    };
    const Case cases[] = {
        {"use credential", NSURLSessionAuthChallengeUseCredential, true, 0},
        {"default handling", NSURLSessionAuthChallengePerformDefaultHandling, false, NSURLErrorServerCertificateUntrusted},
        {"reject", NSURLSessionAuthChallengeRejectProtectionSpace, false, NSURLErrorServerCertificateUntrusted},
        {"cancel", NSURLSessionAuthChallengeCancelAuthenticationChallenge, false, NSURLErrorCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hits = 0;
        auto recorder = std::make_shared<URLSessionRecorder>();
        recorder->onChallenge = [&](const NSURLAuthenticationChallengePtr& challenge) {
            auto credential = c.withCredential ? NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust())
                                               : nullptr;
            return std::make_pair(c.disposition, credential);
        };
        run(recorder);
        if (c.error == 0) {
            EXPECT_EQ(recorder->error, nullptr);
            EXPECT_EQ(recorder->bodyText(), "secret");
            EXPECT_EQ(hits.load(), 1);
        } else {
            ASSERT_NE(recorder->error, nullptr);
            EXPECT_EQ(recorder->error->code(), c.error);
            EXPECT_EQ(hits.load(), 0);
        }
        EXPECT_EQ(recorder->count("challenge"), 1u);
        EXPECT_EQ(recorder->count("taskChallenge"), 0u);
        EXPECT_FALSE(recorder->wrongQueue);
    }
}

TEST_F(TLSTest, TheChallengeDescribesTheServerAndGoesToTheTaskWhenTheSessionLevelIsMissing) {
    serve(testcerts::makeSelfSigned());
    auto recorder = std::make_shared<URLSessionRecorder>();
    recorder->unanswered = {NSURLSessionSelector::didReceiveChallenge};
    recorder->onChallenge = [](const NSURLAuthenticationChallengePtr& challenge) {
        return std::make_pair(NSURLSessionAuthChallengeUseCredential,
                              NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()));
    };
    run(recorder);
    EXPECT_EQ(recorder->error, nullptr);
    EXPECT_EQ(recorder->count("taskChallenge"), 1u);
    auto space = recorder->challenge->protectionSpace();
    EXPECT_EQ(space->authenticationMethod(), NSURLAuthenticationMethodServerTrust);
    EXPECT_EQ(space->host(), "127.0.0.1");
    EXPECT_EQ(space->port(), server->port());
    EXPECT_EQ(space->protocol(), "https");
    ASSERT_NE(space->serverTrust(), nullptr);
    EXPECT_EQ(SecTrustGetCertificateCount(space->serverTrust()), 1);

    auto& t = *recorder->metrics->transactionMetrics.at(0);
    ASSERT_TRUE(t.secureConnectionStartDate && t.secureConnectionEndDate && t.connectEndDate);
    EXPECT_LE(t.secureConnectionStartDate->timeIntervalSinceReferenceDate(), t.secureConnectionEndDate->timeIntervalSinceReferenceDate());
    EXPECT_LE(t.secureConnectionEndDate->timeIntervalSinceReferenceDate(), t.connectEndDate->timeIntervalSinceReferenceDate());
}

TEST_F(TLSTest, TheTrustCarriesThePeerChainForTheDelegateToEvaluate) {
    auto ca = testcerts::makeCA("Test Root");
    auto other = testcerts::makeCA("Other Root");
    serve(testcerts::makeServer(ca));
    for (auto* anchor : {&ca, &other}) {
        hits = 0;
        auto recorder = std::make_shared<URLSessionRecorder>();
        recorder->onChallenge = [anchor](const NSURLAuthenticationChallengePtr& challenge) {
            auto trust = challenge->protectionSpace()->serverTrust();
            SecTrustSetAnchorCertificates(trust, {SecCertificateCreateWithData(anchor->der())});
            if (SecTrustEvaluateWithError(trust, nullptr))
                return std::make_pair(NSURLSessionAuthChallengeUseCredential, NSURLCredential::credentialForTrust(trust));
            return std::make_pair(NSURLSessionAuthChallengeCancelAuthenticationChallenge, NSURLCredentialPtr());
        };
        run(recorder);
        if (anchor == &ca) {
            EXPECT_EQ(recorder->error, nullptr);
            EXPECT_EQ(hits.load(), 1);
        } else {
            ASSERT_NE(recorder->error, nullptr);
            EXPECT_EQ(recorder->error->code(), NSURLErrorCancelled);
            EXPECT_EQ(hits.load(), 0);
        }
    }
}

// A session delegate that keeps each trust question unanswered until the test answers it.
class HeldChallenges : public NSURLSessionDelegate {
    NS_CLASS(HeldChallenges, NSURLSessionDelegate)
    NS_SELECTORS("URLSession:didReceiveChallenge:completionHandler:")
public:
    void didReceiveChallenge(const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr& challenge,
                             ChallengeCompletion completion) override {
        std::lock_guard lock(m);
        held.push_back({challenge, std::move(completion)});
    }
    size_t count() {
        std::lock_guard lock(m);
        return held.size();
    }
    void answer(size_t index, NSURLSessionAuthChallengeDisposition disposition) {
        std::pair<NSURLAuthenticationChallengePtr, ChallengeCompletion> question;
        {
            std::lock_guard lock(m);
            question = held.at(index);
        }
        auto credential = NSURLCredential::credentialForTrust(question.first->protectionSpace()->serverTrust());
        question.second(disposition, credential);
    }

private:
    std::mutex m;
    std::vector<std::pair<NSURLAuthenticationChallengePtr, ChallengeCompletion>> held;
};

struct Completion {
    std::atomic<bool> done{false};
    NSErrorPtr error;
    std::string body;
    NSURLSessionDataTask::CompletionHandler handler() {
        return [this](std::optional<std::vector<uint8_t>> data, NSURLResponsePtr, NSErrorPtr e) {
            error = e;
            if (data) body.assign(data->begin(), data->end());
            done = true;
        };
    }
};

// While one task waits for its trust answer, the session's other tasks load; the waiting
// one then goes on with the answer, or ends at once when cancelled.
TEST_F(TLSTest, AnUnansweredTrustQuestionHoldsUpNoOtherTask) {
    serve(testcerts::makeSelfSigned());
    LoopbackServer plain;
    plain.routes().Get("/plain", [](const httplib::Request&, httplib::Response& res) { res.set_content("plain", "text/plain"); });
    plain.start();

    enum class Then { Trust, Cancel };
    for (Then then : {Then::Trust, Then::Cancel}) {
        SCOPED_TRACE(then == Then::Trust ? "answered late" : "cancelled while waiting");
        hits = 0;
        auto delegate = std::make_shared<HeldChallenges>();
        auto session =
            NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration(), delegate, nullptr);
        Completion a, b;
        auto taskA = session->dataTaskWithURL(NSURL::URLWithString(server->url("/secret")), a.handler());
        taskA->resume();
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return delegate->count() == 1; }, 10));

        session->dataTaskWithURL(NSURL::URLWithString(plain.url("/plain")), b.handler())->resume();
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return b.done.load(); }, 10));
        EXPECT_EQ(b.error, nullptr);
        EXPECT_EQ(b.body, "plain");
        EXPECT_FALSE(a.done.load());
        EXPECT_EQ(hits.load(), 0);  // nothing of A's request went out before the answer

        if (then == Then::Trust) {
            delegate->answer(0, NSURLSessionAuthChallengeUseCredential);
            ASSERT_TRUE(spinMainRunLoopUntil([&] { return a.done.load(); }, 10));
            EXPECT_EQ(a.error, nullptr);
            EXPECT_EQ(a.body, "secret");
            EXPECT_EQ(hits.load(), 1);
            EXPECT_EQ(delegate->count(), 1u);  // the connection made again is not asked about twice
        } else {
            taskA->cancel();
            // Well within the request time-out (60 s) that a stalled engine would wait for.
            ASSERT_TRUE(spinMainRunLoopUntil([&] { return a.done.load(); }, 10));
            ASSERT_NE(a.error, nullptr);
            EXPECT_EQ(a.error->code(), NSURLErrorCancelled);
            delegate->answer(0, NSURLSessionAuthChallengeUseCredential);  // too late: changes nothing
            EXPECT_EQ(hits.load(), 0);
        }
        session->finishTasksAndInvalidate();
    }
}

TEST_F(TLSTest, AnUnansweredTrustQuestionTimesOutLikeASilentServer) {
    serve(testcerts::makeSelfSigned());
    auto delegate = std::make_shared<HeldChallenges>();
    auto session =
        NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration(), delegate, nullptr);
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server->url("/secret")));
    request->setTimeoutInterval(0.3);
    Completion a;
    session->dataTaskWithRequest(request, a.handler())->resume();
    ASSERT_TRUE(spinMainRunLoopUntil([&] { return a.done.load(); }, 10));
    ASSERT_NE(a.error, nullptr);
    EXPECT_EQ(a.error->code(), NSURLErrorTimedOut);
    EXPECT_EQ(delegate->count(), 1u);
    EXPECT_EQ(hits.load(), 0);
    session->invalidateAndCancel();
}

}  // namespace
