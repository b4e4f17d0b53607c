// The kit's session manager beside the app's, in one process: each difference between the
// two stacks run as the same case on both managers (challenges, refused trust, download
// notifications, metrics, invalidation, task records, completion groups, task creation and
// background upload retries).

#include <gtest/gtest.h>

#include <networking/NKHTTPSessionManager.h>
#include <networking/NKNetworkingNotifications.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_net/NSURLError.h>
#include <platform_net/NSURLProtectionSpace.h>
#include <platform_runtime/ObjCRuntime.h>
#include <sdk_http/ZPKNKHTTPSessionManager.h>

#include "../../networking/tests/NKSessionTestSupport.h"
#include "../../platform/net/tests/TestCertificates.h"

namespace {

struct Outcome {
    std::atomic<bool> done{false};
    Value object;
    NSErrorPtr error;
    std::string queueLabel;
};

NKURLSessionManagerCore::CompletionHandler record(Outcome& out) {
    return [&out](const NSURLResponsePtr&, const Value& object, const NSErrorPtr& error) {
        out.object = object;
        out.error = error;
        out.done = true;
    };
}

NSURLRequestPtr requestFor(const std::string& url) { return NSURLRequest::requestWithURL(NSURL::URLWithString(url)); }

NSURLAuthenticationChallengePtr challenge(const std::string& method) {
    auto space = std::make_shared<NSURLProtectionSpace>("127.0.0.1", 443, std::string("https"), std::nullopt, method);
    return std::make_shared<NSURLAuthenticationChallenge>(space, nullptr, 0, nullptr, nullptr);
}

// The same TLS server for both stacks; its root is known to no one.
class BothStacksTLSTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ca = new testcerts::Certificate(testcerts::makeCA("Kit Test Root"));
        leaf = new testcerts::Certificate(testcerts::makeServer(*ca));
    }
    void SetUp() override {
        auto [certificate, key] = leaf->writePEM(dir.path(), "server");
        server = std::make_unique<nktest::Server>(certificate, key);
        server->routes().Get("/json", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"secure\":true}", "application/json");
        });
        server->start();
    }
    template <class Manager>
    void fetch(Manager& manager, Outcome& out) {
        auto task = manager.dataTaskWithRequest(requestFor(server->url("json")), nullptr, nullptr, record(out));
        task->resume();
        ASSERT_TRUE(nktest::waitFor([&] { return out.done.load(); }));
    }
    static std::set<NKCertificateData> pinnedRoot() { return {ca->der()}; }

    static inline testcerts::Certificate *ca, *leaf;
    nktest::TempDir dir;
    std::unique_ptr<nktest::Server> server;
};

TEST_F(BothStacksTLSTest, RefusedTrustCancelsOnTheKitAndReportsUntrustedOnTheApp) {
    auto kit = ZPKNKURLSessionManager::manager();
    auto app = NKURLSessionManager::manager();
    Outcome kitOut, appOut;
    fetch(*kit, kitOut);
    fetch(*app, appOut);
    ASSERT_TRUE(kitOut.error);
    EXPECT_EQ(kitOut.error->domain(), NSURLErrorDomain);
    EXPECT_EQ(kitOut.error->code(), NSURLErrorCancelled);
    ASSERT_TRUE(appOut.error);
    EXPECT_EQ(appOut.error->code(), NSURLErrorServerCertificateUntrusted);
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
}

TEST_F(BothStacksTLSTest, PinnedRootIsAcceptedByBoth) {
    auto kit = ZPKNKURLSessionManager::manager();
    auto kitPolicy = ZPKNKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate, pinnedRoot());
    kitPolicy->setAllowInvalidCertificates(true);
    kit->setSecurityPolicy(kitPolicy);
    auto app = NKURLSessionManager::manager();
    auto appPolicy = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate, pinnedRoot());
    appPolicy->setAllowInvalidCertificates(true);
    app->setSecurityPolicy(appPolicy);
    Outcome kitOut, appOut;
    fetch(*kit, kitOut);
    fetch(*app, appOut);
    EXPECT_FALSE(kitOut.error) << kitOut.error->description();
    EXPECT_FALSE(appOut.error) << appOut.error->description();
    EXPECT_TRUE(kitOut.object.objectForKey("secure").boolValue());
    EXPECT_TRUE(appOut.object.objectForKey("secure").boolValue());
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
}

