// Envelope and stateless uploads against two TLS loopback collection sinks: endpoint order,
// what counts as the service's answer, which files go and which stay, headers, counters and
// the work events a job sends.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include <analytics_common/ZVConfigure.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVEnvelopeBuild.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVNetworkWork.h>
#include <analytics_common/ZVSLNetworkWork.h>
#include <analytics_common/ZVUtils.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_foundation/NSPathUtilities.h>

#include "SinkTestSupport.h"
#include "ZVCommonLogManagerRecorder.h"

using zvsink::Answer;
using zvtest::accepted;
using zvtest::sinks;

namespace {

std::mutex eventsMutex;
std::vector<std::pair<int32_t, Value>> events;  // common events the jobs sent

std::vector<int32_t> takeEventTypes() {
    zvtest::drainWorkQueue();
    std::lock_guard lock(eventsMutex);
    std::vector<int32_t> out;
    for (const auto& [t, o] : events) out.push_back(t);
    events.clear();
    return out;
}

int64_t counter(const char* key) { return ZVConfigureCache::objectWithKey(key).integerValue(); }

void removeAll(const Value& files) {
    for (const Value& f : files.asArray()) std::remove(f.asStdString().c_str());
}

const Answer kServerError{500, "application/thrift", "x"};

class Upload : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sinks(); }
    void SetUp() override {
        sinks().reset();
        removeAll(ZVFileUtility::envelopeFiles());
        removeAll(ZVFileUtility::statelessEnvelopeFile());
        for (const char* k : {"zvImprint", "zvExperimentDOM", "zvSuccessfulRequests", "zvFailedRequests",
                              "lastPostInterval", "zvSBLastPostInterval", "zvLastRequestSpentMS", "zvZeroKey"})
            ZVConfigureCache::removeObjectForKey(k);
        ZVConfigureCache::setObject(Value("upload-test-key"), "appkey");
        ZVConfigureCache::sharedInstance()->setENetStatus(1);
        ZVWorkDispatch::setCommonEventHandler([](ZVWorkDispatch&, const ZVDispatchEvent& e, const auto&) {
            std::lock_guard lock(eventsMutex);
            events.emplace_back(e.eEventType, e.object);
        });
        (void)takeEventTypes();
    }
    void TearDown() override {
        zvtest::drainWorkQueue();
        ZVWorkDispatch::setCommonEventHandler(nullptr);
    }

    // A waiting envelope file of this name prefix (its body names it).
    std::string file(const std::string& prefix, int64_t ts) {
        const std::string path = ZVFileUtility::generateEnvelopeNamePrefix(prefix, std::to_string(ts));
        const std::string text = "envelope " + prefix + " " + std::to_string(ts);
        const Value::Data body(text.begin(), text.end());
        EXPECT_TRUE(ZVFileUtility::saveData(&body, path));
        return path;
    }
    std::string statelessFile(const std::string& target, int64_t ts, const std::string& prefix = "zv==0.0.0&=1.0") {
        const std::string path = ZVFileUtility::generateEnvelopeNamePrefixPathURL(prefix, std::to_string(ts), target);
        const std::string text = "stateless " + target;
        const Value::Data body(text.begin(), text.end());
        EXPECT_TRUE(ZVFileUtility::saveData(&body, path));
        return path;
    }
    // Runs one upload job over the paths (given oldest first, as the send step does).
    void runJob(const std::vector<std::string>& paths) {
        Value list = Value::mutableArray();
        for (const auto& p : paths) list.addObject(Value(p));
        auto job = std::make_shared<ZVNetworkWork>();
        job->setEnvelopeFilePaths(list);
        ZVEnvelopeBuild::sharedInstance()->setJobRunning(true);
        job->start();
        EXPECT_FALSE(ZVEnvelopeBuild::sharedInstance()->jobRunning());
    }
    void runStateless(const std::vector<std::string>& paths) {
        Value list = Value::mutableArray();
        for (const auto& p : paths) list.addObject(Value(p));
        auto job = std::make_shared<ZVSLNetworkWork>();
        job->setEnvelopeFilePaths(list);
        job->start();
    }
    static std::string bodyOf(const std::string& prefix, int64_t ts) {
        return "envelope " + prefix + " " + std::to_string(ts);
    }
};

}  // namespace

