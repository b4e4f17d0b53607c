// The tab bar controller on the app's road (plain initialiser, three
// navigation children, window root) and its edges: the count check, titles
// by system version, insets, animation sizes, bar height, context, layout
// closure, selection and the owner lookup.

#include "TabBarTestSupport.h"

#include <ui_tab_bar_and_layout/TBControlExtension.h>
#include <ui_tab_bar_and_layout/TBControllerLookup.h>
#include <ui_tab_bar_and_layout/TBTabSubviews.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_runtime/NSException.h>
#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UITabBarButton.h>
#include <platform_uikit/_UIBarBackground.h>

using namespace tab_test;

namespace {

TEST_F(TabBarTest, TheAppsThreeTabsFillTheRegistryAndTheirItems) {
    appTabs();
    EXPECT_EQ(TBRegistry().tabItemCount, 3u);
    EXPECT_DOUBLE_EQ(TBRegistry().tabItemWidth, 125);
    ASSERT_EQ(tabs->viewControllers().size(), 3u);
    const char* titles[] = {"Devices", "History", "Settings"};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto& item = navigations[i]->tabBarItem();
        EXPECT_EQ(item->title(), titles[i]);
        ASSERT_TRUE(item->image());
        EXPECT_EQ(item->image()->renderingMode(), UIImageRenderingModeAlwaysOriginal);
        EXPECT_EQ(item->selectedImage()->renderingMode(), UIImageRenderingModeAlwaysOriginal);
        EXPECT_EQ(tb_tabBarController(*roots[i]), tabs);
    }
    EXPECT_DOUBLE_EQ(navigations[0]->tabBarItem()->image()->size().width, 30);
    EXPECT_TRUE(tabs->motionURLs().empty());
    EXPECT_FALSE(tabs->isMotionViewAdded());

    show(tabs);
    EXPECT_TRUE(tabs->isMotionViewAdded());
    auto bar = tabs->tbTabBar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(tb_tabBarController(*bar), tabs);
    ASSERT_EQ(bar->tabBarButtonArray().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tb_tabBarChildViewControllerIndex(*bar->tabBarButtonArray()[i]), static_cast<int64_t>(i));
        EXPECT_DOUBLE_EQ(bar->tabBarButtonArray()[i]->frame().origin.x, 125.0 * static_cast<double>(i));
    }
    // The window's delegate finds the controller, also for an object it never told.
    EXPECT_EQ(TBTabBarController::rootViewController(), tabs);
    auto stranger = std::make_shared<UIViewController>();
    EXPECT_EQ(tb_tabBarController(*stranger), tabs);
}

TEST_F(TabBarTest, TheBarIs83PointsHighAtTheBottomOfATallPhoneAndThePlatformsElsewhere) {
    struct Case {
        const char* screen;
        const char* os;
        double height;
    };
    for (const Case& c : {Case{"375x812@3", "15.0", 83}, Case{"375x667@2", "15.0", 49}, Case{"375x812@3", "10.3", 49}}) {
        SCOPED_TRACE(std::string(c.screen) + " " + c.os);
        UIScreen::setMainScreenSpecForTesting(c.screen);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSProcessInfo::parseOperatingSystemVersion(c.os));
        freshAppTabs();
        show(tabs);
        const CGRect bar = tabs->tabBar()->frame();
        const CGRect view = tabs->view()->bounds();
        EXPECT_DOUBLE_EQ(bar.size.height, c.height);
        EXPECT_DOUBLE_EQ(bar.origin.y + bar.size.height, view.size.height);
        window->setHidden(true);
    }
}

TEST_F(TabBarTest, AnAttributeCountOtherThanTheChildrensRaisesAfterTheOldChildrenLeft) {
    appTabs();
    tabs->setTabBarItemsAttributes(Value::Array{Value(attributes("A", "home", "home")), Value(attributes("B", "list", "list"))});
    std::vector<UIViewControllerPtr> three = {std::make_shared<UIViewController>(), std::make_shared<UIViewController>(),
                                              std::make_shared<UIViewController>()};
    try {
        tabs->setViewControllers(three);
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "TBTabBarController");
        EXPECT_EQ(e.reason(),
                  "The count of TBTabBarControllers is not equal to the count of tabBarItemsAttributes.【Chinese】"
                  "设置_tabBarItemsAttributes属性时，请确保元素个数与控制器的个数相同，并在方法`-setViewControllers:`之前设置");
    }
    EXPECT_TRUE(tabs->viewControllers().empty());
    for (const auto& n : navigations) EXPECT_FALSE(n->parentViewController());
    // No attributes at all raises too.
    auto bare = std::make_shared<TBTabBarController>();
    EXPECT_THROW(bare->setViewControllers(three), NSException);
}

