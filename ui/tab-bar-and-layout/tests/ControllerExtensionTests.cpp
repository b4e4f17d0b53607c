// The owner lookup, top-most controller and dismissal, orientation flag, the
// view-controller extension (tab index, pop-select, push or pop, navigation
// bar hiding, pop gesture), base controllers and the system colours and
// image helpers.

#include "TabBarTestSupport.h"

#include <ui_tab_bar_and_layout/TBBaseViewControllers.h>
#include <ui_tab_bar_and_layout/TBControllerLookup.h>
#include <ui_tab_bar_and_layout/TBSystemColors.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_dispatch/Dispatch.h>
#include <platform_dispatch/RunLoopSpin.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIGestureRecognizer.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace tab_test;

namespace {

void drain() {
    bool done = false;
    dispatch_async(dispatch_get_main_queue(), [&] { done = true; });
    spinMainRunLoopUntil([&] { return done; }, 5);
}

TEST_F(TabBarTest, AControllerDeepInATabFindsItsOwnerThroughItsParents) {
    appTabs();
    show(tabs);
    auto pushed = std::make_shared<UIViewController>();
    navigations[0]->pushViewController(pushed, false);
    EXPECT_EQ(tb_tabBarController(*pushed), tabs);
    EXPECT_EQ(tb_tabIndex(pushed), TBNotFound);
    EXPECT_FALSE(tb_tabButton(pushed));
    // A wrapped root and its navigation controller resolve to the same tab.
    EXPECT_EQ(tb_tabIndex(roots[1]), 1);
    EXPECT_EQ(tb_tabIndex(navigations[1]), 1);
    EXPECT_EQ(tb_tabButton(roots[1]), tabs->tbTabBar()->tabBarButtonArray()[1]);
    EXPECT_EQ(tb_indexForClassType(UINavigationController::classObject(), tabs->viewControllers()), TBNotFound);
    EXPECT_EQ(tb_indexForClassType(UIViewController::classObject(), tabs->viewControllers()), 0);
}

TEST_F(TabBarTest, AReleasedControllerIsNotAnsweredAndTheWindowsRootIs) {
    auto child = std::make_shared<UIViewController>();
    {
        auto temporary = TBTabBarController::tabBarControllerWithViewControllers(
            Value(Value::Array{Value(child)}), Value::Array{Value(attributes("A", "home", "home"))});
        EXPECT_EQ(tb_tabBarController(*child), temporary);
        temporary->setViewControllers(Value());
    }
    EXPECT_FALSE(tb_tabBarController(*child));
    appTabs();
    show(tabs);
    EXPECT_EQ(tb_tabBarController(*child), tabs);
}

TEST_F(TabBarTest, TopmostControllerAndDismissingEverything) {
    appTabs();
    show(tabs);
    EXPECT_EQ(tb_topmostViewController(), roots[0]);
    EXPECT_EQ(tb_currentNavigationController(), navigations[0]);
    int calls = 0;
    tb_dismissAll([&] { ++calls; });
    EXPECT_EQ(calls, 1);  // nothing presented: at once

    auto first = std::make_shared<UIViewController>();
    auto second = UINavigationController::withRootViewController(std::make_shared<UIViewController>());
    tabs->presentViewController(first, false);
    first->presentViewController(second, false);
    drain();
    EXPECT_EQ(tb_topmostViewController(), second->topViewController());
    tb_dismissAll([&] { ++calls; });
    spinMainRunLoopUntil([&] { return calls == 2; }, 5);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(tabs->presentedViewController());
}

TEST_F(TabBarTest, ForcingAnOrientationRecordsLandscapeOnTheDelegate) {
    tb_forceUpdateInterfaceOrientation(4);
    EXPECT_TRUE(tb_isForceLandscape(*delegate));
    EXPECT_EQ(UIDevice::currentDevice()->orientation(), 4);
    tb_forceUpdateInterfaceOrientation(1);
    EXPECT_FALSE(tb_isForceLandscape(*delegate));
    EXPECT_EQ(UIDevice::currentDevice()->orientation(), 1);
}

TEST_F(TabBarTest, PopSelectGoesToTheOtherTabsRootAndLogsABadIndex) {
    appTabs();
    show(tabs);
    auto pushed = std::make_shared<UIViewController>();
    navigations[2]->pushViewController(pushed, false);
    auto answered = tb_popSelectTabBarChildViewControllerAtIndex(roots[2], 0);
    EXPECT_EQ(answered, roots[0]);
    EXPECT_EQ(tabs->selectedIndex(), 0);
    EXPECT_EQ(navigations[2]->viewControllers().size(), 1u);

    UIViewControllerPtr completed;
    tb_popSelectTabBarChildViewControllerAtIndex(roots[0], 1, [&](UIViewControllerPtr c) { completed = c; });
    EXPECT_FALSE(completed);  // on the main queue, after this event
    drain();
    EXPECT_EQ(completed, roots[1]);

    logged.clear();
    tb_popSelectTabBarChildViewControllerAtIndex(roots[1], 9);
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged[0].find("checkTabBarChildControllerValidityAtIndex:]（在第"), std::string::npos);
    EXPECT_NE(logged[0].find("------ BEGIN NSException Log"), std::string::npos);
    EXPECT_NE(logged[0].find("is not the item of TBTabBarViewController"), std::string::npos);
    EXPECT_EQ(tabs->selectedIndex(), 1);
}