TEST_F(Upload, NewestFirstAndAFailureStopsTheJob) {
    const std::string prefix = "a==7.3.5&=1.0";
    const auto oldest = file(prefix, 1000), middle = file(prefix, 2000), newest = file(prefix, 3000);
    sinks().primary.queueAnswer(accepted());
    sinks().primary.queueAnswer(kServerError);
    sinks().secondary.setDefaultAnswer(kServerError);
    ZVCommonLogManager::take();
    runJob({oldest, middle, newest});

    const auto primary = sinks().primary.requests();
    const auto secondary = sinks().secondary.requests();
    ASSERT_EQ(primary.size(), 2u);
    ASSERT_EQ(secondary.size(), 1u);
    EXPECT_EQ(primary[0].body, bodyOf(prefix, 3000));
    EXPECT_EQ(primary[1].body, bodyOf(prefix, 2000));
    EXPECT_EQ(secondary[0].body, bodyOf(prefix, 2000));
    for (const auto& r : {primary[0], primary[1], secondary[0]}) EXPECT_EQ(r.path, "/unify_logs");
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(newest));
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(middle));
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(oldest));
    EXPECT_EQ(counter("zvSuccessfulRequests"), 1);
    EXPECT_EQ(counter("zvFailedRequests"), 2);
    EXPECT_EQ(ZVCommonLogManager::count("common_envelope_error7"), 1u);
    // No network-idle event after a failure, no cache replay while files remain.
    EXPECT_EQ(takeEventTypes(), std::vector<int32_t>{});
}

TEST_F(Upload, VanishedFilesAreSkippedAndAnEmptiedListAsksForMore) {
    const auto kept = file("a==7.3.5&=1.0", 1000);
    const std::string gone = ZVFileUtility::generateEnvelopeNamePrefix("a==7.3.5&=1.0", "2000");
    sinks().primary.setDefaultAnswer(accepted());
    ZVCommonLogManager::take();
    runJob({kept, gone});
    ASSERT_EQ(sinks().primary.requests().size(), 1u);
    EXPECT_EQ(ZVCommonLogManager::count("common_envelope_debug5"), 1u);
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(kept));
    // The emptied list asks for the cache replay, the finished job for network-idle work.
    EXPECT_EQ(takeEventTypes(), (std::vector<int32_t>{E_ZV_C_LOAD_CACHE, E_ZV_C_NET_IDLE}));

    // A job started with an empty list sends nothing.
    runJob({});
    EXPECT_EQ(takeEventTypes(), std::vector<int32_t>{});
}

TEST_F(Upload, OnlyAThriftResponseIsTheServicesAnswer) {
    struct Case {
        const char* name;
        Answer primary;
        bool primaryDown;
    };
    const Case cases[] = {
        {"charset parameter", {200, "application/thrift; charset=utf-8", zvsink::responseBytes(1, {})}, false},
        {"server error", kServerError, false},
        {"network error", {}, true},
        {"empty body", {200, "application/thrift", ""}, false},
        {"undecodable Thrift", {200, "application/thrift", "\x0b\x00\x01garbage"}, false},
        {"truncated Response", {200, "application/thrift", zvsink::responseBytes(1, {{"k", "v"}}).substr(0, 9)}, false},
        {"Response without resp_code", {200, "application/thrift", std::string("\x00", 1)}, false},
        {"plain text", {200, "text/plain", zvsink::responseBytes(1, {})}, false},
    };
    int64_t ts = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sinks().reset();
        ZVConfigureCache::removeObjectForKey("zvFailedRequests");
        ZVConfigureCache::removeObjectForKey("zvSuccessfulRequests");
        const auto path = file("a==7.3.5&=1.0", ++ts);
        sinks().primary.setDefaultAnswer(c.primary);
        sinks().primary.setDown(c.primaryDown);
        sinks().secondary.setDefaultAnswer(Answer{200, "text/plain", "no"});
        EXPECT_FALSE(ZVNetworkWork().postDataWithFile(path));
        EXPECT_TRUE(ZVFileUtility::isExistAtPath(path)) << "kept";
        EXPECT_EQ(sinks().primary.requests().size(), c.primaryDown ? 0u : 1u);
        EXPECT_EQ(sinks().secondary.requests().size(), 1u) << "the secondary is tried";
        EXPECT_EQ(counter("zvFailedRequests"), 2);
        EXPECT_EQ(counter("zvSuccessfulRequests"), 0);
        std::remove(path.c_str());
    }
}

