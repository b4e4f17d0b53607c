#include "ControllerLogging.h"

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSProcessInfo.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace controller_test;

// A navigation controller in a key window (375 × 812 at scale 3) with root A.
class NavigationBarFixture : public HookedSlots {
public:
    void SetUp() override {
        HookedSlots::SetUp();
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{15, 0, 0});
        a = make("A", log);
        a->navigationItem()->setTitle("Inbox");
        navigation = UINavigationController::withRootViewController(a);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
        log.clear();
    }
    void TearDown() override {
        window->setHidden(true);
        UIAppearanceCustomizable::removeAllProxiesForTesting();
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        HookedSlots::TearDown();
    }
    std::shared_ptr<LoggingController> pushB() {
        auto b = make("B", log);
        b->navigationItem()->setTitle("Message");
        navigation->pushViewController(b, false);
        log.clear();
        return b;
    }
    static CGPoint centreInWindow(const UIViewPtr& view) {
        CGRect f = view->convertRectToView(view->bounds(), nullptr);
        return CGPointMake(CGRectGetMidX(f), CGRectGetMidY(f));
    }
    // A finger from the left edge to x, in steps of `stepSeconds` on the manual clock.
    void swipe(double toX, double stepSeconds) {
        auto touch = UITouchInjection::touchDown(CGPointMake(4, 400));
        for (int i = 1; i <= 10; ++i) {
            ManualClock::advance(stepSeconds);
            UITouchInjection::touchMove(touch, CGPointMake(4 + (toX - 4) * i / 10, 400));
        }
        UITouchInjection::touchUp(touch, CGPointMake(toX, 400));
    }

    std::shared_ptr<LoggingController> a;
    std::shared_ptr<UINavigationController> navigation;
    UIWindowPtr window;
};

TEST_F(NavigationBarFixture, BarSitsBelowTheStatusBarWithItsBackgroundAndHairline) {
    auto bar = navigation->navigationBar();
    EXPECT_EQ(bar->frame(), CGRectMake(0, 44, 375, UINavigationBar::kHeight));
    EXPECT_EQ(bar->subviews().front()->className(), "_UIBarBackground");
    EXPECT_EQ(bar->barBackground()->frame(), CGRectMake(0, -44, 375, 88));
    auto shadow = bar->barBackground()->shadowView();
    EXPECT_EQ(shadow->className(), "_UIBarBackgroundShadowView");
    EXPECT_DOUBLE_EQ(shadow->frame().origin.y, 88);
    EXPECT_DOUBLE_EQ(shadow->frame().size.height, 1.0 / 3);
    EXPECT_EQ(bar->titleLabel()->text(), "Inbox");
    EXPECT_NEAR(CGRectGetMidX(bar->titleLabel()->frame()), 187.5, 0.5);
    EXPECT_EQ(bar->backButton(), nullptr);
    // Translucent: the content reaches under the bar, whose height grows the child's safe area.
    EXPECT_EQ(a->view()->frame(), window->bounds());
    EXPECT_EQ(navigation->barInsetsForChild(*a), UIEdgeInsetsMake(UINavigationBar::kHeight, 0, 0, 0));

    bar->setTranslucent(false);
    navigation->viewWillLayoutSubviews();
    EXPECT_EQ(a->view()->frame(), CGRectMake(0, 88, 375, 812 - 88));
    EXPECT_EQ(navigation->barInsetsForChild(*a), UIEdgeInsetsZero);

    navigation->setNavigationBarHidden(true);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(a->view()->frame(), window->bounds());
    EXPECT_EQ(navigation->barInsetsForChild(*a), UIEdgeInsetsZero);
    navigation->setNavigationBarHidden(false);
    EXPECT_FALSE(bar->isHidden());
}