TEST_F(BothStacksTLSTest, KitSessionChallengeCallbackDecides) {
    auto kit = ZPKNKURLSessionManager::manager();
    int asked = 0;
    kit->setSessionDidReceiveAuthenticationChallengeBlock(
        [&](const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr& c, NSURLCredentialPtr* credential) {
            ++asked;
            *credential = NSURLCredential::credentialForTrust(c->protectionSpace()->serverTrust());
            return NSURLSessionAuthChallengeUseCredential;
        });
    Outcome out;
    fetch(*kit, out);
    EXPECT_GE(asked, 1);
    EXPECT_FALSE(out.error) << out.error->description();
    kit->invalidateSessionCancelingTasks(true);
}

TEST(ZPKNKURLSessionManager, SessionChallengeIsAlwaysHandled) {
    auto kit = ZPKNKURLSessionManager::manager();
    auto app = NKURLSessionManager::manager();
    EXPECT_TRUE(kit->respondsToSelector(NSURLSessionSelector::didReceiveChallenge));
    EXPECT_FALSE(app->respondsToSelector(NSURLSessionSelector::didReceiveChallenge));
    auto answer = [](const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr&, NSURLCredentialPtr*) {
        return NSURLSessionAuthChallengePerformDefaultHandling;
    };
    kit->setSessionDidReceiveAuthenticationChallengeBlock(answer);
    app->setSessionDidReceiveAuthenticationChallengeBlock(answer);
    EXPECT_TRUE(kit->respondsToSelector(NSURLSessionSelector::didReceiveChallenge));
    EXPECT_TRUE(app->respondsToSelector(NSURLSessionSelector::didReceiveChallenge));
    // The four optional events the kit answers by callback, and no metrics event at all.
    for (const char* selector : {NSURLSessionSelector::taskWillPerformHTTPRedirection,
                                 NSURLSessionSelector::dataTaskDidReceiveResponse,
                                 NSURLSessionSelector::dataTaskWillCacheResponse,
                                 NSURLSessionSelector::didFinishEventsForBackgroundURLSession,
                                 NSURLSessionSelector::taskDidFinishCollectingMetrics}) {
        EXPECT_FALSE(kit->respondsToSelector(selector)) << selector;
    }
    EXPECT_TRUE(app->respondsToSelector(NSURLSessionSelector::taskDidFinishCollectingMetrics));
    auto kitInvalid = nktest::watchInvalidation(*kit), appInvalid = nktest::watchInvalidation(*app);
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
    EXPECT_TRUE(nktest::waitFor([&] { return kitInvalid->load() && appInvalid->load(); }));
}