TEST_F(Upload, TheServicesVerdictDeletesTheFile) {
    // resp_code 2: the service received the file and refuses it; keeping it would post it for
    // ever. A Response that verifies counts as a success.
    const struct {
        int32_t code;
        const char* counterKey;
    } cases[] = {{2, "zvFailedRequests"}, {1, "zvSuccessfulRequests"}};
    int64_t ts = 5000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        sinks().reset();
        for (const char* k : {"zvSuccessfulRequests", "zvFailedRequests"}) ZVConfigureCache::removeObjectForKey(k);
        const auto path = file("a==7.3.5&=1.0", ++ts);
        sinks().primary.setDefaultAnswer(accepted(c.code));
        EXPECT_TRUE(ZVNetworkWork().postDataWithFile(path));
        EXPECT_FALSE(ZVFileUtility::isExistAtPath(path));
        EXPECT_EQ(counter(c.counterKey), 1);
        EXPECT_EQ(counter("zvSuccessfulRequests") + counter("zvFailedRequests"), 1);
        EXPECT_TRUE(sinks().secondary.requests().empty());
    }
}

TEST_F(Upload, EndpointChoice) {
    const std::string other = sinks().secondary.hostPort();
    struct Case {
        const char* name;
        std::string prefix;
        std::map<std::string, std::string> imprint;
        std::optional<bool> experimentDOM;
        bool toSecondary;
        const char* path;
    };
    const Case cases[] = {
        {"built-in primary", "a==7.3.5&=1.0", {}, std::nullopt, false, "/unify_logs"},
        {"experiment NO swaps the log hosts", "a==7.3.5&=1.0", {}, false, true, "/unify_logs"},
        {"experiment YES keeps them", "a==7.3.5&=1.0", {}, true, false, "/unify_logs"},
        {"zero-key files ignore the swap", "z==7.3.5&&1.0", {}, false, false, "/zcfg"},
        {"empty domain_p keeps the built-in host", "a==7.3.5&=1.0", {{"domain_p", ""}}, std::nullopt, false,
         "/unify_logs"},
        {"domain_p names the log host", "a==7.3.5&=1.0", {{"domain_p", other}}, std::nullopt, true, "/unify_logs"},
        {"oversea_domain_p names the zero-key host", "z==7.3.5&&1.0", {{"oversea_domain_p", other}}, std::nullopt,
         true, "/zcfg"},
        {"domain_p is not the zero-key host", "z==7.3.5&&1.0", {{"domain_p", other}}, std::nullopt, false, "/zcfg"},
    };
    int64_t ts = 7000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sinks().reset();
        if (c.imprint.empty())
            ZVConfigureCache::removeObjectForKey("zvImprint");
        else
            zvtest::storeImprint(c.imprint);
        if (c.experimentDOM)
            ZVConfigureCache::setObject(Value(*c.experimentDOM), "zvExperimentDOM");
        else
            ZVConfigureCache::removeObjectForKey("zvExperimentDOM");
        sinks().primary.setDefaultAnswer(accepted());
        sinks().secondary.setDefaultAnswer(accepted());
        const auto path = file(c.prefix, ++ts);
        EXPECT_TRUE(ZVNetworkWork().postDataWithFile(path));
        auto& hit = c.toSecondary ? sinks().secondary : sinks().primary;
        auto& missed = c.toSecondary ? sinks().primary : sinks().secondary;
        ASSERT_EQ(hit.requests().size(), 1u);
        EXPECT_EQ(hit.requests()[0].path, c.path);
        EXPECT_TRUE(missed.requests().empty());
    }
    ZVConfigureCache::removeObjectForKey("zvImprint");
    ZVConfigureCache::removeObjectForKey("zvExperimentDOM");
}

