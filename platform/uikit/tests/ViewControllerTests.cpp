#include "ControllerLogging.h"

#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace controller_test;

TEST_F(HookedSlots, LazyViewLoadsOnceAndEachSlotMeetsTheHookOnce) {
    auto a = make("A", log);
    EXPECT_FALSE(a->isViewLoaded());
    const UIViewPtr view = a->view();
    ASSERT_TRUE(view);
    EXPECT_EQ(a->view(), view);
    EXPECT_EQ(view->frame(), UIScreen::mainScreen()->bounds());
    EXPECT_EQ(view->nextResponder().get(), a.get());
    a->beginAppearanceTransition(true, true);
    a->endAppearanceTransition();
    a->beginAppearanceTransition(false, false);
    a->endAppearanceTransition();
    EXPECT_EQ(log, (Log{"A loadView", "hook loadView A", "A viewDidLoad", "hook viewDidLoad A", "A viewWillAppear:1",
                        "hook viewWillAppear: A", "A viewDidAppear:1", "hook viewDidAppear: A", "A viewWillDisappear:0",
                        "hook viewWillDisappear: A", "A viewDidDisappear:0", "hook viewDidDisappear: A"}));

    // A controller without overrides reaches the same slots.
    auto plain = std::make_shared<UIViewController>();
    int before = static_cast<int>(log.size());
    plain->loadViewIfNeeded();
    EXPECT_TRUE(plain->isViewLoaded());
    EXPECT_EQ(static_cast<int>(log.size()), before);  // hooks record named controllers only
}

TEST_F(HookedSlots, RepeatedTransitionsTowardTheSameStateAreHeardOnce) {
    auto parent = make("P", log);
    auto shown = make("C", log);
    auto hidden = make("H", log);
    parent->addChildViewController(shown);
    parent->addChildViewController(hidden);
    parent->view()->addSubview(shown->view());
    hidden->loadViewIfNeeded();  // loaded, but its view is not in the parent's tree
    log.clear();

    parent->beginAppearanceTransition(true, false);
    parent->beginAppearanceTransition(true, false);
    parent->endAppearanceTransition();
    parent->endAppearanceTransition();
    EXPECT_TRUE(parent->isAppeared());
    EXPECT_TRUE(shown->isAppeared());
    EXPECT_FALSE(hidden->isAppeared());
    EXPECT_EQ(log, (Log{"P viewWillAppear:0", "hook viewWillAppear: P", "C viewWillAppear:0", "hook viewWillAppear: C",
                        "P viewDidAppear:0", "hook viewDidAppear: P", "C viewDidAppear:0", "hook viewDidAppear: C"}));
}

TEST(ViewController, MisuseRaisesAClearError) {
    Log log;
    struct NoView : UIViewController {
        void loadView() override {}
    };
    struct AsksWhileLoading : UIViewController {
        void loadView() override { (void)view(); }
    };
    struct Case {
        const char* name;
        std::function<void()> run;
        const char* exception;
    };
    auto parent = make("P", log);
    auto child = make("C", log);
    parent->addChildViewController(child);
    const Case cases[] = {
        {"loadView sets no view", [] { (void)std::make_shared<NoView>()->view(); }, NSInternalInconsistencyException},
        {"view asked while loading", [] { (void)std::make_shared<AsksWhileLoading>()->view(); },
         NSInternalInconsistencyException},
        {"itself as child", [&] { parent->addChildViewController(parent); }, NSInvalidArgumentException},
        {"parent as child", [&] { child->addChildViewController(parent); }, NSInvalidArgumentException},
        {"nil child", [&] { parent->addChildViewController(nullptr); }, NSInvalidArgumentException},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.run();
            ADD_FAILURE() << "no exception";
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), c.exception);
        }
    }
    // The failed calls changed nothing.
    EXPECT_EQ(parent->childViewControllers(), std::vector<UIViewControllerPtr>{child});
    EXPECT_EQ(child->parentViewController(), parent);
    EXPECT_EQ(parent->parentViewController(), nullptr);
    // A failed load can be retried once the controller can make its view.
    auto noView = std::make_shared<NoView>();
    EXPECT_THROW((void)noView->view(), NSException);
    noView->setView(std::make_shared<UIView>());
    EXPECT_TRUE(noView->isViewLoaded());
}