TEST_F(TabBarTest, ANonArrayClearsTheTabsWithoutError) {
    appTabs();
    tabs->setViewControllers(Value("not an array"));
    EXPECT_TRUE(tabs->viewControllers().empty());
    tabs->setViewControllers(Value::Array{Value(42)});
    EXPECT_TRUE(tabs->viewControllers().empty());
}

TEST_F(TabBarTest, AnEmptyListBuildsNoTabsAndAZeroWidth) {
    auto controller = TBTabBarController::tabBarControllerWithViewControllers(Value(Value::Array{}), {});
    EXPECT_TRUE(controller->viewControllers().empty());
    EXPECT_EQ(TBRegistry().tabItemCount, 0u);
    EXPECT_DOUBLE_EQ(TBRegistry().tabItemWidth, 0);
    EXPECT_EQ(controller->context(), "TBTabBarController");
}

TEST_F(TabBarTest, AMissingTitleIsEmptyFrom13AndNoneBefore) {
    for (auto [os, expected] : {std::pair{"13.0", std::optional<std::string>("")},
                                std::pair{"12.4", std::optional<std::string>()}}) {
        SCOPED_TRACE(os);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSProcessInfo::parseOperatingSystemVersion(os));
        auto child = std::make_shared<UIViewController>();
        auto controller = TBTabBarController::tabBarControllerWithViewControllers(
            Value(Value::Array{Value(child)}), Value::Array{Value(attributes(nullptr, "home", "home"))});
        EXPECT_EQ(child->tabBarItem()->title(), expected);
    }
}

TEST_F(TabBarTest, ImagesFromNamesImagesOrNothing) {
    auto image = tb_test_image();
    struct Case {
        const char* name;
        Value info;
        bool placeholder;
        bool none;
    };
    auto controller = std::make_shared<TBTabBarController>();
    for (const Case& c : {Case{"missing key", Value(), true, false}, Case{"a number", Value(7), false, true},
                          Case{"a view", Value(std::make_shared<UIView>()), false, true},
                          Case{"an image", Value(image), false, false}}) {
        SCOPED_TRACE(c.name);
        auto child = std::make_shared<UIViewController>();
        Value::Dictionary d = attributes("T", nullptr, nullptr);
        if (!c.info.isNull()) d[Value(TBTabBarItemImage)] = c.info;
        controller->setTabBarItemsAttributes(Value::Array{Value(d)});
        controller->setViewControllers(std::vector<UIViewControllerPtr>{child});
        const auto& shown = child->tabBarItem()->image();
        if (c.placeholder) EXPECT_EQ(shown, controller->tabItemPlaceholderImage());
        else if (c.none) EXPECT_FALSE(shown);
        else EXPECT_EQ(shown, image);
    }
}

TEST_F(TabBarTest, ItemInsetsWinOverControllerInsetsAndZeroLeavesThePlatformValue) {
    const UIEdgeInsets own{1, 2, 3, 4}, wide{5, 0, -5, 0};
    struct Case {
        const char* name;
        UIEdgeInsets item, controller, expected;
    };
    for (const Case& c : {Case{"item", own, wide, own}, Case{"controller", {}, wide, wide},
                          Case{"neither", {}, {}, UIEdgeInsets{9, 9, 9, 9}}}) {
        SCOPED_TRACE(c.name);
        auto child = std::make_shared<UIViewController>();
        child->tabBarItem()->setImageInsets({9, 9, 9, 9});
        Value::Dictionary d = attributes("T", "home", "home");
        d[Value(TBTabBarItemImageInsets)] = Value(c.item);
        auto controller = TBTabBarController::tabBarControllerWithViewControllers(
            Value(Value::Array{Value(child)}), Value::Array{Value(d)}, c.controller, UIOffset{});
        const UIEdgeInsets got = child->tabBarItem()->imageInsets();
        EXPECT_EQ(got.top, c.expected.top);
        EXPECT_EQ(got.left, c.expected.left);
        EXPECT_EQ(got.bottom, c.expected.bottom);
        EXPECT_EQ(got.right, c.expected.right);
    }
}