TEST_F(Upload, RequestHeadersAndCounters) {
    sinks().primary.setDefaultAnswer(accepted());
    struct Case {
        std::string prefix;
        std::string contentType, sdkHead;
        const char* postedKey;  // the time of the last post written
    };
    const Case cases[] = {
        {"z==7.3.5&&1.0", "ut/z", "z/7.3.5 1.0", nullptr},
        {"a==7.3.5&=1.0", "ut/a1.0", "a/7.3.5 1.0", "lastPostInterval"},
        {"ta==7.3.5&&1.0", "ut/ta", "ta/7.3.5 1.0", "zvSBLastPostInterval"},
        {"i==7.3.5&=", "ut/i", "i/7.3.5 ", nullptr},
    };
    const auto tailWithName = [](const std::string& name) {
        return "/iOS/" + name + "/" + ZVUtils::deviceModelString() + "/" + ZVUtils::osVersionString() + " " +
               ZVUtils::md5(Value("upload-test-key"));
    };
    const std::string tail = tailWithName(ZVUtils::urlEncode(ZVUtils::appDisplayNameString()));
    // The loopback server hands header values over with their percent escapes decoded.
    const std::string wireTail = tailWithName(ZVUtils::appDisplayNameString());
    int64_t ts = 9000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix);
        sinks().primary.clear();
        sinks().primary.setDefaultAnswer(accepted());
        for (const char* k : {"lastPostInterval", "zvSBLastPostInterval"}) ZVConfigureCache::removeObjectForKey(k);
        const auto path = file(c.prefix, ++ts);
        const uint64_t before = ZVUtils::UTCIntervalMS();
        ASSERT_TRUE(ZVNetworkWork().postDataWithFile(path));
        const uint64_t after = ZVUtils::UTCIntervalMS();
        const auto r = sinks().primary.requests().at(0);
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.header("Msg-Type"), "envelope/json");
        EXPECT_EQ(r.header("Content-Type"), c.contentType);
        EXPECT_EQ(r.header("X-Zavez-Sdk"), c.sdkHead + wireTail);
        const uint64_t utc = std::stoull(r.header("X-Zavez-UTC"));
        EXPECT_GE(utc, before);
        EXPECT_LE(utc, after);
        for (const char* k : {"lastPostInterval", "zvSBLastPostInterval"}) {
            const Value v = ZVConfigureCache::objectWithKey(k);
            if (c.postedKey && std::string(k) == c.postedKey) {
                EXPECT_GE(v.doubleValue() * 1000, double(before) - 1000) << k;
                EXPECT_LE(v.doubleValue() * 1000, double(after) + 1000) << k;
            } else {
                EXPECT_TRUE(v.isNull()) << k;
            }
        }
    }
    EXPECT_FALSE(ZVConfigureCache::objectWithKey("zvLastRequestSpentMS").isNull());
    // A name without a field segment still gets the fixed part of the headers.
    const auto request = ZVNetworkWork::setupRequest("https://a.test/x", std::nullopt);
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "ut/");
    EXPECT_EQ(request->valueForHTTPHeaderField("X-Zavez-Sdk"), "(null)" + tail);
    EXPECT_EQ(request->cachePolicy(), NSURLRequestReloadIgnoringLocalAndRemoteCacheData);
}

