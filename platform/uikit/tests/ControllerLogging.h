#pragma once
// Test support shared by the controller tests: a controller that logs every
// call it hears (its overrides call the base bodies), and a fixture that
// exchanges a recording hook into each controller slot, as an instrumenting
// library does at class load. Runs on the manual clock.

#include <platform_uikit/UIViewController.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_runtime/ObjCRuntime.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace controller_test {

using Log = std::vector<std::string>;

const char* const kSlots[] = {"loadView", "viewDidLoad", "viewWillAppear:", "viewDidAppear:", "viewWillDisappear:",
                              "viewDidDisappear:"};

// A controller that records every call it hears, and whose overrides call the base body.
class LoggingController : public UIViewController {
public:
    LoggingController(std::string name, Log* log) : name(std::move(name)), log(log) {}
    std::string name;
    Log* log;
    bool makeOwnView = false;

    void loadView() override {
        log->push_back(name + " loadView");
        UIViewController::loadView();
    }
    void viewDidLoad() override {
        log->push_back(name + " viewDidLoad");
        UIViewController::viewDidLoad();
    }
    void viewWillAppear(bool a) override {
        log->push_back(name + " viewWillAppear:" + (a ? "1" : "0"));
        UIViewController::viewWillAppear(a);
    }
    void viewDidAppear(bool a) override {
        log->push_back(name + " viewDidAppear:" + (a ? "1" : "0"));
        UIViewController::viewDidAppear(a);
    }
    void viewWillDisappear(bool a) override {
        log->push_back(name + " viewWillDisappear:" + (a ? "1" : "0"));
        UIViewController::viewWillDisappear(a);
    }
    void viewDidDisappear(bool a) override {
        log->push_back(name + " viewDidDisappear:" + (a ? "1" : "0"));
        UIViewController::viewDidDisappear(a);
    }
    void willMoveToParentViewController(UIViewController* p) override {
        log->push_back(name + " willMove " + parentName(p));
    }
    void didMoveToParentViewController(UIViewController* p) override {
        log->push_back(name + " didMove " + parentName(p));
    }
    void didReceiveMemoryWarning() override { log->push_back(name + " didReceiveMemoryWarning"); }

private:
    static std::string parentName(UIViewController* p) {
        if (!p) return "nil";
        if (auto* named = dynamic_cast<LoggingController*>(p)) return named->name;
        return p->className();
    }
};

inline std::shared_ptr<LoggingController> make(const std::string& name, Log& log) {
    return std::make_shared<LoggingController>(name, &log);
}

// Exchanges a hook into each of the controller slots, as an instrumenting
// library does at class load; the hook records the call and runs the original.
class HookedSlots : public ::testing::Test {
protected:
    static inline Log* hookLog = nullptr;

    void SetUp() override {
        ManualClock::install();
        hookLog = &log;
        ObjCClass& cls = UIViewController::classObject();
        for (const char* slot : kSlots) {
            std::string selector = slot;
            std::string hooked = "test_" + selector;
            IMP hook;
            if (selector.back() == ':') {
                hook = makeInstanceImp<void(bool)>([selector, hooked](NSObject& self, bool animated) {
                    record(self, selector);
                    invokeMethod<void(bool)>(self, hooked, animated);
                });
            } else {
                hook = makeInstanceImp<void()>([selector, hooked](NSObject& self) {
                    record(self, selector);
                    invokeMethod<void()>(self, hooked);
                });
            }
            cls.addMethod(hooked, hook);  // already there from an earlier test: kept
            ASSERT_TRUE(cls.exchangeInstanceMethods(selector, hooked));
        }
    }
    void TearDown() override {
        ObjCClass& cls = UIViewController::classObject();
        for (const char* slot : kSlots) cls.exchangeInstanceMethods(slot, std::string("test_") + slot);
        hookLog = nullptr;
        ManualClock::uninstall();
    }
    static void record(NSObject& self, const std::string& selector) {
        if (!hookLog) return;
        if (auto* named = dynamic_cast<LoggingController*>(&self)) hookLog->push_back("hook " + selector + " " + named->name);
    }

    Log log;
};

}  // namespace controller_test
