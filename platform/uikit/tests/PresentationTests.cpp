#include "ControllerLogging.h"

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIPresentationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_runtime/NSException.h>

#include <algorithm>
#include <optional>

using namespace controller_test;

namespace {

// A shown window whose root is "A", on the manual clock, with hooks in every slot.
class PresentationSequence : public HookedSlots {
protected:
    void SetUp() override {
        HookedSlots::SetUp();
        UIApplication::sharedApplication()->resetForTesting();
    }
    void TearDown() override {
        if (window) window->setHidden(true);
        window.reset();
        UIApplication::sharedApplication()->resetForTesting();
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        HookedSlots::TearDown();
    }
    void showRoot(int osMajor, UIViewControllerPtr root = nullptr) {
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{osMajor, 0, 0});
        a = make("A", log);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(root ? root : a);
        window->makeKeyAndVisible();
        log.clear();
    }
    // The log without the hook lines, after checking that every call a
    // controller heard met the exchanged hook exactly once, right after it.
    Log calls() {
        Log out;
        for (std::size_t i = 0; i < log.size(); ++i) {
            const std::string& line = log[i];
            if (line.rfind("hook ", 0) == 0) {
                ADD_FAILURE() << "hook line without its call: " << line;
                continue;
            }
            out.push_back(line);
            auto space = line.find(' ');
            std::string selector = line.substr(space + 1);
            selector = selector.substr(0, selector.find(':') == std::string::npos ? selector.size() : selector.find(':') + 1);
            const bool slot = std::any_of(std::begin(kSlots), std::end(kSlots),
                                          [&](const char* s) { return selector == s; });
            if (!slot) continue;
            const std::string expected = "hook " + selector + " " + line.substr(0, space);
            if (i + 1 < log.size() && log[i + 1] == expected)
                ++i;
            else
                ADD_FAILURE() << "no hook right after: " << line;
        }
        log.clear();
        return out;
    }
    bool inWindow(const UIViewControllerPtr& c) const {
        return c->viewIfLoaded() && c->viewIfLoaded()->window() == window.get();
    }

    std::shared_ptr<LoggingController> a;
    UIWindowPtr window;
};