TEST(ZPKNKURLSessionManager, ChallengeAnswersWithoutAndWithTheTaskCallback) {
    auto kit = ZPKNKURLSessionManager::manager();
    auto session = kit->session();
    auto task = session->dataTaskWithRequest(requestFor("https://127.0.0.1/"));
    struct Answer {
        int64_t disposition = -1;
        NSURLCredentialPtr credential;
    };
    auto ask = [&](bool sessionLevel, const NSURLAuthenticationChallengePtr& c) {
        Answer a;
        auto done = [&a](NSURLSessionAuthChallengeDisposition d, NSURLCredentialPtr cred) {
            a.disposition = d;
            a.credential = cred;
        };
        if (sessionLevel) kit->didReceiveChallenge(session, c, done);
        else kit->taskDidReceiveChallenge(session, task, c, done);
        return a;
    };
    // No trust object: the policy refuses; other methods get default handling.
    EXPECT_EQ(ask(true, challenge(NSURLAuthenticationMethodServerTrust)).disposition,
              NSURLSessionAuthChallengeCancelAuthenticationChallenge);
    EXPECT_EQ(ask(false, challenge(NSURLAuthenticationMethodServerTrust)).disposition,
              NSURLSessionAuthChallengeCancelAuthenticationChallenge);
    EXPECT_FALSE(NKURLSessionManagerCore::challengeErrorForTask(*task));  // nothing attached: the task just ends
    EXPECT_EQ(ask(true, challenge(NSURLAuthenticationMethodHTTPBasic)).disposition,
              NSURLSessionAuthChallengePerformDefaultHandling);
    EXPECT_EQ(ask(false, challenge(NSURLAuthenticationMethodHTTPBasic)).disposition,
              NSURLSessionAuthChallengePerformDefaultHandling);

    // The task callback's disposition and credential are used as given.
    auto given = NSURLCredential::credentialWithUser("u", "p", NSURLCredentialPersistenceNone);
    kit->setTaskDidReceiveAuthenticationChallengeBlock(
        [&](const NSURLSessionPtr&, const NSURLSessionTaskPtr& t, const NSURLAuthenticationChallengePtr&,
            NSURLCredentialPtr* credential) {
            EXPECT_EQ(t, task);
            *credential = given;
            return NSURLSessionAuthChallengeUseCredential;
        });
    Answer a = ask(false, challenge(NSURLAuthenticationMethodServerTrust));
    EXPECT_EQ(a.disposition, NSURLSessionAuthChallengeUseCredential);
    EXPECT_EQ(a.credential, given);
    auto invalid = nktest::watchInvalidation(*kit);
    task->cancel();
    kit->invalidateSessionCancelingTasks(true);
    EXPECT_TRUE(nktest::waitFor([&] { return invalid->load(); }));
}

class BothStacksTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.routes().Get("/json", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"a\":1}", "application/json");
        });
        server.routes().Get("/hang", [this](const httplib::Request&, httplib::Response& res) {
            server.waitAtGate(10);
            res.set_content("{}", "application/json");
        });
        server.start();
    }
    void TearDown() override { server.openGate(); }
    nktest::Server server;
};

// Counts the move notifications posted for one task.
struct MoveNotes {
    std::atomic<int> moved{0}, failed{0};
    std::vector<std::shared_ptr<NSObject>> tokens;
    MoveNotes() {
        auto center = NSNotificationCenter::defaultCenter();
        tokens.push_back(center->addObserverForName(NKURLSessionDownloadTaskDidMoveFileSuccessfullyNotification, Value(),
                                                    nullptr, [this](const NSNotification&) { ++moved; }));
        tokens.push_back(center->addObserverForName(NKURLSessionDownloadTaskDidFailToMoveFileNotification, Value(),
                                                    nullptr, [this](const NSNotification&) { ++failed; }));
    }
    ~MoveNotes() {
        for (auto& t : tokens) NSNotificationCenter::defaultCenter()->removeObserver(t);
    }
};

TEST_F(BothStacksTest, DownloadMovesAnnounceFailuresOnBothAndSuccessOnlyOnTheApp) {
    nktest::TempDir dir;
    struct Case {
        const char* name;
        bool kit;
        std::string destination;
        int moved, failed;
    };
    const Case cases[] = {
        {"kit, moved", true, dir.path() + "/kit.json", 0, 0},
        {"app, moved", false, dir.path() + "/app.json", 1, 0},
        {"kit, no such folder", true, dir.path() + "/missing/kit.json", 0, 1},
        {"app, no such folder", false, dir.path() + "/missing/app.json", 0, 1},
    };
    auto kit = ZPKNKURLSessionManager::manager();
    auto app = NKURLSessionManager::manager();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MoveNotes notes;
        Outcome out;
        NSURLPtr destination = NSURL::fileURLWithPath(c.destination);
        auto to = [destination](const NSURLPtr&, const NSURLResponsePtr&) { return destination; };
        NKURLSessionManagerCore& manager = c.kit ? static_cast<NKURLSessionManagerCore&>(*kit) : *app;
        auto task = manager.downloadTaskWithRequest(requestFor(server.url("json")), nullptr, to, record(out));
        task->resume();
        ASSERT_TRUE(nktest::waitFor([&] { return out.done.load(); }));
        nktest::waitFor([&] { return notes.moved + notes.failed >= c.moved + c.failed; }, 5);
        EXPECT_EQ(notes.moved.load(), c.moved);
        EXPECT_EQ(notes.failed.load(), c.failed);
    }
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
}

