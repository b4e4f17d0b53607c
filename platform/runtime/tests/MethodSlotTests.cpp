#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include "ObjCFixtureClasses.h"

// A platform-style class whose `resume` routes through its method slot, a subclass that
// inherits it, and a hook class carrying the replacement.
class SlotTask : public NSObject {
    NS_CLASS(SlotTask, NSObject)
public:
    void resume() { invokeMethod<void()>(*this, "resume"); }
    std::string describe(int n) { return invokeMethod<std::string(int)>(*this, "describe:", n); }
    std::vector<std::string> log;
};

class SlotDataTask : public SlotTask {
    NS_CLASS(SlotDataTask, SlotTask)
};

// Used by the test that gives a subclass its own resume.
class SlotUploadTask : public SlotTask {
    NS_CLASS(SlotUploadTask, SlotTask)
};

class SlotHook : public NSObject {
    NS_CLASS(SlotHook, NSObject)
};

NS_CLASS_LOAD(SlotTask) {
    cls.addMethod("resume", makeInstanceImp<void()>([](NSObject& self) {
                      dynamic_cast<SlotTask&>(self).log.push_back("resume");
                  }),
                  "v16@0:8");
    cls.addMethod("describe:", makeInstanceImp<std::string(int)>([](NSObject&, int n) { return std::to_string(n); }));
    cls.addClassMethod("make", makeClassImp<std::shared_ptr<SlotTask>()>([](ObjCClass&) {
                           return std::make_shared<SlotTask>();
                       }));
}

namespace {
// The hook's replacement: logs, then runs the former implementation under its own name.
IMP hookResume() {
    return makeInstanceImp<void()>([](NSObject& self) {
        dynamic_cast<SlotTask&>(self).log.push_back("hook");
        invokeMethod<void()>(self, "nk_resume");
    });
}

// Runs each test on fresh classes' tables by undoing what it changed.
class MethodSlots : public ::testing::Test {
protected:
    void TearDown() override {
        // Restore the task's own resume and drop the added hook entries.
        SlotTask::classObject().replaceMethod("resume", original_);
    }
    void SetUp() override { original_ = SlotTask::classObject().ownInstanceMethod("resume")->implementation(); }
    IMP original_;
};
}  // namespace

TEST_F(MethodSlots, TypedCallRunsTheCurrentImplementation) {
    SlotTask task;
    task.resume();
    EXPECT_EQ(task.log, std::vector<std::string>{"resume"});
    EXPECT_EQ(task.describe(7), "7");
    auto made = invokeClassMethod<std::shared_ptr<SlotTask>()>(SlotTask::classObject(), "make");
    EXPECT_NE(made, nullptr);
}

TEST_F(MethodSlots, MissingSelectorOrWrongSignatureRaises) {
    SlotTask task;
    try {
        invokeMethod<void()>(task, "cancel");
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInvalidArgumentException);
        EXPECT_NE(e.reason().find("-[SlotTask cancel]: unrecognized selector sent to instance"), std::string::npos);
    }
    EXPECT_THROW(invokeMethod<void(int)>(task, "resume", 1), NSException);
    EXPECT_THROW(invokeClassMethod<void()>(SlotTask::classObject(), "missing"), NSException);
}

TEST_F(MethodSlots, AddRefusesAnOwnMethodButNotAnInheritedOne) {
    ObjCClass& base = SlotTask::classObject();
    ObjCClass& sub = SlotUploadTask::classObject();
    EXPECT_FALSE(class_addMethod(&base, "resume", hookResume(), "v16@0:8"));
    EXPECT_EQ(sub.ownInstanceMethod("resume"), nullptr);
    EXPECT_EQ(class_getInstanceMethod(&sub, "resume"), base.ownInstanceMethod("resume"));
    // The subclass may add its own; the base keeps its implementation.
    auto subImp = makeInstanceImp<void()>([](NSObject& self) { dynamic_cast<SlotTask&>(self).log.push_back("sub"); });
    EXPECT_TRUE(class_addMethod(&sub, "resume", subImp, "v16@0:8"));
    SlotUploadTask uploadTask;
    SlotTask task;
    uploadTask.resume();
    task.resume();
    EXPECT_EQ(uploadTask.log, std::vector<std::string>{"sub"});
    EXPECT_EQ(task.log, std::vector<std::string>{"resume"});
    // Replacing answers the previous own implementation; on a class without one it adds.
    EXPECT_EQ(class_replaceMethod(&sub, "resume", original_, "v16@0:8"), subImp);
    EXPECT_EQ(class_replaceMethod(&SlotHook::classObject(), "fresh", subImp, "v16@0:8"), nullptr);
    EXPECT_NE(SlotHook::classObject().ownInstanceMethod("fresh"), nullptr);
}

