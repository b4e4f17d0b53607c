// The app's one road to the network: unstarted GET tasks on one shared client, JSON documents
// or errors on the main queue, and real trust evaluation (an untrusted server is refused).

#include <gtest/gtest.h>

#include <app/AppConfiguration.h>
#include <app/api/ConnectionManager.h>
#include <app/api/NKCatalogueAPIClient.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_net/AirplaneMode.h>
#include <platform_net/NSURLError.h>

#include "CatalogueTestServer.h"

#include <atomic>
#include <mutex>
#include <optional>

namespace {

// The first call of the process names this URL (the suite's setup makes it).
const char* kFirstURL = "https://127.0.0.1:9/api/ios/v4/releases";

struct Outcome {
    bool called = false;
    Value document;
    NSErrorPtr error;
    bool onMainThread = false;
};

class ConnectionManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { firstClient = NKCatalogueAPIClient::sharedClient(kFirstURL); }

    void SetUp() override {
        server.routes().Get("/api/ios/v4/releases", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_content(R"({"rhitems":[]})", "application/json");
        });
        server.routes().Get("/missing", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.status = 404;
            res.set_content(R"({"error":"no such device"})", "application/json");
        });
        server.routes().Get("/empty", [this](const httplib::Request& req, httplib::Response& res) {
            record(req);
            res.set_content("", "application/json");
        });
        server.start();
    }

    void record(const httplib::Request& req) {
        std::lock_guard lock(mutex);
        ++hits;
        lastHeaders = req.headers;
    }
    int hitCount() {
        std::lock_guard lock(mutex);
        return hits;
    }

    // Resumes a task for the URL and waits for its callback.
    Outcome load(const std::string& url) {
        Outcome out;
        auto task = ConnectionManager::globalTimelinePostsWithBlock(url, [&](Value document, NSErrorPtr error) {
            out.called = true;
            out.document = std::move(document);
            out.error = std::move(error);
            out.onMainThread = NSThread::isMainThread();
        });
        EXPECT_TRUE(task);
        if (!task) return out;
        task->resume();
        EXPECT_TRUE(spinMainRunLoopUntil([&] { return out.called; }, 15));
        return out;
    }

    static inline NKCatalogueAPIClient::Ptr firstClient;
    apptest::CatalogueServer server;
    std::mutex mutex;
    int hits = 0;
    httplib::Headers lastHeaders;
};

TEST_F(ConnectionManagerTest, OneClientServesEveryURLWithTheFirstCallsBaseURL) {
    ASSERT_TRUE(firstClient);
    ASSERT_TRUE(firstClient->baseURL());
    EXPECT_EQ(firstClient->baseURL()->absoluteString(), std::string(kFirstURL) + "/");
    EXPECT_EQ(NKCatalogueAPIClient::sharedClient(server.url("/other")), firstClient);

    // Neither request is affected by the base URL: each fetches its own absolute URL.
    auto ok = load(server.url("/api/ios/v4/releases"));
    EXPECT_FALSE(ok.error);
    EXPECT_TRUE(ok.onMainThread);
    EXPECT_TRUE(ok.document.objectForKey(Value("rhitems")).isArray());
    auto missing = load(server.url("/missing"));
    ASSERT_TRUE(missing.error);
    EXPECT_TRUE(missing.document.isNull());
    EXPECT_EQ(hitCount(), 2);
}

TEST_F(ConnectionManagerTest, TheTaskWaitsForTheCallerToResumeIt) {
    std::atomic<bool> called{false};
    auto task = ConnectionManager::globalTimelinePostsWithBlock(server.url("/api/ios/v4/releases"),
                                                                [&](Value, NSErrorPtr) { called = true; });
    ASSERT_TRUE(task);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateSuspended);
    EXPECT_FALSE(spinMainRunLoopUntil([&] { return called.load() || hitCount() > 0; }, 0.3));
    EXPECT_EQ(hitCount(), 0);
    task->resume();
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return called.load(); }, 15));
    EXPECT_EQ(hitCount(), 1);
}

TEST_F(ConnectionManagerTest, APlainGETWithoutTheSerializersHeaders) {
    auto out = load(server.url("/api/ios/v4/releases"));
    ASSERT_FALSE(out.error) << out.error->domain() << " " << out.error->code() << ": " << out.error->localizedDescription();
    std::lock_guard lock(mutex);
    // The request serializer would add these; the plain request carries neither.
    EXPECT_EQ(lastHeaders.count("Accept-Language"), 0u);
    for (const auto& [name, value] : lastHeaders) {
        SCOPED_TRACE(name + ": " + value);
        EXPECT_EQ(value.find("CFNetwork"), std::string::npos);
    }
}