TEST(ViewController, ContainmentCallsWillAndDidMoveAndTracksTheParent) {
    Log log;
    auto first = make("P1", log);
    auto second = make("P2", log);
    auto child = make("C", log);

    first->addChildViewController(child);
    first->addChildViewController(child);  // already there: nothing
    child->didMoveToParentViewController(first.get());
    EXPECT_EQ(child->parentViewController(), first);
    EXPECT_EQ(child->nextResponder(), first);  // no view in a tree yet

    second->addChildViewController(child);  // moves over
    EXPECT_TRUE(first->childViewControllers().empty());
    EXPECT_EQ(second->childViewControllers(), std::vector<UIViewControllerPtr>{child});

    second->view()->addSubview(child->view());
    EXPECT_EQ(child->nextResponder(), second->view());

    child->willMoveToParentViewController(nullptr);
    child->removeFromParentViewController();
    child->removeFromParentViewController();  // no parent: nothing
    EXPECT_EQ(child->parentViewController(), nullptr);
    EXPECT_TRUE(second->childViewControllers().empty());
    EXPECT_EQ(log, (Log{"C willMove P1", "C didMove P1", "C willMove P2", "P2 loadView", "P2 viewDidLoad", "C loadView",
                        "C viewDidLoad", "C willMove nil", "C didMove nil"}));

    // A parent that goes away leaves no dangling parent behind.
    auto orphan = make("O", log);
    {
        auto transient = make("T", log);
        transient->addChildViewController(orphan);
    }
    EXPECT_EQ(orphan->parentViewController(), nullptr);
}

TEST(ViewController, BarItemsAreMadeOnceAndTheNavigationControllerIsFoundUpTheParents) {
    Log log;
    auto controller = make("A", log);
    auto item = controller->navigationItem();
    EXPECT_EQ(controller->navigationItem(), item);
    item->setTitle("Files");
    EXPECT_EQ(controller->navigationItem()->title(), "Files");
    auto tab = controller->tabBarItem();
    EXPECT_EQ(controller->tabBarItem(), tab);
    controller->setTabBarItem(std::make_shared<UITabBarItem>("Home", nullptr, 3));
    EXPECT_EQ(controller->tabBarItem()->title(), "Home");
    EXPECT_EQ(controller->tabBarItem()->tag(), 3);

    EXPECT_EQ(controller->navigationController(), nullptr);
    auto navigation = UINavigationController::withRootViewController(controller);
    auto grandchild = make("G", log);
    controller->addChildViewController(grandchild);
    EXPECT_EQ(controller->navigationController(), navigation);
    EXPECT_EQ(grandchild->navigationController(), navigation);
    EXPECT_EQ(navigation->navigationController(), nullptr);
}

// The navigation controller's view is shown (loaded and appeared) before each case.
class NavigationSequence : public HookedSlots {
protected:
    std::shared_ptr<UINavigationController> show(std::initializer_list<std::shared_ptr<LoggingController>> stack) {
        auto navigation = std::make_shared<UINavigationController>();
        for (const auto& c : stack) navigation->pushViewController(c, false);
        navigation->beginAppearanceTransition(true, false);
        navigation->endAppearanceTransition();
        log.clear();
        return navigation;
    }
    // Lets a transition run out, marking its end in the log with "|", and
    // checks that only the top controller's view is left, appeared.
    void runTransitionOut(UINavigationController& navigation) {
        ManualClock::advance(UINavigationController::kTransitionDuration * 0.9);
        log.push_back("|");
        ManualClock::advance(UINavigationController::kTransitionDuration * 0.2);
        EXPECT_FALSE(navigation.isTransitioning());
        auto top = navigation.topViewController();
        // The content (only the top's view), then the bar.
        auto shown = navigation.view()->subviews();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), navigation.navigationBar());
        shown.pop_back();
        ASSERT_EQ(shown.size(), top ? 1u : 0u);
        if (!top) return;
        EXPECT_EQ(shown[0], top->view());
        EXPECT_TRUE(top->isAppeared());
    }
    static std::vector<std::string> names(const UINavigationController& navigation) {
        std::vector<std::string> out;
        for (const auto& vc : navigation.viewControllers()) out.push_back(static_cast<LoggingController&>(*vc).name);
        return out;
    }
};