class Detail : public UIViewController {
    NS_CLASS(Detail, UIViewController)
};
class Other : public UIViewController {
    NS_CLASS(Other, UIViewController)
};

TEST_F(TabBarTest, PushOrPopDecisions) {
    appTabs();
    show(tabs);
    auto nav = navigations[0];
    auto detail = std::make_shared<Detail>();
    nav->pushViewController(detail, false);
    // Same class on top: nothing pushed.
    tb_pushViewController(roots[0], std::make_shared<Detail>(), false);
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    // Pop flag with a non-empty same-class list pops to the given controller.
    auto top = std::make_shared<UIViewController>();
    nav->pushViewController(top, false);
    auto next = std::make_shared<Detail>();
    std::optional<std::vector<UIViewControllerPtr>> seen;
    tb_pushOrPopToViewController(top, next, false, [&](auto same, TBPushOrPopDecision decide) {
        seen = same;
        decide(true, detail, false, 0);
    });
    drain();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->size(), 1u);
    EXPECT_EQ(nav->topViewController(), detail);

    // Pop flag with an empty list pushes instead.
    auto plain = std::make_shared<Other>();
    tb_pushOrPopToViewController(detail, plain, false, [&](auto same, TBPushOrPopDecision decide) {
        EXPECT_TRUE(same && same->empty());
        decide(true, roots[0], false, 0);
    });
    drain();
    EXPECT_EQ(nav->topViewController(), plain);
}

TEST_F(TabBarTest, NavigationBarHidingAndThePopGesture) {
    appTabs();
    show(tabs);
    auto nav = navigations[0];
    auto hidden = std::make_shared<UIViewController>(), alsoHidden = std::make_shared<UIViewController>();
    tb_setNavigationBarHidden(*hidden, true);
    tb_setNavigationBarHidden(*alsoHidden, true);
    EXPECT_TRUE(tb_shouldNavigationBarVisible(*roots[0]));  // top of its stack
    nav->pushViewController(hidden, false);
    tb_viewWillAppearNavigationSetting(*hidden, false);
    EXPECT_TRUE(nav->isNavigationBarHidden());
    nav->pushViewController(alsoHidden, false);
    // Leaving a hidden-bar screen for another one does not flash the bar.
    EXPECT_FALSE(tb_shouldNavigationBarVisible(*hidden));
    tb_setNavigationBarVisibleIfNeeded(*hidden, false);
    EXPECT_TRUE(nav->isNavigationBarHidden());

    auto gesture = nav->interactivePopGestureRecognizer();
    ASSERT_TRUE(gesture);
    tb_resetInteractivePopGestureRecognizer(*alsoHidden);
    EXPECT_TRUE(gesture->isEnabled());
    tb_setDisablePopGestureRecognizer(*alsoHidden, true);
    tb_resetInteractivePopGestureRecognizer(*alsoHidden);
    EXPECT_FALSE(gesture->isEnabled());
    nav->popToRootViewControllerAnimated(false);
    tb_resetInteractivePopGestureRecognizer(*roots[0]);
    EXPECT_FALSE(gesture->isEnabled());
    tb_viewDidDisappearNavigationSetting(*roots[0], false);
    EXPECT_TRUE(gesture->isEnabled());
    EXPECT_TRUE(gesture->delegate());
    tb_viewWillDisappearNavigationSetting(*roots[0], false);
    EXPECT_FALSE(gesture->delegate());
}