TEST_F(ConnectionManagerTest, AnswersBecomeADocumentOrAnErrorNeverBoth) {
    auto missing = load(server.url("/missing"));
    ASSERT_TRUE(missing.error);
    EXPECT_TRUE(missing.document.isNull());

    auto empty = load(server.url("/empty"));
    EXPECT_FALSE(empty.error);
    EXPECT_TRUE(empty.document.isNull());
}

TEST_F(ConnectionManagerTest, AnAbsentCallbackStillRunsTheTask) {
    auto task = ConnectionManager::globalTimelinePostsWithBlock(server.url("/api/ios/v4/releases"), nullptr);
    ASSERT_TRUE(task);
    task->resume();
    EXPECT_TRUE(spinMainRunLoopUntil([&] { return task->state() == NSURLSessionTaskStateCompleted; }, 15));
    EXPECT_EQ(hitCount(), 1);
}

TEST_F(ConnectionManagerTest, AnUnconfiguredServiceFailsAtOnceAsABadURL) {
    ::unsetenv(AppConfiguration::kCatalogueBaseURLVariable);
    auto out = load(AppConfiguration::catalogueURL("/api/ios/v4/releases"));
    ASSERT_TRUE(out.error);
    EXPECT_EQ(out.error->code(), NSURLErrorBadURL);
    EXPECT_TRUE(out.document.isNull());
    EXPECT_EQ(hitCount(), 0);
}

TEST(AppConfiguration, BaseURLsComeFromTheEnvironmentWithoutATrailingSlash) {
    const struct {
        const char* value;  // nullptr: unset
        const char* url;
    } cases[] = {
        {nullptr, "https:///api/ios/v4/releases"},
        {"", "https:///api/ios/v4/releases"},
        {"https://127.0.0.1:8443", "https://127.0.0.1:8443/api/ios/v4/releases"},
        {"https://127.0.0.1:8443//", "https://127.0.0.1:8443/api/ios/v4/releases"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        if (c.value) {
            ::setenv(AppConfiguration::kCatalogueBaseURLVariable, c.value, 1);
            ::setenv(AppConfiguration::kJailbreakBaseURLVariable, c.value, 1);
        } else {
            ::unsetenv(AppConfiguration::kCatalogueBaseURLVariable);
            ::unsetenv(AppConfiguration::kJailbreakBaseURLVariable);
        }
        EXPECT_EQ(AppConfiguration::catalogueURL("/api/ios/v4/releases"), c.url);
        EXPECT_EQ(AppConfiguration::jailbreakURL("/api/ios/v4/releases"), c.url);
    }
    ::unsetenv(AppConfiguration::kCatalogueBaseURLVariable);
    ::unsetenv(AppConfiguration::kJailbreakBaseURLVariable);
}

TEST_F(ConnectionManagerTest, AirplaneModeFailsWithNoConnection) {
    NetworkAirplaneMode::setOn(true);
    auto out = load(server.url("/api/ios/v4/releases"));
    NetworkAirplaneMode::setOn(false);
    ASSERT_TRUE(out.error);
    EXPECT_EQ(out.error->code(), NSURLErrorNotConnectedToInternet);
    EXPECT_EQ(hitCount(), 0);
}

// Servers the device cannot trust for the requested host are refused before any request is
// sent, whatever they would answer.
TEST(ConnectionManagerTrust, UntrustedServersAreRefusedWithTheCertificateError) {
    const auto& ca = apptest::testCA();
    testcerts::Options expired;
    expired.commonName = "127.0.0.1";
    expired.subjectAltName = "DNS:localhost,IP:127.0.0.1";
    expired.notBefore = -86400L * 10;
    expired.notAfter = -86400L;
    const struct {
        const char* name;
        testcerts::Certificate certificate;
    } cases[] = {
        {"self-signed", testcerts::makeSelfSigned()},
        {"another host", testcerts::makeServer(ca, "other.example", "DNS:other.example")},
        {"expired", testcerts::makeCertificate(expired, &ca)},
        {"unknown CA", testcerts::makeServer(testcerts::makeCA("Stranger CA"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        apptest::CatalogueServer server(&c.certificate);
        std::atomic<int> hits{0};
        server.routes().Get("/jailbreaks.json", [&](const httplib::Request&, httplib::Response& res) {
            hits++;
            res.set_content(R"({"jailbreaks":[]})", "application/json");
        });
        server.start();
        bool called = false;
        Value document;
        NSErrorPtr error;
        auto task = ConnectionManager::globalTimelinePostsWithBlock(server.url("/jailbreaks.json"),
                                                                    [&](Value d, NSErrorPtr e) {
                                                                        called = true;
                                                                        document = std::move(d);
                                                                        error = std::move(e);
                                                                    });
        task->resume();
        ASSERT_TRUE(spinMainRunLoopUntil([&] { return called; }, 15));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSURLErrorServerCertificateUntrusted);
        EXPECT_TRUE(document.isNull());
        EXPECT_EQ(hits.load(), 0);
    }
}

}  // namespace