TEST_F(TabBarTest, AnAnimationURLKeepsItsSizeTheImagesOr22) {
    auto url = Value("file:///motion.json");
    Value::Dictionary sized = attributes("A", "home", "home"), fromImage = sized, bare = attributes("C", nullptr, nullptr);
    sized[Value(TBTabBarMotionURL)] = url;
    sized[Value(TBTabBarMotionSize)] = Value(CGSizeMake(40, 44));
    fromImage[Value(TBTabBarMotionURL)] = url;
    bare[Value(TBTabBarMotionURL)] = url;
    bare[Value(TBTabBarItemImage)] = Value(7);
    auto controller = TBTabBarController::tabBarControllerWithViewControllers(
        Value(Value::Array{Value(std::make_shared<UIViewController>()), Value(std::make_shared<UIViewController>()),
                           Value(std::make_shared<UIViewController>())}),
        Value::Array{Value(sized), Value(fromImage), Value(bare)});
    ASSERT_EQ(controller->motionSizes().size(), 3u);
    EXPECT_DOUBLE_EQ(controller->motionSizes()[0].width, 40);
    EXPECT_DOUBLE_EQ(controller->motionSizes()[1].width, 30);
    EXPECT_DOUBLE_EQ(controller->motionSizes()[2].height, 22);
    EXPECT_TRUE(controller->isMotionEnabled());
}

TEST_F(TabBarTest, AnEmptyContextStoresTheClassName) {
    auto controller = std::make_shared<TBTabBarController>();
    controller->setContext(std::string());
    EXPECT_EQ(controller->context(), "TBTabBarController");
    controller->setContext(std::string("shop"));
    EXPECT_EQ(controller->context(), "shop");
}

TEST_F(TabBarTest, TheLayoutClosureRunsOnceOrOnEveryPass) {
    appTabs();
    int every = 0, once = 0;
    tabs->setViewDidLayoutSubviewsBlock([&](TBTabBarController&) { ++every; });
    show(tabs);
    tabs->view()->setNeedsLayout();
    tabs->view()->layoutIfNeeded();
    EXPECT_GE(every, 2);

    auto other = std::make_shared<TBTabBarController>();
    other->setViewDidLayoutSubViewsBlockInvokeOnce(false, [&](TBTabBarController&) { ++once; });
    EXPECT_TRUE(other->shouldInvokeOnceViewDidLayoutSubViewsBlock());
    other->setTabBarItemsAttributes(Value::Array{Value(attributes("A", "home", "home"))});
    other->setViewControllers(std::vector<UIViewControllerPtr>{std::make_shared<UIViewController>()});
    window->setRootViewController(other);
    window->layoutIfNeeded();
    other->view()->setNeedsLayout();
    other->view()->layoutIfNeeded();
    EXPECT_EQ(once, 1);
}

struct ControlDelegate : TBTabBarControllerDelegate {
    std::vector<std::shared_ptr<UIControl>> told;
    bool respondsToDidSelectControl() const override { return true; }
    void tabBarControllerDidSelectControl(TBTabBarController&, const std::shared_ptr<UIControl>& c) override {
        told.push_back(c);
    }
};

TEST_F(TabBarTest, SelectingAnIndexSelectsItsControlAndTellsTheDelegate) {
    appTabs();
    auto recorder = std::make_shared<ControlDelegate>();
    tabs->setDelegate(recorder);
    show(tabs);
    tabs->setSelectedIndex(2);
    EXPECT_EQ(tabs->selectedIndex(), 2);
    auto buttons = tabs->tbTabBar()->tabBarButtonArray();
    ASSERT_EQ(recorder->told.size(), 1u);
    EXPECT_EQ(recorder->told[0], buttons[2]);
    EXPECT_TRUE(buttons[2]->isSelected());
    EXPECT_FALSE(buttons[0]->isSelected());
    EXPECT_TRUE(tb_isSelected(*buttons[2]));

    // A control that must not be selected is ignored, and the delegate is not told.
    tb_setShouldNotSelect(*buttons[1], true);
    tabs->didSelectControl(buttons[1]);
    EXPECT_FALSE(buttons[1]->isSelected());
    EXPECT_EQ(recorder->told.size(), 1u);

    // An index beyond the tabs selects nothing and logs the query.
    tabs->setSelectedIndex(7);
    EXPECT_EQ(tabs->selectedIndex(), 2);
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.front().find("tb_visibleControlWithIndex:]（在第156行），描述：*** -[NSArray objectAtIndex:]: "
                                  "index 7 beyond bounds [0 .. 2]"),
              std::string::npos)
        << logged.front();
}