TEST_F(Upload, StatelessTargets) {
    const std::string secondaryURL = "https://" + sinks().secondary.hostPort() + "/direct";
    struct Case {
        const char* name;
        std::string target;
        bool toSecondary;
        std::string path;
    };
    const Case cases[] = {
        {"leading slash", "/debug/events", false, "/debug/events"},
        {"no leading slash", "debug/events", false, "/debug/events"},
        {"Base64 holding a slash", "/d?~", false, "/d"},
        {"a full URL on the collection domain", secondaryURL, true, "/direct"},
        // Only a host on the collection domain is used as it is: a URL that merely mentions
        // the domain is appended to the collection host like a path.
        {"lookalike host", "https://evil.localhost:1/?zavez.localhost", false, "/https://evil.localhost:1/"},
    };
    int64_t ts = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sinks().reset();
        sinks().primary.setDefaultAnswer(accepted());
        sinks().secondary.setDefaultAnswer(accepted());
        const auto path = statelessFile(c.target, ++ts);
        runStateless({path});
        auto& hit = c.toSecondary ? sinks().secondary : sinks().primary;
        auto& missed = c.toSecondary ? sinks().primary : sinks().secondary;
        ASSERT_EQ(hit.requests().size(), 1u);
        EXPECT_EQ(hit.requests()[0].path, c.path);
        EXPECT_EQ(hit.requests()[0].body, "stateless " + c.target);
        EXPECT_EQ(hit.requests()[0].header("Content-Type"), "ut/zv");
        EXPECT_TRUE(missed.requests().empty());
        EXPECT_FALSE(ZVFileUtility::isExistAtPath(path));
    }
}

TEST_F(Upload, StatelessFilesFailOneByOne) {
    // "(null)" is sent nowhere and counts as delivered.
    const auto nothing = statelessFile("(null)", 1);
    // The first fails on both hosts and stays; the second still goes; a non-Thrift 200 is
    // delivered.
    const auto first = statelessFile("/one", 2), second = statelessFile("/two", 3);
    sinks().primary.setAnswerForPath("/one", kServerError);
    sinks().secondary.setAnswerForPath("/one", kServerError);
    sinks().primary.setAnswerForPath("/two", Answer{200, "text/html", "ok"});
    runStateless({nothing, first, second});
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(nothing));
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(first));
    EXPECT_FALSE(ZVFileUtility::isExistAtPath(second));
    const auto primary = sinks().primary.requests();
    ASSERT_EQ(primary.size(), 2u);
    EXPECT_EQ(primary[0].path, "/one");
    EXPECT_EQ(primary[1].path, "/two");
    ASSERT_EQ(sinks().secondary.requests().size(), 1u);
    EXPECT_EQ(sinks().secondary.requests()[0].path, "/one");
    // No counters, no work events.
    EXPECT_TRUE(ZVConfigureCache::objectWithKey("zvFailedRequests").isNull());
    EXPECT_EQ(takeEventTypes(), std::vector<int32_t>{});

    // "sl_domain_p" names the one host of every stateless upload.
    sinks().reset();
    zvtest::storeImprint({{"sl_domain_p", sinks().secondary.hostPort()}});
    sinks().secondary.setDefaultAnswer(kServerError);
    runStateless({first});
    EXPECT_TRUE(sinks().primary.requests().empty());
    ASSERT_EQ(sinks().secondary.requests().size(), 1u);
    EXPECT_TRUE(ZVFileUtility::isExistAtPath(first));
    ZVConfigureCache::removeObjectForKey("zvImprint");
}