TEST_F(PresentationSequence, PresentAndDismissTablesByStyleAndVersion) {
    struct Case {
        const char* name;
        int os;
        std::optional<UIModalPresentationStyle> style;
        bool animated;
        UIModalPresentationStyle resolved;
        Log presentStart, presentEnd, dismissStart, dismissEnd;
    };
    const Log loads{"B loadView", "B viewDidLoad"};
    auto join = [](Log x, const Log& y) {
        x.insert(x.end(), y.begin(), y.end());
        return x;
    };
    const Case cases[] = {
        {"full screen by default before 13", 12, std::nullopt, true, UIModalPresentationFullScreen,
         join(loads, {"A viewWillDisappear:1", "B viewWillAppear:1"}),
         {"A viewDidDisappear:1", "B viewDidAppear:1", "presented"},
         {"B viewWillDisappear:1", "A viewWillAppear:1"},
         {"B viewDidDisappear:1", "A viewDidAppear:1", "dismissed"}},
        {"page sheet by default from 13", 13, std::nullopt, true, UIModalPresentationPageSheet,
         join(loads, {"B viewWillAppear:1"}), {"B viewDidAppear:1", "presented"}, {"B viewWillDisappear:1"},
         {"B viewDidDisappear:1", "dismissed"}},
        {"full screen asked for on 13", 13, UIModalPresentationFullScreen, true, UIModalPresentationFullScreen,
         join(loads, {"A viewWillDisappear:1", "B viewWillAppear:1"}),
         {"A viewDidDisappear:1", "B viewDidAppear:1", "presented"},
         {"B viewWillDisappear:1", "A viewWillAppear:1"},
         {"B viewDidDisappear:1", "A viewDidAppear:1", "dismissed"}},
        {"form sheet before 13 adapts to full screen", 12, UIModalPresentationFormSheet, true,
         UIModalPresentationFullScreen, join(loads, {"A viewWillDisappear:1", "B viewWillAppear:1"}),
         {"A viewDidDisappear:1", "B viewDidAppear:1", "presented"},
         {"B viewWillDisappear:1", "A viewWillAppear:1"},
         {"B viewDidDisappear:1", "A viewDidAppear:1", "dismissed"}},
        {"over full screen leaves the presenter alone", 12, UIModalPresentationOverFullScreen, true,
         UIModalPresentationOverFullScreen, join(loads, {"B viewWillAppear:1"}), {"B viewDidAppear:1", "presented"},
         {"B viewWillDisappear:1"}, {"B viewDidDisappear:1", "dismissed"}},
        {"full screen without animation", 12, std::nullopt, false, UIModalPresentationFullScreen,
         join(loads, {"A viewWillDisappear:0", "B viewWillAppear:0", "A viewDidDisappear:0", "B viewDidAppear:0",
                      "presented"}),
         {},
         {"B viewWillDisappear:0", "A viewWillAppear:0", "B viewDidDisappear:0", "A viewDidAppear:0", "dismissed"},
         {}},
        {"page sheet without animation", 13, std::nullopt, false, UIModalPresentationPageSheet,
         join(loads, {"B viewWillAppear:0", "B viewDidAppear:0", "presented"}), {},
         {"B viewWillDisappear:0", "B viewDidDisappear:0", "dismissed"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        showRoot(c.os);
        auto b = make("B", log);
        if (c.style) b->setModalPresentationStyle(*c.style);
        a->presentViewController(b, c.animated, [&] { log.push_back("presented"); });
        EXPECT_EQ(calls(), c.presentStart);
        // Linked and managed from the start of the presentation.
        EXPECT_EQ(a->presentedViewController(), b);
        EXPECT_EQ(b->presentingViewController(), a);
        ASSERT_TRUE(b->presentationController());
        EXPECT_EQ(b->presentationController()->presentationStyle(), c.resolved);
        EXPECT_EQ(b->isBeingPresented(), c.animated);
        if (c.animated) {
            ManualClock::advance(0.39);
            EXPECT_EQ(calls(), Log{});
            ManualClock::advance(0.02);
            EXPECT_EQ(calls(), c.presentEnd);
        }
        EXPECT_FALSE(b->isBeingPresented());
        EXPECT_TRUE(inWindow(b));
        // Full screen takes the presenter's view out of the window; the others leave it.
        EXPECT_EQ(inWindow(a), c.resolved != UIModalPresentationFullScreen);
        EXPECT_EQ(b->viewIfLoaded()->frame(), b->presentationController()->frameOfPresentedViewInContainerView());

        b->dismissViewControllerAnimated(c.animated, [&] { log.push_back("dismissed"); });
        EXPECT_EQ(calls(), c.dismissStart);
        if (c.animated) {
            EXPECT_TRUE(b->isBeingDismissed());
            EXPECT_TRUE(b->presentationController());
            ManualClock::advance(0.39);
            EXPECT_EQ(calls(), Log{});
            ManualClock::advance(0.02);
            EXPECT_EQ(calls(), c.dismissEnd);
        }
        EXPECT_EQ(a->presentedViewController(), nullptr);
        EXPECT_EQ(b->presentingViewController(), nullptr);
        EXPECT_EQ(b->presentationController(), nullptr);
        EXPECT_TRUE(inWindow(a));
        EXPECT_FALSE(inWindow(b));
        EXPECT_TRUE(a->isAppeared());
        EXPECT_FALSE(b->isAppeared());
        window->setHidden(true);
        log.clear();
    }
}

TEST_F(PresentationSequence, APageSheetStartsBelowTheStatusBarAndFullScreenFillsTheWindow) {
    showRoot(13);
    auto sheet = make("B", log);
    a->presentViewController(sheet, false);
    const double statusBar = UIScreen::mainScreen()->statusBarHeight();
    const CGRect bounds = window->bounds();
    EXPECT_EQ(sheet->view()->frame(), CGRectMake(0, statusBar + 10, bounds.size.width, bounds.size.height - statusBar - 10));
    // Its safe area starts at its top; the home indicator stays.
    EXPECT_EQ(sheet->view()->safeAreaInsets().top, 0);
    EXPECT_EQ(sheet->view()->safeAreaInsets().bottom, UIScreen::mainScreen()->safeAreaInsets().bottom);
    a->dismissViewControllerAnimated(false);

    auto full = make("C", log);
    full->setModalPresentationStyle(UIModalPresentationFullScreen);
    a->presentViewController(full, false);
    EXPECT_EQ(full->view()->frame(), bounds);
    EXPECT_EQ(full->view()->safeAreaInsets(), UIScreen::mainScreen()->safeAreaInsets());
    a->dismissViewControllerAnimated(false);
}

TEST_F(PresentationSequence, AChildPresentsFromItsRootAndEitherSideDismisses) {
    auto child = make("C", log);
    auto navigation = UINavigationController::withRootViewController(child);
    showRoot(12, navigation);
    auto b = make("B", log);
    child->presentViewController(b, false);
    EXPECT_EQ(b->presentingViewController(), navigation);
    EXPECT_EQ(child->presentedViewController(), b);
    EXPECT_EQ(navigation->presentedViewController(), b);
    // The child's appearance follows its container's.
    EXPECT_EQ(calls(), (Log{"B loadView", "B viewDidLoad", "C viewWillDisappear:0", "B viewWillAppear:0",
                            "C viewDidDisappear:0", "B viewDidAppear:0"}));
    // A child of the presented controller reaches the presentation through it.
    auto inner = make("D", log);
    b->addChildViewController(inner);
    EXPECT_EQ(inner->presentationController(), b->presentationController());
    EXPECT_EQ(inner->presentingViewController(), navigation);
    log.clear();
    child->dismissViewControllerAnimated(false);
    EXPECT_EQ(calls(), (Log{"B viewWillDisappear:0", "C viewWillAppear:0", "B viewDidDisappear:0", "C viewDidAppear:0"}));
    EXPECT_EQ(inner->presentationController(), nullptr);

    b->removeFromParentViewController();
    child->presentViewController(b, false);
    log.clear();
    b->dismissViewControllerAnimated(false);  // the presented controller dismisses itself through its presenter
    EXPECT_EQ(calls(), (Log{"B viewWillDisappear:0", "C viewWillAppear:0", "B viewDidDisappear:0", "C viewDidAppear:0"}));
}

TEST_F(PresentationSequence, DismissingTheBottomOfAChainTakesEveryPresentedControllerAway) {
    showRoot(13);
    auto b = make("B", log);
    b->setModalPresentationStyle(UIModalPresentationFullScreen);
    auto c = make("C", log);  // a page sheet over B
    a->presentViewController(b, false);
    b->presentViewController(c, false);
    EXPECT_EQ(c->presentingViewController(), b);
    log.clear();
    a->dismissViewControllerAnimated(true, [&] { log.push_back("dismissed"); });
    EXPECT_EQ(calls(), (Log{"C viewWillDisappear:1", "B viewWillDisappear:1", "A viewWillAppear:1"}));
    ManualClock::advance(0.5);
    EXPECT_EQ(calls(), (Log{"C viewDidDisappear:1", "B viewDidDisappear:1", "A viewDidAppear:1", "dismissed"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(b->presentedViewController(), nullptr);
    EXPECT_EQ(c->presentingViewController(), nullptr);
    EXPECT_FALSE(inWindow(c));
    EXPECT_TRUE(inWindow(a));
}

TEST_F(PresentationSequence, AChangeDuringATransitionFinishesItFirst) {
    showRoot(12);
    auto b = make("B", log);
    a->presentViewController(b, true, [&] { log.push_back("presented"); });
    a->dismissViewControllerAnimated(true, [&] { log.push_back("dismissed"); });
    EXPECT_EQ(calls(), (Log{"B loadView", "B viewDidLoad", "A viewWillDisappear:1", "B viewWillAppear:1",
                            "A viewDidDisappear:1", "B viewDidAppear:1", "presented", "B viewWillDisappear:1",
                            "A viewWillAppear:1"}));
    ManualClock::advance(1);
    EXPECT_EQ(calls(), (Log{"B viewDidDisappear:1", "A viewDidAppear:1", "dismissed"}));
    // The first animation's end, long past, changes nothing.
    ManualClock::advance(1);
    EXPECT_EQ(calls(), Log{});
}

TEST_F(PresentationSequence, HidingTheWindowTakesTheControllersOnScreenWithIt) {
    showRoot(12);
    auto b = make("B", log);
    a->presentViewController(b, false);
    log.clear();
    window->setHidden(true);
    EXPECT_EQ(calls(), (Log{"B viewWillDisappear:0", "B viewDidDisappear:0"}));
    window->makeKeyAndVisible();
    EXPECT_EQ(calls(), (Log{"B viewWillAppear:0", "B viewDidAppear:0"}));
    EXPECT_FALSE(inWindow(a));  // still covered
}

TEST_F(PresentationSequence, MisuseRaisesOrLogsAndChangesNothing) {
    showRoot(12);
    auto b = make("B", log);
    auto c = make("C", log);
    auto parent = make("P", log);
    auto child = make("K", log);
    parent->addChildViewController(child);
    a->presentViewController(b, false);
    struct Raising {
        const char* name;
        std::function<void()> run;
    };
    const Raising raising[] = {
        {"nil", [&] { b->presentViewController(nullptr, false); }},
        {"itself", [&] { b->presentViewController(b, false); }},
        {"an active controller", [&] { c->presentViewController(b, false); }},
        {"a controller with a parent", [&] { b->presentViewController(child, false); }},
    };
    for (const auto& r : raising) {
        SCOPED_TRACE(r.name);
        try {
            r.run();
            ADD_FAILURE() << "no exception";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), NSInvalidArgumentException);
        }
    }
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_EQ(b->presentedViewController(), nullptr);

    // A presenter that already presents, or one not in a window, logs and does nothing.
    std::vector<std::string> logged;
    NSLogSetSinkForTesting([&](const std::string& line) { logged.push_back(line); });
    bool completed = false;
    a->presentViewController(c, false, [&] { completed = true; });
    parent->presentViewController(c, false, [&] { completed = true; });
    NSLogSetSinkForTesting(nullptr);
    EXPECT_FALSE(completed);
    EXPECT_EQ(c->presentingViewController(), nullptr);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find("which is already presenting"), std::string::npos) << logged[0];
    EXPECT_NE(logged[1].find("not in the window hierarchy"), std::string::npos) << logged[1];

    // Nothing to dismiss: the completion runs at once.
    bool dismissed = false;
    c->dismissViewControllerAnimated(true, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
}

TEST_F(PresentationSequence, MemoryWarningsReachPresentedAndChildControllers) {
    auto child = make("C", log);
    auto navigation = UINavigationController::withRootViewController(child);
    showRoot(12, navigation);
    auto b = make("B", log);
    child->presentViewController(b, false);
    log.clear();
    UIApplication::sharedApplication()->simulateMemoryWarning();
    EXPECT_EQ(calls(), (Log{"C didReceiveMemoryWarning", "B didReceiveMemoryWarning"}));
}

}  // namespace