TEST_F(MethodSlots, HookInstalledByAddThenExchangeWrapsTheFormerImplementation) {
    ObjCClass& base = SlotTask::classObject();
    // The usual installation: add nk_resume with the hook's code, then exchange.
    if (class_addMethod(&base, "nk_resume", hookResume(), "v16@0:8"))
        method_exchangeImplementations(class_getInstanceMethod(&base, "resume"),
                                       class_getInstanceMethod(&base, "nk_resume"));
    SlotTask task;
    task.resume();
    EXPECT_EQ(task.log, (std::vector<std::string>{"hook", "resume"}));
    // A second installation finds nk_resume present and changes nothing.
    EXPECT_FALSE(class_addMethod(&base, "nk_resume", hookResume(), "v16@0:8"));
    // Subclasses that only inherit are covered.
    SlotDataTask dataTask;
    dataTask.resume();
    EXPECT_EQ(dataTask.log, (std::vector<std::string>{"hook", "resume"}));
    base.replaceMethod("nk_resume", original_);
}

TEST_F(MethodSlots, ExchangeOnASubclassThatInheritsAddsToTheSubclassAndTwiceRestores) {
    ObjCClass& sub = SlotDataTask::classObject();
    ASSERT_TRUE(SlotTask::classObject().addMethod("tb_resume", hookResume()) ||
                SlotTask::classObject().ownInstanceMethod("tb_resume"));
    // tb_resume must call the former resume under its own name here.
    SlotTask::classObject().replaceMethod("tb_resume", makeInstanceImp<void()>([](NSObject& self) {
                                              dynamic_cast<SlotTask&>(self).log.push_back("tb");
                                              invokeMethod<void()>(self, "tb_resume");
                                          }));
    ASSERT_TRUE(sub.exchangeInstanceMethods("resume", "tb_resume"));
    EXPECT_NE(sub.ownInstanceMethod("resume"), nullptr) << "added to the subclass";
    SlotDataTask dataTask;
    dataTask.resume();
    EXPECT_EQ(dataTask.log, (std::vector<std::string>{"tb", "resume"}));
    SlotTask task;
    task.resume();
    EXPECT_EQ(task.log, std::vector<std::string>{"resume"}) << "the superclass is unchanged";

    ASSERT_TRUE(sub.exchangeInstanceMethods("resume", "tb_resume"));
    dataTask.log.clear();
    dataTask.resume();
    EXPECT_EQ(dataTask.log, std::vector<std::string>{"resume"});
    EXPECT_FALSE(sub.exchangeInstanceMethods("resume", "absent"));
}

TEST_F(MethodSlots, ClassMethodsExchange) {
    ObjCClass& cls = SlotHook::classObject();
    cls.replaceClassMethod("sharedSession", makeClassImp<std::string()>([](ObjCClass&) { return std::string("platform"); }));
    cls.replaceClassMethod("zud_sharedSession", makeClassImp<std::string()>([](ObjCClass& c) {
                               return "hooked " + invokeClassMethod<std::string()>(c, "zud_sharedSession");
                           }));
    EXPECT_TRUE(cls.exchangeClassMethods("sharedSession", "zud_sharedSession"));
    EXPECT_EQ(invokeClassMethod<std::string()>(cls, "sharedSession"), "hooked platform");
    EXPECT_TRUE(cls.exchangeClassMethods("sharedSession", "zud_sharedSession"));
    EXPECT_EQ(invokeClassMethod<std::string()>(cls, "sharedSession"), "platform");
}

TEST(ObjCOperations, ClassOperationsByNameWithValues) {
    ObjCClass& cls = SlotHook::classObject();
    cls.addClassOperation("initVUVuvev:channel:", [](ObjCClass& c, const Value::Array& args) {
        return Value(c.name() + ":" + args.at(0).asStdString() + "/" + args.at(1).asStdString());
    });
    auto answer = performClassSelector("SlotHook", "initVUVuvev:channel:", {Value("key"), Value("App Store")});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->asString(), "SlotHook:key/App Store");
    EXPECT_TRUE(cls.respondsToSelector("initVUVuvev:channel:"));
    // Absent class, absent selector, or a typed method of another signature: not handled.
    EXPECT_FALSE(performClassSelector("NoSuchModule", "initVUVuvev:channel:", {}).has_value());
    EXPECT_FALSE(performClassSelector("SlotHook", "setCrashUerInfo:", {Value(1)}).has_value());
    EXPECT_FALSE(performClassSelector("SlotTask", "make", {}).has_value());
}