TEST_F(BothStacksTest, OnlyTheAppsCompletionCarriesMetrics) {
    auto kit = ZPKNKURLSessionManager::manager();
    auto app = NKURLSessionManager::manager();
    for (bool isKit : {true, false}) {
        SCOPED_TRACE(isKit ? "kit" : "app");
        NKURLSessionManagerCore& manager = isKit ? static_cast<NKURLSessionManagerCore&>(*kit) : *app;
        NSURLSessionDataTaskPtr task;
        std::atomic<bool> seen{false};
        Value userInfo;
        auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
            NKNetworkingTaskDidCompleteNotification, Value(), nullptr, [&](const NSNotification& n) {
                if (n.object().objectAs<NSURLSessionTask>() != task) return;
                userInfo = n.userInfo();
                seen = true;
            });
        Outcome out;
        task = manager.dataTaskWithRequest(requestFor(server.url("json")), nullptr, nullptr, record(out));
        task->resume();
        ASSERT_TRUE(nktest::waitFor([&] { return out.done.load() && seen.load(); }));
        EXPECT_EQ(out.object, Value::dict({{"a", 1}}));
        EXPECT_EQ(userInfo.objectForKey(Value(NKNetworkingTaskDidCompleteSessionTaskMetrics)).isNull(), isKit);
        EXPECT_FALSE(userInfo.objectForKey(Value(NKNetworkingTaskDidCompleteResponseSerializerKey)).isNull());
        NSNotificationCenter::defaultCenter()->removeObserver(token);
    }
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
}

TEST_F(BothStacksTest, KitInvalidationKeepsTheSession) {
    auto kit = ZPKNKURLSessionManager::manager();
    auto first = kit->session();
    kit->invalidateSessionCancelingTasks(false);
    EXPECT_EQ(kit->session(), first);
    auto app = NKURLSessionManager::manager();
    auto appFirst = app->session();
    app->invalidateSessionCancelingTasks(false, true);
    EXPECT_NE(app->session(), appFirst);
    app->invalidateSessionCancelingTasks(true, false);
}

TEST_F(BothStacksTest, KitTaskRecordsResumeTasksFromOS9Only) {
    auto kit = ZPKNKURLSessionManager::manager();
    auto app = NKURLSessionManager::manager();
    for (auto version : {NSOperatingSystemVersion{8, 4, 0}, NSOperatingSystemVersion{9, 0, 0}}) {
        SCOPED_TRACE(version.majorVersion);
        NSProcessInfo::setOperatingSystemVersionForTesting(version);
        auto kitTask = kit->dataTaskWithRequest(requestFor(server.url("hang")), nullptr, nullptr, nullptr);
        auto appTask = app->dataTaskWithRequest(requestFor(server.url("hang")), nullptr, nullptr, nullptr);
        for (const auto& progress : {kit->downloadProgressForTask(kitTask), app->downloadProgressForTask(appTask)}) {
            progress->pause();
            progress->resume();
        }
        EXPECT_EQ(kitTask->state(), version.majorVersion >= 9 ? NSURLSessionTaskStateRunning : NSURLSessionTaskStateSuspended);
        EXPECT_EQ(appTask->state(), NSURLSessionTaskStateRunning);
        // Cancelling through the progress works on both at any version.
        kit->uploadProgressForTask(kitTask)->cancel();
        app->uploadProgressForTask(appTask)->cancel();
        EXPECT_GE(kitTask->state(), NSURLSessionTaskStateCanceling);
    }
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
}