TEST_F(NavigationBarFixture, BackButtonTitleAndVisibility) {
    struct Case {
        const char* name;
        std::function<void(UINavigationItem& below, UINavigationItem& top)> setUp;
        std::optional<std::string> back;  // nothing: no back button
    };
    auto item = [](const char* title) { return UIBarButtonItem::withTitle(title, UIBarButtonItemStylePlain, nullptr, "", nullptr); };
    const Case cases[] = {
        {"the title below", [](UINavigationItem&, UINavigationItem&) {}, "Inbox"},
        {"the back item below", [&](UINavigationItem& below, UINavigationItem&) { below.setBackBarButtonItem(item("Mail")); },
         "Mail"},
        {"no title below", [](UINavigationItem& below, UINavigationItem&) { below.setTitle(std::nullopt); }, "Back"},
        {"hidden", [](UINavigationItem&, UINavigationItem& top) { top.setHidesBackButton(true); }, std::nullopt},
        {"left items replace it", [&](UINavigationItem&, UINavigationItem& top) { top.setLeftBarButtonItem(item("Close")); },
         std::nullopt},
        {"left items supplement it",
         [&](UINavigationItem&, UINavigationItem& top) {
             top.setLeftBarButtonItem(item("Close"));
             top.setLeftItemsSupplementBackButton(true);
         },
         "Inbox"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        auto b = pushB();
        c.setUp(*a->navigationItem(), *b->navigationItem());
        auto bar = navigation->navigationBar();
        EXPECT_EQ(bar->titleLabel()->text(), "Message");
        auto back = bar->backButton();
        if (!c.back) {
            EXPECT_EQ(back, nullptr);
            continue;
        }
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->className(), "_UIButtonBarButton");
        EXPECT_EQ(back->titleForState(UIControlStateNormal), c.back);
        EXPECT_EQ(back->frame().origin.x, UINavigationBar::kEdgeMargin);
        EXPECT_LT(CGRectGetMaxX(back->frame()), bar->titleLabel()->frame().origin.x + 0.01);
    }
}

TEST_F(NavigationBarFixture, TappingTheBackButtonPops) {
    auto b = pushB();
    UITouchInjection::tap(centreInWindow(navigation->navigationBar()->backButton()));
    EXPECT_EQ(log, (Log{"B willMove nil", "B viewWillDisappear:1", "hook viewWillDisappear: B", "A viewWillAppear:1",
                        "hook viewWillAppear: A"}));
    ManualClock::advance(UINavigationController::kTransitionDuration * 1.1);
    EXPECT_EQ(navigation->topViewController(), a);
    EXPECT_EQ(navigation->navigationBar()->titleLabel()->text(), "Inbox");
    EXPECT_EQ(navigation->navigationBar()->backButton(), nullptr);
    EXPECT_TRUE(a->isAppeared());
}

TEST_F(NavigationBarFixture, BarButtonItemsShowTheirViewsAndSendTheirActions) {
    int tapped = 0;
    auto target = std::make_shared<NSObject>();
    auto done = UIBarButtonItem::withTitle("Done", UIBarButtonItemStyleDone, target, "done:",
                                           [&](UIBarButtonItem&) { ++tapped; });
    auto custom = std::make_shared<UIView>(CGRectMake(0, 0, 30, 30));
    auto customItem = UIBarButtonItem::withCustomView(custom);
    EXPECT_TRUE(done->valueForKey("_view").isNull());  // no bar showed it yet
    EXPECT_EQ(customItem->valueForKey("_view").objectAs<UIView>(), custom);

    a->navigationItem()->setRightBarButtonItems({done, customItem});
    auto button = done->valueForKey("_view").objectAs<_UIButtonBarButton>();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->superview(), navigation->navigationBar()->contentView());
    EXPECT_EQ(button->titleForState(UIControlStateNormal), "Done");
    EXPECT_DOUBLE_EQ(CGRectGetMaxX(button->frame()), 375 - UINavigationBar::kEdgeMargin);
    EXPECT_LT(CGRectGetMaxX(custom->frame()), button->frame().origin.x);
    EXPECT_DOUBLE_EQ(CGRectGetMidY(custom->frame()), UINavigationBar::kHeight / 2);

    UITouchInjection::tap(centreInWindow(button));
    EXPECT_EQ(tapped, 1);
    done->setEnabled(false);
    UITouchInjection::tap(centreInWindow(button));
    EXPECT_EQ(tapped, 1);
    done->setEnabled(true);
    target.reset();  // the target went away: the action is not sent
    done->sendAction();
    EXPECT_EQ(tapped, 1);

    a->navigationItem()->setRightBarButtonItem(nullptr);
    EXPECT_EQ(button->superview(), nullptr);
}