TEST(ObjCOperations, InstanceOperationsAndRespondsToSelector) {
    ObjCClass& cls = SlotHook::classObject();
    cls.addInstanceOperation("NSStringFromNSNumber:", [](NSObject&, const Value::Array& args) {
        return Value(args.at(0).stringValue());
    });
    auto hook = std::make_shared<SlotHook>();
    EXPECT_TRUE(hook->respondsToSelector("NSStringFromNSNumber:"));
    EXPECT_FALSE(hook->respondsToSelector("NSURLFromNSString:"));
    EXPECT_EQ(performSelector(hook.get(), "NSStringFromNSNumber:", {Value(12)})->asString(), "12");
    EXPECT_FALSE(performSelector(hook.get(), "NSURLFromNSString:", {Value("x")}).has_value());
    EXPECT_FALSE(performSelector(nullptr, "NSStringFromNSNumber:", {}).has_value());
}

// A delegate interface with optional methods: the class says which ones it implements.
class SlotDelegate : public NSObject {
    NS_CLASS(SlotDelegate, NSObject)
    NS_SELECTORS("URLSession:task:didCompleteWithError:")
};

class SlotDynamicDelegate : public SlotDelegate {
    NS_CLASS(SlotDynamicDelegate, SlotDelegate)
public:
    std::function<void()> challengeHandler;
    bool respondsToSelector(std::string_view selector) const override {
        if (selector == "URLSession:didReceiveChallenge:completionHandler:") return static_cast<bool>(challengeHandler);
        return SlotDelegate::respondsToSelector(selector);
    }
};

TEST(ObjCOperations, DelegatesAnswerRespondsToSelectorTruthfully) {
    SlotDynamicDelegate delegate;
    EXPECT_TRUE(delegate.respondsToSelector("URLSession:task:didCompleteWithError:"));
    EXPECT_FALSE(delegate.respondsToSelector("URLSession:dataTask:didReceiveData:"));
    EXPECT_FALSE(delegate.respondsToSelector("URLSession:didReceiveChallenge:completionHandler:"));
    delegate.challengeHandler = [] {};
    EXPECT_TRUE(delegate.respondsToSelector("URLSession:didReceiveChallenge:completionHandler:"));
    EXPECT_TRUE(class_respondsToSelector(&SlotDynamicDelegate::classObject(), "URLSession:task:didCompleteWithError:"));
    EXPECT_TRUE(delegate.respondsToSelector("dealloc"));
}

TEST(ObjCOperations, ReplacedRootDeallocSeesEveryDestroyedObject) {
    ObjCMethod* dealloc = class_getInstanceMethod(&NSObject::classObject(), "dealloc");
    ASSERT_NE(dealloc, nullptr);
    static std::vector<std::string> seen;
    static IMP kept;
    kept = method_setImplementation(dealloc, makeInstanceImp<void()>([](NSObject& self) {
                                 seen.push_back(self.objcClass().name());
                                 if (auto* fn = dynamic_cast<const ObjCTypedImp<void(NSObject&)>*>(kept.get())) (*fn)(self);
                             }));
    { auto item = std::make_shared<FixtureItem>(); }
    { SlotTask task; }
    method_setImplementation(dealloc, kept);
    { FixtureItem after; }
    EXPECT_EQ(seen, (std::vector<std::string>{"FixtureItem", "SlotTask"}));
}

TEST(ObjCOperations, CallsRunWhileAnotherThreadExchanges) {
    ObjCClass& cls = SlotHook::classObject();
    cls.replaceMethod("left", makeInstanceImp<int()>([](NSObject&) { return 1; }));
    cls.replaceMethod("right", makeInstanceImp<int()>([](NSObject&) { return 2; }));
    auto hook = std::make_shared<SlotHook>();
    std::atomic<bool> stop{false};
    std::atomic<long> bad{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t) {
        callers.emplace_back([&] {
            while (!stop.load()) {
                int a = invokeMethod<int()>(*hook, "left");
                if (a != 1 && a != 2) ++bad;
            }
        });
    }
    for (int i = 0; i < 2000; ++i) cls.exchangeInstanceMethods("left", "right");
    stop = true;
    for (auto& t : callers) t.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(invokeMethod<int()>(*hook, "left"), 1) << "an even number of exchanges restores";
}