TEST_F(TabBarTest, ATapOnATabSelectsItsChild) {
    appTabs();
    show(tabs);
    auto button = tabs->tbTabBar()->tabBarButtonArray()[1];
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_TRUE(button->isSelected());
}

TEST_F(TabBarTest, HidingTheHairline) {
    appTabs();
    show(tabs);
    auto hairline = tb_tabShadowImageView(tabs->tabBar());
    ASSERT_TRUE(hairline);
    EXPECT_FALSE(hairline->isHidden());
    tabs->hideTabBarShadowImageView();
    EXPECT_TRUE(hairline->isHidden());
    EXPECT_EQ(hairline->alpha(), 0);
}

// Before 10 the system kept the hairline beside the buttons, a direct subview
// of the bar; from 10 it lives in the bar's background. Each version hides
// its own line and leaves the other alone.
TEST_F(TabBarTest, TheHairlineHiddenIsTheBarsOwnBeforeTenAndTheBackgroundsFromTen) {
    struct Case {
        NSOperatingSystemVersion os;
        bool backgroundLine;
    };
    for (Case c : {Case{{9, 3, 0}, false}, Case{{10, 3, 0}, true}}) {
        SCOPED_TRACE(c.os.majorVersion);
        NSProcessInfo::setOperatingSystemVersionForTesting(c.os);
        freshAppTabs();
        show(tabs);
        auto bar = tabs->tabBar();
        auto direct = std::make_shared<UIView>(CGRectMake(0, -0.5, 375, 0.5));
        bar->addSubview(direct);
        auto background = tb_tabBackgroundView(bar);
        ASSERT_TRUE(background);
        UIViewPtr backgroundLine;
        for (const auto& sub : background->subviews())
            if (std::dynamic_pointer_cast<_UIBarBackgroundShadowView>(sub)) backgroundLine = sub;
        ASSERT_TRUE(backgroundLine);

        tabs->hideTabBarShadowImageView();
        auto hidden = c.backgroundLine ? backgroundLine : direct;
        auto kept = c.backgroundLine ? direct : backgroundLine;
        EXPECT_TRUE(hidden->isHidden());
        EXPECT_EQ(hidden->alpha(), 0);
        EXPECT_FALSE(kept->isHidden());
        EXPECT_EQ(kept->alpha(), 1);
    }
}

// From 13 a bar without an unselected tint takes the colour an unselected
// tab's title shows (not the selected one's); before 13, or when the app set
// a tint, nothing is preset.
TEST_F(TabBarTest, FromThirteenTheUnselectedTintComesFromAnUnselectedTitle) {
    const auto orange = UIColor::systemOrangeColor(), green = UIColor::greenColor(), purple = UIColor::purpleColor();
    struct Case {
        const char* name;
        NSOperatingSystemVersion os;
        UIColorPtr set, expected;
    };
    const std::vector<Case> cases{{"12.4: left unset", {12, 4, 0}, nullptr, nullptr},
                                  {"13: the unselected title's colour", {13, 0, 0}, nullptr, orange},
                                  {"13: the app's own tint stays", {13, 0, 0}, purple, purple}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NSProcessInfo::setOperatingSystemVersionForTesting(c.os);
        freshAppTabs();
        for (const auto& n : navigations) {
            n->tabBarItem()->setTitleTextAttributes({{Value(NSForegroundColorAttributeName), Value(orange)}},
                                                    UIControlStateNormal);
            n->tabBarItem()->setTitleTextAttributes({{Value(NSForegroundColorAttributeName), Value(green)}},
                                                    UIControlStateSelected);
        }
        tabs->view();  // the component's bar replaces the platform's when the view loads
        tabs->setSelectedIndex(2);  // the selected tab comes after the unselected ones
        if (c.set) tabs->tabBar()->setUnselectedItemTintColor(c.set);
        show(tabs);
        ASSERT_TRUE(tabs->tbTabBar());
        if (!c.set) {
            // Again with a tab selected (none is at the first pass).
            tabs->tabBar()->setUnselectedItemTintColor(nullptr);
            tabs->tabBar()->setNeedsLayout();
            tabs->tabBar()->layoutIfNeeded();
        }
        auto got = tabs->tabBar()->unselectedItemTintColor();
        if (!c.expected) {
            EXPECT_FALSE(got);
        } else {
            ASSERT_TRUE(got);
            EXPECT_EQ(got->rgba(), c.expected->rgba());
        }
    }
}

}  // namespace