TEST_F(NavigationBarFixture, InteractivePopBeginsOnlyWithTwoControllers) {
    struct Case {
        const char* name;
        bool push;
        std::function<void(NavigationBarFixture&)> setUp;
        double toX;
        double step;
        Log expected;
        const char* top;
    };
    struct Refusing : UIGestureRecognizerDelegate {
        bool gestureRecognizerShouldBegin(UIGestureRecognizer&) override { return false; }
    };
    static auto refusing = std::make_shared<Refusing>();
    const Log willPop = {"B viewWillDisappear:1", "hook viewWillDisappear: B", "A viewWillAppear:1",
                         "hook viewWillAppear: A"};
    auto then = [](Log first, const Log& rest) {
        first.insert(first.end(), rest.begin(), rest.end());
        return first;
    };
    const Case cases[] = {
        {"one controller", false, nullptr, 300, 0.02, {}, "A"},
        {"past half", true, nullptr, 250, 0.05,
         then(willPop, {"|", "B willMove nil", "B viewDidDisappear:1", "hook viewDidDisappear: B", "A viewDidAppear:1",
                        "hook viewDidAppear: A", "B didMove nil"}),
         "A"},
        {"flung", true, nullptr, 120, 0.01,
         then(willPop, {"|", "B willMove nil", "B viewDidDisappear:1", "hook viewDidDisappear: B", "A viewDidAppear:1",
                        "hook viewDidAppear: A", "B didMove nil"}),
         "A"},
        {"short and slow: the top comes back", true, nullptr, 100, 0.05,
         then(willPop, {"|", "A viewWillDisappear:1", "hook viewWillDisappear: A", "B viewWillAppear:1",
                        "hook viewWillAppear: B", "A viewDidDisappear:1", "hook viewDidDisappear: A",
                        "B viewDidAppear:1", "hook viewDidAppear: B"}),
         "B"},
        {"disabled", true, [](NavigationBarFixture& f) { f.navigation->interactivePopGestureRecognizer()->setEnabled(false); },
         250, 0.05, {}, "B"},
        {"the delegate refuses", true,
         [](NavigationBarFixture& f) { f.navigation->interactivePopGestureRecognizer()->setDelegate(refusing); }, 250,
         0.05, {}, "B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.push) pushB();
        if (c.setUp) c.setUp(*this);
        auto recognizer = navigation->interactivePopGestureRecognizer();
        EXPECT_EQ(recognizer->className(), "UIScreenEdgePanGestureRecognizer");
        swipe(c.toX, c.step);
        if (!c.expected.empty()) log.push_back("|");
        ManualClock::advance(UINavigationController::kTransitionDuration * 1.1);
        EXPECT_EQ(log, c.expected);
        EXPECT_FALSE(navigation->isTransitioning());
        auto top = std::static_pointer_cast<LoggingController>(navigation->topViewController());
        EXPECT_EQ(top->name, c.top);
        EXPECT_TRUE(top->isAppeared());
        EXPECT_EQ(top->view()->frame(), window->bounds());
        EXPECT_EQ(navigation->navigationBar()->titleLabel()->text(), std::string(c.top) == "A" ? "Inbox" : "Message");
        auto shown = navigation->view()->subviews();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0], top->view());
    }
}