TEST_F(TabBarTest, TheBaseNavigationControllerHidesTheBarForTheSecondScreen) {
    auto nav = std::make_shared<TBBaseNavigationController>();
    auto first = std::make_shared<UIViewController>(), second = std::make_shared<UIViewController>(),
         third = std::make_shared<UIViewController>();
    first->setHidesBottomBarWhenPushed(true);
    nav->pushViewController(first, false);
    nav->pushViewController(second, false);
    nav->pushViewController(third, false);
    EXPECT_FALSE(first->hidesBottomBarWhenPushed());
    EXPECT_TRUE(second->hidesBottomBarWhenPushed());
    EXPECT_FALSE(third->hidesBottomBarWhenPushed());
}

TEST_F(TabBarTest, SystemColoursByVersion) {
    struct Case {
        const char* os;
        UIColorPtr (*colour)();
        UIColorPtr expected;
    };
    auto rgb = [](double r, double g, double b, double a) { return UIColor::colorWithRed(r / 255, g / 255, b / 255, a); };
    for (const Case& c : {Case{"12.4", tb_systemGrayColor, rgb(142, 142, 147, 1.0)},
                          Case{"12.4", tb_separatorColor, rgb(60, 60, 67, 0.29)},
                          Case{"12.4", tb_systemBrownColor, rgb(162, 132, 94, 1.0)},
                          Case{"12.4", tb_quaternarySystemFillColor, rgb(116, 116, 128, 0.08)},
                          Case{"13.0", tb_systemGrayColor, UIColor::systemGrayColor()},
                          Case{"13.0", tb_labelColor, UIColor::labelColor()}}) {
        NSProcessInfo::setOperatingSystemVersionForTesting(NSProcessInfo::parseOperatingSystemVersion(c.os));
        auto got = c.colour();
        ASSERT_TRUE(got);
        for (auto style : {UIUserInterfaceStyleLight, UIUserInterfaceStyleDark}) {
            auto traits = UITraitCollection::traitCollectionWithUserInterfaceStyle(style);
            auto a = got->resolvedColorWithTraitCollection(*traits)->rgba();
            auto b = c.expected->resolvedColorWithTraitCollection(*traits)->rgba();
            for (int i = 0; i < 4; ++i) EXPECT_NEAR(a[i], b[i], 1e-9) << c.os << " style " << style << " channel " << i;
        }
    }
}

TEST_F(TabBarTest, ASolidImageAndLightOrDarkChoice) {
    EXPECT_FALSE(tb_imageWithColor(UIColor::whiteColor(), CGSizeMake(0, 22)));
    EXPECT_FALSE(tb_imageWithColor(nullptr, CGSizeMake(22, 22)));
    auto white = tb_imageWithColor(UIColor::whiteColor(), CGSizeMake(22, 22));
    ASSERT_TRUE(white);
    EXPECT_EQ(white->size().width, 22);
    EXPECT_EQ(white->scale(), 3);
    EXPECT_EQ(white->renderingMode(), UIImageRenderingModeAlwaysOriginal);

    auto light = tb_test_image(), dark = tb_imageWithColor(UIColor::blackColor(), CGSizeMake(4, 4));
    UITraitCollection::Scope scope(UITraitCollection::traitCollectionWithUserInterfaceStyle(UIUserInterfaceStyleDark));
    EXPECT_EQ(tb_lightOrDarkModeImageWithLightImage(light, dark), dark);
    NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{12, 4, 0});
    EXPECT_EQ(tb_lightOrDarkModeImageWithLightImage(light, dark), light);
}

// The animation hooks are handed every tab on the main queue's next turn, and
// only when every tab has an animation; otherwise the controller counts them
// as added at once.
TEST_F(TabBarTest, AnimationHooksWaitForTheNextTurnOnlyWhenEveryTabHasAnAnimation) {
    struct Case {
        const char* name;
        int animated;
        bool addedAtOnce;
    };
    for (Case c : {Case{"every tab", 3, false}, Case{"two of three", 2, true}, Case{"none", 0, true}}) {
        SCOPED_TRACE(c.name);
        if (window) window->setHidden(true);
        TBResetRegistryForTesting();
        Value::Array attributes, children;
        for (int i = 0; i < 3; ++i) {
            Value::Dictionary a = TabBarTest::attributes("Tab", "home", "home_selected");
            if (i < c.animated) a[Value(TBTabBarMotionURL)] = Value("file:///motion.json");
            attributes.push_back(Value(a));
            children.push_back(Value(std::make_shared<UIViewController>()));
        }
        auto controller = TBTabBarController::tabBarControllerWithViewControllers(Value(children), attributes);
        show(controller);
        EXPECT_EQ(controller->isMotionViewAdded(), c.addedAtOnce);
        drain();
        EXPECT_TRUE(controller->isMotionViewAdded());
    }
}

