// Both stacks' resume / suspend hooks in one process: one process-wide notification per
// resume, each stack's managers re-posting only their own tasks, and on a task-class tree
// of the test's own the kit's hook installing when it comes first.

#include <gtest/gtest.h>

#include <networking/NKNetworkingNotifications.h>
#include <networking/NKURLSessionManager.h>
#include <networking/NKURLSessionTaskSwizzling.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_runtime/ObjCRuntime.h>
#include <sdk_http/ZPKNKURLSessionManager.h>
#include <sdk_http/ZUD_NKURLSessionTaskSwizzling.h>

#include "../../networking/tests/NKSessionTestSupport.h"

// A task-like class tree no hook has seen.
class ZUDTestFreshTask : public NSObject {
    NS_CLASS(ZUDTestFreshTask, NSObject)
public:
    std::atomic<int> resumed{0};
    std::atomic<int64_t> state{NSURLSessionTaskStateSuspended};
};
class ZUDTestFreshDataTask : public ZUDTestFreshTask {
    NS_CLASS(ZUDTestFreshDataTask, ZUDTestFreshTask)
};

namespace {

struct Count {
    std::atomic<int> n{0};
    std::shared_ptr<NSObject> token;
    Count(const char* name, const Value& object) {
        token = NSNotificationCenter::defaultCenter()->addObserverForName(name, object, nullptr,
                                                                          [this](const NSNotification&) { ++n; });
    }
    ~Count() { NSNotificationCenter::defaultCenter()->removeObserver(token); }
};

TEST(BothTaskHooks, OneResumeOneNotificationAndEachManagerItsOwnTasks) {
    nktest::Server server;
    server.routes().Get("/hang", [&](const httplib::Request&, httplib::Response& res) {
        server.waitAtGate(10);
        res.set_content("{}", "application/json");
    });
    server.start();
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("hang")));
    auto kit = ZPKNKURLSessionManager::manager();
    auto app = NKURLSessionManager::manager();
    auto kitTask = kit->dataTaskWithRequest(request, nullptr, nullptr, nullptr);
    auto appTask = app->dataTaskWithRequest(request, nullptr, nullptr, nullptr);

    Count processWide(NKNSURLSessionTaskDidResumeNotification, Value(kitTask));
    Count kitRelays(NKNetworkingTaskDidResumeNotification, Value(kitTask));
    Count appRelays(NKNetworkingTaskDidResumeNotification, Value(appTask));
    kitTask->resume();
    EXPECT_EQ(processWide.n.load(), 1);
    appTask->resume();
    // Relays go to the main queue in order: once the app's is in, the kit's would be too.
    ASSERT_TRUE(nktest::waitFor([&] { return appRelays.n.load() == 1; }));
    EXPECT_EQ(kitRelays.n.load(), 1);

    server.openGate();
    kit->invalidateSessionCancelingTasks(true);
    app->invalidateSessionCancelingTasks(true, false);
}

TEST(BothTaskHooks, KitHookInstallsFirstOnAFreshTree) {
    ObjCClass& base = ZUDTestFreshTask::classObject();
    base.addMethod("resume", makeInstanceImp<void()>([](NSObject& self) {
                       auto& task = static_cast<ZUDTestFreshTask&>(self);
                       ++task.resumed;
                       task.state = NSURLSessionTaskStateRunning;
                   }),
                   "v16@0:8");
    base.addMethod("suspend", makeInstanceImp<void()>([](NSObject& self) {
                       static_cast<ZUDTestFreshTask&>(self).state = NSURLSessionTaskStateSuspended;
                   }),
                   "v16@0:8");
    base.addMethod("state", makeInstanceImp<int64_t()>([](NSObject& self) -> int64_t {
                       return static_cast<ZUDTestFreshTask&>(self).state.load();
                   }),
                   "q16@0:8");

    ZUD_NKURLSessionTaskSwizzling::swizzleResumeAndSuspendMethodForClass(base);
    IMP kitHook = ZUD_NKURLSessionTaskSwizzling::classObject().ownInstanceMethod("nk_resume")->implementation();
    EXPECT_EQ(base.ownInstanceMethod("resume")->implementation(), kitHook);
    // The app's hook comes second and finds the class taken.
    _NKURLSessionTaskSwizzling::swizzleResumeAndSuspendMethodForClass(base);
    EXPECT_EQ(base.ownInstanceMethod("resume")->implementation(), kitHook);

    auto task = std::make_shared<ZUDTestFreshDataTask>();
    Count resumes(NKNSURLSessionTaskDidResumeNotification, Value(std::static_pointer_cast<NSObject>(task)));
    Count suspends(NKNSURLSessionTaskDidSuspendNotification, Value(std::static_pointer_cast<NSObject>(task)));
    invokeMethod<void()>(*task, "resume");
    invokeMethod<void()>(*task, "resume");  // already running: nothing more
    invokeMethod<void()>(*task, "suspend");
    EXPECT_EQ(task->resumed.load(), 2);
    EXPECT_EQ(resumes.n.load(), 1);
    EXPECT_EQ(suspends.n.load(), 1);
}

}  // namespace