TEST_F(NavigationBarFixture, AScrollEdgeAppearanceIsKeptAndComesFromTheProxy) {
    auto look = std::make_shared<UINavigationBarAppearance>();
    UINavigationBar::appearance()->setScrollEdgeAppearance(look);
    auto fromProxy = std::make_shared<UINavigationBar>(CGRectMake(0, 0, 375, 44));
    auto own = std::make_shared<UINavigationBar>(CGRectMake(0, 0, 375, 44));
    auto mine = look->copy();
    own->setScrollEdgeAppearance(mine);
    window->addSubview(fromProxy);
    window->addSubview(own);
    EXPECT_EQ(fromProxy->scrollEdgeAppearance(), look);
    EXPECT_EQ(own->scrollEdgeAppearance(), mine);
    EXPECT_EQ(std::make_shared<UINavigationBar>()->scrollEdgeAppearance(), nullptr);
}

TEST_F(NavigationBarFixture, TitleAttributesTintsAndAppearancePrecedence) {
    auto red = UIColor::redColor(), green = UIColor::greenColor(), blue = UIColor::blueColor();
    auto font = UIFont::systemFontOfSize(20);
    UINavigationBar::appearance()->setTintColor(red);
    UINavigationBar::appearance()->setTitleTextAttributes({{NSForegroundColorAttributeName, Value(green)}});
    UINavigationBar::appearance()->setBarTintColor(blue);

    auto fresh = [&](std::function<void(UINavigationBar&)> own) {
        auto bar = std::make_shared<UINavigationBar>(CGRectMake(0, 0, 375, 44));
        bar->setItems({std::make_shared<UINavigationItem>("Title")});
        if (own) own(*bar);
        window->addSubview(bar);
        return bar;
    };
    auto plain = fresh(nullptr);
    EXPECT_EQ(plain->tintColor(), red);
    EXPECT_EQ(plain->titleLabel()->textColor(), green);
    EXPECT_EQ(plain->barBackground()->backgroundColor(), blue);

    auto own = fresh([&](UINavigationBar& bar) {
        bar.setTintColor(blue);
        bar.setTitleTextAttributes({{NSFontAttributeName, Value(font)}});
    });
    EXPECT_EQ(own->tintColor(), blue);
    EXPECT_EQ(own->titleLabel()->font(), font);
    EXPECT_NE(own->titleLabel()->textColor(), green);  // its own attributes replace the proxy's whole

    // From 13 the standard appearance decides the background, hairline and title; the top item's wins.
    auto look = std::make_shared<UINavigationBarAppearance>();
    look->configureWithOpaqueBackground();
    look->setBackgroundColor(green);
    look->setShadowColor(UIColor::clearColor());
    look->setTitleTextAttributes({{NSForegroundColorAttributeName, Value(red)}});
    plain->setStandardAppearance(look);
    EXPECT_EQ(plain->barBackground()->backgroundColor(), green);
    EXPECT_TRUE(plain->barBackground()->shadowView()->isHidden());
    EXPECT_EQ(plain->titleLabel()->textColor(), red);
    EXPECT_FALSE(plain->isTranslucent());
    auto itemLook = look->copy();
    itemLook->setBackgroundColor(blue);
    plain->topItem()->setStandardAppearance(itemLook);
    EXPECT_EQ(plain->barBackground()->backgroundColor(), blue);

    // Before 13 appearances are not consulted.
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{12, 0, 0});
    plain->setBarTintColor(red);
    EXPECT_EQ(plain->barBackground()->backgroundColor(), red);
    EXPECT_FALSE(plain->barBackground()->shadowView()->isHidden());
    EXPECT_TRUE(plain->isTranslucent());

    // An empty shadow image hides the hairline; a background image replaces the blur.
    plain->setShadowImage(std::make_shared<UIImage>());
    EXPECT_TRUE(plain->barBackground()->shadowView()->isHidden());
}

}  // namespace
