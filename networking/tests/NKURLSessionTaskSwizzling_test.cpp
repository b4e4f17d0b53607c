#include <networking/NKHTTPSessionManager.h>
#include <networking/NKNetworkingNotifications.h>
#include <networking/NKURLSessionTaskSwizzling.h>

#include <gtest/gtest.h>

#include <platform_dispatch/NSThread.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURLSession.h>
#include <platform_runtime/ObjCRuntime.h>

#include "NKSessionTestSupport.h"

namespace {

// Another copy of the hook, as a second stack in the same process would carry.
class NKTestCopyOfTaskHook : public NSObject {
    NS_CLASS(NKTestCopyOfTaskHook, NSObject)
};

// Counts the process-wide (or the manager's) resume and suspend notifications of one task.
struct Counter {
    std::atomic<int> resumes{0}, suspends{0};
    std::atomic<bool> offMain{false};
    std::vector<std::shared_ptr<NSObject>> tokens;
    Counter(const NSURLSessionTaskPtr& task, const char* resumeName, const char* suspendName, bool mustBeMain) {
        auto center = NSNotificationCenter::defaultCenter();
        tokens.push_back(center->addObserverForName(resumeName, Value(task), nullptr, [this, mustBeMain](const NSNotification&) {
            if (mustBeMain && !NSThread::isMainThread()) offMain = true;
            ++resumes;
        }));
        tokens.push_back(center->addObserverForName(suspendName, Value(task), nullptr, [this, mustBeMain](const NSNotification&) {
            if (mustBeMain && !NSThread::isMainThread()) offMain = true;
            ++suspends;
        }));
    }
    ~Counter() {
        for (auto& token : tokens) NSNotificationCenter::defaultCenter()->removeObserver(token);
    }
};

class TaskHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.routes().Get("/hang", [this](const httplib::Request&, httplib::Response& res) {
            server.waitAtGate(10);
            res.set_content("{}", "application/json");
        });
        server.start();
    }
    nktest::Server server;
};

TEST_F(TaskHookTest, EveryTaskAnnouncesResumeAndSuspendOnce) {
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    auto task = session->dataTaskWithURL(NSURL::URLWithString(server.url("hang")));
    Counter counter(task, NKNSURLSessionTaskDidResumeNotification, NKNSURLSessionTaskDidSuspendNotification, false);

    task->resume();
    EXPECT_EQ(counter.resumes, 1);  // synchronously, on the resuming thread
    task->resume();
    EXPECT_EQ(counter.resumes, 1);
    task->suspend();
    EXPECT_EQ(counter.suspends, 1);
    task->suspend();
    EXPECT_EQ(counter.suspends, 1);
    task->resume();
    EXPECT_EQ(counter.resumes, 2);
    task->cancel();
    task->resume();  // not running: announced, whatever the state
    EXPECT_EQ(counter.resumes, 3);
    session->invalidateAndCancel();
}

TEST_F(TaskHookTest, InstallingAgainChangesNothing) {
    IMP before = NSURLSessionTask::classObject().instanceMethod("resume")->implementation();
    _NKURLSessionTaskSwizzling::installIntoTaskClasses();
    NKInstallTaskResumeSuspendHook(NKTestCopyOfTaskHook::classObject());
    EXPECT_EQ(NSURLSessionTask::classObject().instanceMethod("resume")->implementation(), before);
    EXPECT_EQ(before, _NKURLSessionTaskSwizzling::classObject().ownInstanceMethod("nk_resume")->implementation());
    EXPECT_EQ(NSURLSessionDataTask::classObject().ownInstanceMethod("resume"), nullptr);

    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    auto task = session->dataTaskWithURL(NSURL::URLWithString(server.url("hang")));
    Counter counter(task, NKNSURLSessionTaskDidResumeNotification, NKNSURLSessionTaskDidSuspendNotification, false);
    task->resume();
    task->suspend();
    EXPECT_EQ(counter.resumes, 1);
    EXPECT_EQ(counter.suspends, 1);
    session->invalidateAndCancel();
    // The cancel ends the load on the loading thread: the test waits for it rather than end
    // the process with the task, its loader and its session still holding each other.
    EXPECT_TRUE(nktest::waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
}

TEST_F(TaskHookTest, HookClassAnswersCanceling) {
    auto hook = std::make_shared<_NKURLSessionTaskSwizzling>();
    EXPECT_EQ(invokeMethod<int64_t()>(*hook, "state"), NSURLSessionTaskStateCanceling);
}

TEST_F(TaskHookTest, ManagerRelaysItsOwnTasksOnTheMainThread) {
    auto manager = NKURLSessionManager::manager();
    auto task = manager->dataTaskWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("hang"))),
                                             nullptr, nullptr, nullptr);
    Counter counter(task, NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidSuspendNotification, true);
    task->resume();
    task->suspend();
    ASSERT_TRUE(nktest::waitFor([&] { return counter.resumes == 1 && counter.suspends == 1; }));

    // A task whose description was replaced is no longer the manager's to announce.
    task->setTaskDescription("someone else's");
    task->resume();
    nktest::waitFor([] { return false; }, 0.1);
    EXPECT_EQ(counter.resumes, 1);
    EXPECT_FALSE(counter.offMain);

    // A task made directly on another session is never relayed.
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    auto foreign = session->dataTaskWithURL(NSURL::URLWithString(server.url("hang")));
    Counter foreignCounter(foreign, NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidSuspendNotification, true);
    foreign->resume();
    nktest::waitFor([] { return false; }, 0.1);
    EXPECT_EQ(foreignCounter.resumes, 0);

    session->invalidateAndCancel();
    manager->invalidateSessionCancelingTasks(true, false);
}

// The manager announces the tasks it holds a record for, and no others: not a task made on its
// session behind its back (even under its description), nor one of its own once it finished.
TEST_F(TaskHookTest, ManagerRelaysOnlyTasksItHoldsARecordFor) {
    auto manager = NKURLSessionManager::manager();
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("hang")));
    std::atomic<bool> finished{false};
    auto own = manager->dataTaskWithRequest(request, nullptr, nullptr,
                                            [&](const NSURLResponsePtr&, const Value&, const NSErrorPtr&) { finished = true; });
    auto unrecorded = manager->session()->dataTaskWithRequest(request);
    unrecorded->setTaskDescription(own->taskDescription());
    Counter ownCounter(own, NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidSuspendNotification, true);
    Counter unrecordedCounter(unrecorded, NKNetworkingTaskDidResumeNotification, NKNetworkingTaskDidSuspendNotification, true);

    unrecorded->resume();
    own->resume();
    ASSERT_TRUE(nktest::waitFor([&] { return ownCounter.resumes == 1; }));
    own->cancel();
    ASSERT_TRUE(nktest::waitFor([&] { return finished.load(); }));
    own->resume();  // a finished task still announces the call process-wide
    nktest::waitFor([] { return false; }, 0.1);
    EXPECT_EQ(ownCounter.resumes, 1);
    EXPECT_EQ(unrecordedCounter.resumes, 0);
    EXPECT_FALSE(ownCounter.offMain);

    server.openGate();
    manager->invalidateSessionCancelingTasks(true, false);
}

}  // namespace