// The asset helper loads the asset it is asked for (a bundle that also holds
// "image" shows it), in the style asked for from 13 and the plain one before.
TEST_F(TabBarTest, AnAssetImageIsTheNamedOneInTheAskedStyle) {
    char pattern[] = "/tmp/tab-asset-test-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    for (auto [file, side] : {std::pair{"image@2x.png", 7.0}, std::pair{"badge@2x.png", 12.0},
                              std::pair{"badge~dark@2x.png", 14.0}}) {
        UIGraphicsImageRendererFormat format;
        format.scale = 2;
        auto png = UIGraphicsImageRenderer(CGSizeMake(side, side), format).PNGDataWithActions(
            [&](UIGraphicsImageRendererContext& context) { context.fillRect(CGRectMake(0, 0, side, side)); });
        std::ofstream(dir + "/" + file, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
    NSBundle::setMainBundlePathForTesting(dir);
    struct Case {
        const char* name;
        NSOperatingSystemVersion os;
        UIUserInterfaceStyle style;
        double side;
    };
    for (Case c : {Case{"light at 13", {13, 0, 0}, UIUserInterfaceStyleLight, 12},
                   Case{"dark at 13", {13, 0, 0}, UIUserInterfaceStyleDark, 14},
                   Case{"dark before 13", {12, 4, 0}, UIUserInterfaceStyleDark, 12}}) {
        SCOPED_TRACE(c.name);
        NSProcessInfo::setOperatingSystemVersionForTesting(c.os);
        auto image = tb_assetImageName("badge", c.style);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), CGSizeMake(c.side, c.side));
    }
    EXPECT_FALSE(tb_assetImageName("missing", UIUserInterfaceStyleLight));
    std::filesystem::remove_all(dir);
}

TEST_F(TabBarTest, ThePlaceholderImageIsWhitePixelsAtTheScreensScale) {
    auto controller = std::make_shared<TBTabBarController>();
    auto image = controller->tabItemPlaceholderImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(controller->tabItemPlaceholderImage(), image);
    const std::string path = imageBundle() + "/placeholder.png";
    auto png = UIImagePNGRepresentation(image);
    ASSERT_FALSE(png.empty());
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
    const std::string script =
        "/usr/bin/python3 -c \"import sys\ntry:\n from PIL import Image\nexcept ImportError:\n sys.exit(77)\n"
        "im=Image.open('" + path + "').convert('RGBA')\nprint(im.size, set(im.getdata()))\"";
    FILE* p = popen(script.c_str(), "r");
    char buffer[256] = {};
    std::string out;
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    const int status = pclose(p);
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "python3-pil is not installed";
    EXPECT_EQ(out, "(66, 66) {(255, 255, 255, 255)}\n");
}

}  // namespace

#include <platform_uikit/UINavigationBar.h>

namespace {

TEST_F(TabBarTest, SeparatorHidingAndTheBackAction) {
    appTabs();
    show(tabs);
    auto nav = navigations[0];
    tb_setHideNavigationBarSeparator(*roots[0], true);
    tb_viewWillAppearNavigationSetting(*roots[0], false);
    ASSERT_TRUE(nav->navigationBar()->shadowImage());
    EXPECT_FALSE(nav->navigationBar()->isTranslucent());

    // Inside a stack the back action pops; a presented controller alone is dismissed.
    auto pushed = std::make_shared<UIViewController>();
    nav->pushViewController(pushed, false);
    tb_handleNavigationBackActionWithAnimated(pushed, false);
    EXPECT_EQ(nav->topViewController(), roots[0]);
    auto presented = std::make_shared<UIViewController>();
    tabs->presentViewController(presented, false);
    drain();
    ASSERT_EQ(tabs->presentedViewController(), presented);
    tb_handleNavigationBackActionWithAnimated(presented, false);
    spinMainRunLoopUntil([&] { return !tabs->presentedViewController(); }, 5);
    EXPECT_FALSE(tabs->presentedViewController());
}

}  // namespace