TEST_F(NavigationSequence, PushAndPopCallbackTables) {
    struct Case {
        const char* name;
        bool animated;
        std::function<void(UINavigationController&, Log&)> change;
        Log expected;
        std::vector<std::string> stackAfter;
    };
    const Case cases[] = {
        {"push animated", true,
         [this](UINavigationController& n, Log& l) { n.pushViewController(make("B", l), true); },
         {"B willMove UINavigationController", "A viewWillDisappear:1", "hook viewWillDisappear: A", "B loadView",
          "hook loadView B", "B viewDidLoad", "hook viewDidLoad B", "B viewWillAppear:1", "hook viewWillAppear: B",
          "|", "A viewDidDisappear:1", "hook viewDidDisappear: A", "B viewDidAppear:1", "hook viewDidAppear: B",
          "B didMove UINavigationController"},
         {"A", "B"}},
        {"push", false, [this](UINavigationController& n, Log& l) { n.pushViewController(make("B", l), false); },
         {"B willMove UINavigationController", "A viewWillDisappear:0", "hook viewWillDisappear: A", "B loadView",
          "hook loadView B", "B viewDidLoad", "hook viewDidLoad B", "B viewWillAppear:0", "hook viewWillAppear: B",
          "A viewDidDisappear:0", "hook viewDidDisappear: A", "B viewDidAppear:0", "hook viewDidAppear: B",
          "B didMove UINavigationController", "|"},
         {"A", "B"}},
        {"pop animated", true, [](UINavigationController& n, Log&) { EXPECT_TRUE(n.popViewControllerAnimated(true)); },
         {"C willMove nil", "C viewWillDisappear:1", "hook viewWillDisappear: C", "B loadView", "hook loadView B",
          "B viewDidLoad", "hook viewDidLoad B", "B viewWillAppear:1",
          "hook viewWillAppear: B", "|", "C viewDidDisappear:1", "hook viewDidDisappear: C", "B viewDidAppear:1",
          "hook viewDidAppear: B", "C didMove nil"},
         {"A", "B"}},
        {"pop to root animated", true,
         [](UINavigationController& n, Log&) { EXPECT_EQ(n.popToRootViewControllerAnimated(true).size(), 2u); },
         {"B willMove nil", "C willMove nil", "C viewWillDisappear:1", "hook viewWillDisappear: C", "A loadView",
          "hook loadView A", "A viewDidLoad", "hook viewDidLoad A", "A viewWillAppear:1",
          "hook viewWillAppear: A", "|", "C viewDidDisappear:1", "hook viewDidDisappear: C", "A viewDidAppear:1",
          "hook viewDidAppear: A", "B didMove nil", "C didMove nil"},
         {"A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto a = make("A", log), b = make("B", log), c3 = make("C", log);
        const bool pushCase = std::string(c.name).rfind("push", 0) == 0;
        auto navigation = pushCase ? show({a}) : show({a, b, c3});
        // Controllers pushed while hidden load their views when they first appear.
        c.change(*navigation, log);
        EXPECT_EQ(names(*navigation), c.stackAfter);  // at once, also while the transition runs
        runTransitionOut(*navigation);
        EXPECT_EQ(log, c.expected);
        log.clear();
    }
}

TEST_F(NavigationSequence, ReplacingTheStackPushesOrPopsByWhereTheNewTopWas) {
    struct Case {
        const char* name;
        std::vector<std::string> stack;
        Log expected;
    };
    const Case cases[] = {
        {"new top",
         {"A", "B", "C"},
         {"C willMove UINavigationController", "B viewWillDisappear:1", "hook viewWillDisappear: B", "C loadView",
          "hook loadView C", "C viewDidLoad", "hook viewDidLoad C", "C viewWillAppear:1", "hook viewWillAppear: C", "|",
          "B viewDidDisappear:1", "hook viewDidDisappear: B", "C viewDidAppear:1", "hook viewDidAppear: C",
          "C didMove UINavigationController"}},
        {"top from below",
         {"A"},
         {"B willMove nil", "B viewWillDisappear:1", "hook viewWillDisappear: B", "A loadView", "hook loadView A",
          "A viewDidLoad", "hook viewDidLoad A", "A viewWillAppear:1", "hook viewWillAppear: A", "|",
          "B viewDidDisappear:1", "hook viewDidDisappear: B", "A viewDidAppear:1", "hook viewDidAppear: A",
          "B didMove nil"}},
        {"same top, new bottom",
         {"C", "B"},
         {"A willMove nil", "C willMove UINavigationController", "A didMove nil", "C didMove UINavigationController",
          "|"}},
        {"empty",
         {},
         {"A willMove nil", "B willMove nil", "B viewWillDisappear:1", "hook viewWillDisappear: B",
          "B viewDidDisappear:1", "hook viewDidDisappear: B", "A didMove nil", "B didMove nil", "|"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::map<std::string, std::shared_ptr<LoggingController>> byName;
        for (const char* name : {"A", "B", "C"}) byName[name] = make(name, log);
        auto navigation = show({byName["A"], byName["B"]});
        std::vector<UIViewControllerPtr> stack;
        for (const auto& name : c.stack) stack.push_back(byName[name]);
        navigation->setViewControllers(stack, true);
        EXPECT_EQ(names(*navigation), c.stack);
        runTransitionOut(*navigation);
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(navigation->childViewControllers().size(), c.stack.size());
        log.clear();
    }
}

TEST_F(NavigationSequence, AChangeDuringATransitionFinishesItFirst) {
    auto a = make("A", log), b = make("B", log), c = make("C", log);
    auto navigation = show({a});
    b->loadViewIfNeeded();
    c->loadViewIfNeeded();
    log.clear();
    navigation->pushViewController(b, true);
    navigation->pushViewController(c, true);
    ManualClock::advance(1);
    EXPECT_EQ(log, (Log{"B willMove UINavigationController", "A viewWillDisappear:1", "hook viewWillDisappear: A",
                        "B viewWillAppear:1", "hook viewWillAppear: B", "A viewDidDisappear:1",
                        "hook viewDidDisappear: A", "B viewDidAppear:1", "hook viewDidAppear: B",
                        "B didMove UINavigationController", "C willMove UINavigationController",
                        "B viewWillDisappear:1", "hook viewWillDisappear: B", "C viewWillAppear:1",
                        "hook viewWillAppear: C", "B viewDidDisappear:1", "hook viewDidDisappear: B",
                        "C viewDidAppear:1", "hook viewDidAppear: C", "C didMove UINavigationController"}));
    EXPECT_EQ(navigation->viewControllers(), (std::vector<UIViewControllerPtr>{a, b, c}));
}

TEST_F(NavigationSequence, AHiddenStackChangesWithoutAppearanceCalls) {
    auto a = make("A", log), b = make("B", log);
    auto navigation = UINavigationController::withRootViewController(a);
    navigation->pushViewController(b, true);
    EXPECT_EQ(navigation->popViewControllerAnimated(true), b);
    EXPECT_FALSE(navigation->isTransitioning());
    EXPECT_EQ(log, (Log{"A willMove UINavigationController", "A didMove UINavigationController",
                        "B willMove UINavigationController", "B didMove UINavigationController", "B willMove nil",
                        "B didMove nil"}));
    EXPECT_FALSE(a->isViewLoaded());  // nothing showed it
    // Once shown, the root's view fills the navigation view.
    navigation->loadViewIfNeeded();
    ASSERT_EQ(navigation->view()->subviews().size(), 2u);  // the root's view, then the bar
    EXPECT_EQ(navigation->view()->subviews()[0], a->view());
    EXPECT_EQ(a->view()->frame(), navigation->view()->bounds());
}

TEST_F(NavigationSequence, BadStackRequestsRaiseOrAnswerNothing) {
    auto a = make("A", log), b = make("B", log), stranger = make("S", log);
    auto navigation = show({a, b});
    EXPECT_THROW(navigation->pushViewController(b, false), NSException);
    EXPECT_THROW(navigation->pushViewController(nullptr, false), NSException);
    EXPECT_THROW(navigation->popToViewController(stranger, false), NSException);
    EXPECT_THROW(navigation->setViewControllers({a, nullptr}, false), NSException);
    EXPECT_THROW(navigation->setViewControllers({a, stranger, a}, false), NSException);
    EXPECT_EQ(navigation->viewControllers(), (std::vector<UIViewControllerPtr>{a, b}));
    EXPECT_TRUE(navigation->popToViewController(b, false).empty());  // already on top
    EXPECT_EQ(navigation->popViewControllerAnimated(false), b);
    EXPECT_EQ(navigation->popViewControllerAnimated(false), nullptr);  // the root stays
    EXPECT_EQ(navigation->viewControllers(), std::vector<UIViewControllerPtr>{a});
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_FALSE(b->isAppeared());
}

TEST_F(HookedSlots, WindowRootAppearsWhenShownAndOnReplacement) {
    struct Case {
        const char* name;
        std::function<void(UIWindow&, Log&)> change;
        Log expected;
    };
    const Case cases[] = {
        {"make key and visible",
         [](UIWindow& w, Log& l) {
             w.setRootViewController(make("A", l));
             w.makeKeyAndVisible();
         },
         {"A loadView", "hook loadView A", "A viewDidLoad", "hook viewDidLoad A", "A viewWillAppear:0",
          "hook viewWillAppear: A", "A viewDidAppear:0", "hook viewDidAppear: A"}},
        {"replace the root of a shown window",
         [](UIWindow& w, Log& l) {
             w.setRootViewController(make("A", l));
             w.makeKeyAndVisible();
             l.clear();
             w.setRootViewController(make("B", l));
         },
         {"A viewWillDisappear:0", "hook viewWillDisappear: A", "B loadView", "hook loadView B", "B viewDidLoad",
          "hook viewDidLoad B", "B viewWillAppear:0", "hook viewWillAppear: B", "A viewDidDisappear:0",
          "hook viewDidDisappear: A", "B viewDidAppear:0", "hook viewDidAppear: B"}},
        {"hide and show again",
         [](UIWindow& w, Log& l) {
             w.setRootViewController(make("A", l));
             w.makeKeyAndVisible();
             w.makeKeyAndVisible();  // already shown: nothing
             l.clear();
             w.setHidden(true);
             w.setHidden(false);
         },
         {"A viewWillDisappear:0", "hook viewWillDisappear: A", "A viewDidDisappear:0", "hook viewDidDisappear: A",
          "A viewWillAppear:0", "hook viewWillAppear: A", "A viewDidAppear:0", "hook viewDidAppear: A"}},
        {"a navigation root shows its top",
         [](UIWindow& w, Log& l) {
             w.setRootViewController(UINavigationController::withRootViewController(make("A", l)));
             l.clear();
             w.makeKeyAndVisible();
         },
         {"A loadView", "hook loadView A", "A viewDidLoad", "hook viewDidLoad A", "A viewWillAppear:0",
          "hook viewWillAppear: A", "A viewDidAppear:0", "hook viewDidAppear: A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto window = std::make_shared<UIWindow>();
        c.change(*window, log);
        EXPECT_EQ(log, c.expected);
        // The root's view fills the window and passes events to its controller, then the window.
        auto root = window->rootViewController();
        ASSERT_EQ(window->subviews().size(), 1u);
        EXPECT_EQ(window->subviews()[0], root->view());
        EXPECT_EQ(root->view()->frame(), window->bounds());
        EXPECT_EQ(root->view()->nextResponder(), root);
        EXPECT_EQ(root->nextResponder(), window);
        window->setHidden(true);
        log.clear();
    }
}

}  // namespace