TEST_F(BothStacksTest, KitCompletionGroupIsItsOwn) {
    EXPECT_NE(ZPKNKURLSessionManagerTaskDelegate::sharedCompletionGroup(),
              NKURLSessionManagerTaskDelegate::sharedCompletionGroup());
    EXPECT_NE(ZPKNKURLSessionManagerTaskDelegate::processingQueue(), NKURLSessionManagerTaskDelegate::processingQueue());
    EXPECT_STREQ(dispatch_queue_get_label(ZPKNKURLSessionManagerTaskDelegate::processingQueue()),
                 "com.netkit.networking.session.manager.processing");

    // An app completion held open does not keep the kit's group waiting.
    auto kit = ZPKNKURLSessionManager::manager();
    auto app = NKURLSessionManager::manager();
    std::atomic<bool> release{false}, appEntered{false};
    app->setCompletionQueue(dispatch_queue_create("com.netkit.test.app", DISPATCH_QUEUE_SERIAL));
    Outcome kitOut;
    auto appTask = app->dataTaskWithRequest(requestFor(server.url("json")), nullptr, nullptr,
                                            [&](const NSURLResponsePtr&, const Value&, const NSErrorPtr&) {
                                                appEntered = true;
                                                while (!release.load()) std::this_thread::yield();
                                            });
    appTask->resume();
    ASSERT_TRUE(nktest::waitFor([&] { return appEntered.load(); }));
    auto kitTask = kit->dataTaskWithRequest(requestFor(server.url("json")), nullptr, nullptr, record(kitOut));
    kitTask->resume();
    ASSERT_TRUE(nktest::waitFor([&] { return kitOut.done.load(); }));
    EXPECT_EQ(dispatch_group_wait(ZPKNKURLSessionManagerTaskDelegate::sharedCompletionGroup(), DISPATCH_TIME_NOW), 0);
    EXPECT_NE(dispatch_group_wait(NKURLSessionManagerTaskDelegate::sharedCompletionGroup(), DISPATCH_TIME_NOW), 0);
    release = true;
    EXPECT_EQ(dispatch_group_wait(NKURLSessionManagerTaskDelegate::sharedCompletionGroup(),
                                  dispatch_time(DISPATCH_TIME_NOW, 10'000'000'000)),
              0);
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
}

// Records the queue each data task is made on, through the session's factory slot.
struct CreationProbe {
    static inline std::mutex mutex;
    static inline std::vector<std::string> labels;
    CreationProbe() {
        ObjCClass& cls = NSURLSession::classObject();
        cls.addMethod("probe_dataTaskWithRequest:",
                      makeInstanceImp<NSURLSessionDataTaskPtr(NSURLRequestPtr)>([](NSObject& self, NSURLRequestPtr r) {
                          const char* label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
                          {
                              std::lock_guard lock(mutex);
                              labels.push_back(label ? label : "");
                          }
                          return invokeMethod<NSURLSessionDataTaskPtr(NSURLRequestPtr)>(
                              self, "probe_dataTaskWithRequest:", std::move(r));
                      }));
        cls.exchangeInstanceMethods("dataTaskWithRequest:", "probe_dataTaskWithRequest:");
    }
    ~CreationProbe() { NSURLSession::classObject().exchangeInstanceMethods("dataTaskWithRequest:", "probe_dataTaskWithRequest:"); }
};

TEST_F(BothStacksTest, KitCreatesTasksSeriallyBelowFoundation1140) {
    auto kit = ZPKNKURLSessionManager::manager();
    CreationProbe probe;
    for (auto version : {NSOperatingSystemVersion{7, 1, 0}, NSOperatingSystemVersion{9, 0, 0}}) {
        SCOPED_TRACE(version.majorVersion);
        NSProcessInfo::setOperatingSystemVersionForTesting(version);
        CreationProbe::labels.clear();
        auto task = kit->dataTaskWithRequest(requestFor(server.url("json")), nullptr, nullptr, nullptr);
        ASSERT_TRUE(task);
        ASSERT_EQ(CreationProbe::labels.size(), 1u);
        if (version.majorVersion == 7) {
            EXPECT_EQ(CreationProbe::labels[0], "com.netkit.networking.session.manager.creation");
        } else {
            EXPECT_NE(CreationProbe::labels[0], "com.netkit.networking.session.manager.creation");
        }
        task->cancel();
    }
    NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
    kit->invalidateSessionCancelingTasks(true);
}

// Makes the session's file-upload factory answer nothing the first `failures` times.
struct FailingFileUploads {
    static inline std::atomic<int> remaining{0}, calls{0};
    explicit FailingFileUploads(int failures) {
        remaining = failures;
        calls = 0;
        ObjCClass& cls = NSURLSession::classObject();
        cls.addMethod("probe_uploadTaskWithRequest:fromFile:",
                      makeInstanceImp<NSURLSessionUploadTaskPtr(NSURLRequestPtr, NSURLPtr)>(
                          [](NSObject& self, NSURLRequestPtr r, NSURLPtr f) -> NSURLSessionUploadTaskPtr {
                              ++calls;
                              if (remaining-- > 0) return nullptr;
                              return invokeMethod<NSURLSessionUploadTaskPtr(NSURLRequestPtr, NSURLPtr)>(
                                  self, "probe_uploadTaskWithRequest:fromFile:", std::move(r), std::move(f));
                          }));
        cls.exchangeInstanceMethods("uploadTaskWithRequest:fromFile:", "probe_uploadTaskWithRequest:fromFile:");
    }
    ~FailingFileUploads() {
        NSURLSession::classObject().exchangeInstanceMethods("uploadTaskWithRequest:fromFile:",
                                                            "probe_uploadTaskWithRequest:fromFile:");
    }
};

TEST_F(BothStacksTest, FileUploadsAreRetriedOnlyOnBackgroundSessionsWithTheSwitchOn) {
    nktest::TempDir dir;
    NSURLPtr file = NSURL::fileURLWithPath(dir.path() + "/upload.bin");
    std::ofstream(file->path()) << "payload";
    struct Case {
        const char* name;
        bool background, retry;
        int failures;
        bool made;
        int calls;
    };
    const Case cases[] = {
        {"one failure", true, true, 1, true, 2},       {"three failures", true, true, 3, true, 4},
        {"four failures", true, true, 4, false, 4},    {"switch off", true, false, 1, false, 1},
        {"default configuration", false, true, 1, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto configuration = c.background
                                 ? NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.kit.bg")
                                 : NSURLSessionConfiguration::defaultSessionConfiguration();
        auto kit = ZPKNKURLSessionManager::manager(configuration);
        kit->setAttemptsToRecreateUploadTasksForBackgroundSessions(c.retry);
        NSURLSessionUploadTaskPtr task;
        {
            FailingFileUploads failing(c.failures);
            NSMutableURLRequestPtr request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(server.url("json")));
            request->setHTTPMethod("POST");
            task = kit->uploadTaskWithRequest(request, file, nullptr, nullptr);
            EXPECT_EQ(FailingFileUploads::calls.load(), c.calls);
        }
        EXPECT_EQ(task != nullptr, c.made);
        EXPECT_EQ(kit->tasks().size(), c.made ? 1u : 0u);
        if (task) {
            EXPECT_TRUE(kit->delegateForTask(task));
            task->cancel();
        }
        kit->invalidateSessionCancelingTasks(true);
    }
}

TEST(ZPKNKURLSessionManager, ClassesAndCopies) {
    auto kit = ZPKNKHTTPSessionManager::manager();
    EXPECT_EQ(kit->objcClass().superclass()->name(), "ZPKNKURLSessionManager");
    EXPECT_EQ(kit->objcClass().superclass()->superclass()->name(), "NSURLSessionDownloadDelegate");
    EXPECT_FALSE(kit->isKindOfClass(&NKURLSessionManager::classObject()));
    auto app = NKHTTPSessionManager::manager();
    EXPECT_FALSE(app->isKindOfClass(&ZPKNKURLSessionManager::classObject()));
    app->invalidateSessionCancelingTasks(true, false);
    auto copy = kit->copy();
    EXPECT_EQ(copy->className(), "ZPKNKHTTPSessionManager");
    copy->invalidateSessionCancelingTasks(true);
    EXPECT_EQ(std::dynamic_pointer_cast<NSObject>(kit->responseSerializer())->className(), "ZPKNKJSONResponseSerializer");
    EXPECT_EQ(kit->requestSerializer()->className(), "ZPKNKHTTPRequestSerializer");
    EXPECT_EQ(kit->securityPolicy()->className(), "ZPKNKSecurityPolicy");
    EXPECT_EQ(kit->reachabilityManager(), ZPKNKNetworkReachabilityManager::sharedManager());
    kit->invalidateSessionCancelingTasks(true);
}

}  // namespace