TEST_F(Upload, TheExitWaitLetsQueuedJobsPostEveryFileAndGivesUpAtItsDeadline) {
    const std::string prefix = "a==7.3.5&=1.0";
    const auto oldest = file(prefix, 1000), middle = file(prefix, 2000), newest = file(prefix, 3000);
    const auto stateless = statelessFile("/sl", 4000);
    sinks().primary.setDefaultAnswer(accepted());
    sinks().primary.setHeld(true);
    auto job = std::make_shared<ZVNetworkWork>();
    job->setEnvelopeFilePaths(Value::array({Value(oldest), Value(middle), Value(newest)}));
    ZVEnvelopeBuild::sharedInstance()->setJobRunning(true);
    ZVEnvelopeBuild::sharedInstance()->networkerQueue()->addOperation(job);
    auto statelessJob = std::make_shared<ZVSLNetworkWork>();
    statelessJob->setEnvelopeFilePaths(Value::array({Value(stateless)}));
    ZVConfigureCache::sharedInstance()->slnetworkerQueue()->addOperation(statelessJob);
    ASSERT_TRUE(sinks().primary.waitForRequests(2, 10)) << "both jobs post their first file";

    // An upload that hangs holds the wait only until its deadline.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ZVConfigure::waitForUploads(dispatch_time(DISPATCH_TIME_NOW, 200 * NSEC_PER_MSEC)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(sinks().primary.requests().size(), 2u);

    // Answered, the envelope job still has two files to post one after the other: the wait
    // returns only once both jobs ended.
    sinks().primary.setHeld(false);
    EXPECT_TRUE(ZVConfigure::waitForUploads(dispatch_time(DISPATCH_TIME_NOW, 30 * NSEC_PER_SEC)));
    EXPECT_EQ(sinks().primary.requests().size(), 4u);
    EXPECT_TRUE(job->isFinished());
    EXPECT_TRUE(statelessJob->isFinished());
    EXPECT_FALSE(ZVEnvelopeBuild::sharedInstance()->jobRunning());
    for (const auto& path : {oldest, middle, newest, stateless}) EXPECT_FALSE(ZVFileUtility::isExistAtPath(path)) << path;
    // Nothing queued: at once, also for a deadline already past.
    EXPECT_TRUE(ZVConfigure::waitForUploads(DISPATCH_TIME_NOW));
}

namespace {

// A plain HTTP server on loopback that answers every connection with a head promising a large
// body, then sends one byte of it every 50 ms until the client goes or the server ends: a
// request that is never silent, so only a bound on the whole request ends it.
class TricklingServer {
public:
    TricklingServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "no loopback port";
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~TricklingServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stop_.notify_all();
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/slow"; }
    int connections() const { return connections_.load(); }

private:
    void serve() {
        for (;;) {
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            ++connections_;
            const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\n\r\n";
            bool open = ::send(client, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size());
            std::unique_lock lock(mutex_);
            while (open && !stopping_) {
                open = ::send(client, "x", 1, MSG_NOSIGNAL) == 1;
                stop_.wait_for(lock, std::chrono::milliseconds(50));
            }
            lock.unlock();
            ::close(client);
            if (stopping_) return;
        }
    }
    int listener_ = -1, port_ = 0;
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace

TEST_F(Upload, APostThatNeverFallsSilentEndsAtTheRequestsTimeOut) {
    TricklingServer server;
    const auto path = file("a==7.3.5&=1.0", 1000);
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url()));
    request->setTimeoutInterval(0.3);
    dispatch_semaphore_t semaphore = dispatch_semaphore_create(0);
    std::atomic<int> completions{0};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ZVNetworkWork::postSynchronously(request, path, semaphore, [&](const auto&, const auto&, const auto&) {
        ++completions;
        return true;
    }));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300 + static_cast<int>(ZVNetworkWork::kAnswerGraceSeconds * 1000)));
    EXPECT_LT(waited, std::chrono::seconds(30));
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(completions.load(), 0) << "the abandoned request's completion never runs";

    // The shared semaphore stays balanced: the next request on it waits for its own answer.
    sinks().primary.setDefaultAnswer(accepted());
    auto next = ZVNetworkWork::setupRequest("https://" + sinks().primary.hostPort() + "/unify_logs", "a==7.3.5&=1.0");
    EXPECT_TRUE(ZVNetworkWork::postSynchronously(next, path, semaphore, [&](const auto& data, const auto&, const auto&) {
        ++completions;
        return data && !data->empty();
    }));
    EXPECT_EQ(completions.load(), 1);
    EXPECT_NE(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
}
