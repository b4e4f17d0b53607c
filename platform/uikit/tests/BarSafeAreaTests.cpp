// Views under translucent bars: where the containers place their child's view
// and how far the bars grow its safe area (and so a table's content inset).

#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITableViewController.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSProcessInfo.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class BarSafeArea : public ::testing::Test {
protected:
    void SetUp() override {
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{15, 0, 0});
        UIScreen::setMainScreenSpecForTesting(std::string("375x812@3"));
    }
    void TearDown() override {
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        UIScreen::setMainScreenSpecForTesting(std::nullopt);
    }
};

enum class Containers { Navigation, Tabs, TabsHoldingNavigation };

TEST_F(BarSafeArea, ContentFrameAndInsetsPerBarKind) {
    // 375 x 812: 44 status bar / top safe area, 34 home indicator; bars 44 (navigation) and 49 + 34 (tabs).
    struct Case {
        const char* name;
        Containers containers;
        bool translucent;
        bool includesOpaqueBars;
        uint64_t edges;
        CGRect frame;
        UIEdgeInsets overlay;  // what the bars over the table's controller add
        double insetTop, insetBottom;
    };
    const Case cases[] = {
        {"navigation, translucent", Containers::Navigation, true, false, UIRectEdgeAll, CGRectMake(0, 0, 375, 812),
         UIEdgeInsetsMake(44, 0, 0, 0), 88, 34},
        {"navigation, opaque", Containers::Navigation, false, false, UIRectEdgeAll, CGRectMake(0, 88, 375, 724),
         UIEdgeInsetsZero, 0, 34},
        {"navigation, opaque, included", Containers::Navigation, false, true, UIRectEdgeAll,
         CGRectMake(0, 0, 375, 812), UIEdgeInsetsMake(44, 0, 0, 0), 88, 34},
        {"navigation, translucent, top not extended", Containers::Navigation, true, false, UIRectEdgeBottom,
         CGRectMake(0, 88, 375, 724), UIEdgeInsetsZero, 0, 34},
        {"tabs, translucent", Containers::Tabs, true, false, UIRectEdgeAll, CGRectMake(0, 0, 375, 812),
         UIEdgeInsetsMake(0, 0, 49, 0), 44, 83},
        {"tabs, opaque", Containers::Tabs, false, false, UIRectEdgeAll, CGRectMake(0, 0, 375, 729), UIEdgeInsetsZero,
         44, 0},
        {"tabs, opaque, included", Containers::Tabs, false, true, UIRectEdgeAll, CGRectMake(0, 0, 375, 812),
         UIEdgeInsetsMake(0, 0, 49, 0), 44, 83},
        {"tabs, translucent, bottom not extended", Containers::Tabs, true, false, UIRectEdgeTop,
         CGRectMake(0, 0, 375, 729), UIEdgeInsetsZero, 44, 0},
        {"tabs holding navigation, translucent", Containers::TabsHoldingNavigation, true, false, UIRectEdgeAll,
         CGRectMake(0, 0, 375, 812), UIEdgeInsetsMake(44, 0, 0, 0), 88, 83},
        {"tabs holding navigation, opaque", Containers::TabsHoldingNavigation, false, false, UIRectEdgeAll,
         CGRectMake(0, 88, 375, 641), UIEdgeInsetsZero, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto table = std::make_shared<UITableViewController>();
        table->setEdgesForExtendedLayout(c.edges);
        table->setExtendedLayoutIncludesOpaqueBars(c.includesOpaqueBars);
        UIViewControllerPtr root;
        std::shared_ptr<UINavigationController> navigation;
        std::shared_ptr<UITabBarController> tabs;
        if (c.containers != Containers::Tabs) {
            navigation = UINavigationController::withRootViewController(table);
            navigation->navigationBar()->setTranslucent(c.translucent);
            navigation->setExtendedLayoutIncludesOpaqueBars(c.includesOpaqueBars);
            root = navigation;
        }
        if (c.containers != Containers::Navigation) {
            tabs = std::make_shared<UITabBarController>();
            tabs->tabBar()->setTranslucent(c.translucent);
            tabs->setViewControllers({navigation ? UIViewControllerPtr(navigation) : UIViewControllerPtr(table)});
            root = tabs;
        }
        auto window = std::make_shared<UIWindow>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        window->layoutIfNeeded();

        const auto tableView = table->tableView();
        EXPECT_EQ(tableView->convertRectToView(tableView->bounds(), window.get()), c.frame);
        EXPECT_EQ(table->contentOverlayInsets(), c.overlay);
        EXPECT_DOUBLE_EQ(tableView->safeAreaInsets().top, c.insetTop);
        EXPECT_DOUBLE_EQ(tableView->safeAreaInsets().bottom, c.insetBottom);
        EXPECT_DOUBLE_EQ(tableView->adjustedContentInset().top, c.insetTop);
        EXPECT_DOUBLE_EQ(tableView->adjustedContentInset().bottom, c.insetBottom);
        window->setHidden(true);
    }
}

TEST_F(BarSafeArea, ThePushedControllerGetsTheBarAndLosesItWhenPopped) {
    auto root = std::make_shared<UIViewController>();
    auto pushed = std::make_shared<UIViewController>();
    auto navigation = UINavigationController::withRootViewController(root);
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    navigation->pushViewController(pushed, false);
    EXPECT_EQ(pushed->contentOverlayInsets(), UIEdgeInsetsMake(44, 0, 0, 0));
    EXPECT_DOUBLE_EQ(pushed->view()->safeAreaInsets().top, 88);
    navigation->popViewControllerAnimated(false);
    EXPECT_EQ(pushed->contentOverlayInsets(), UIEdgeInsetsZero);
    EXPECT_EQ(root->contentOverlayInsets(), UIEdgeInsetsMake(44, 0, 0, 0));

    // Hiding the bar takes its height away from the safe area.
    navigation->setNavigationBarHidden(true);
    EXPECT_EQ(root->contentOverlayInsets(), UIEdgeInsetsZero);
    EXPECT_DOUBLE_EQ(root->view()->safeAreaInsets().top, 44);
    window->setHidden(true);
}

// Before 11 there is no adjusted inset: a table that is its controller's first subview gets the
// bars' heights in its own content inset, starts scrolled to below the navigation bar, and
// keeps an inset its owner adds on top (a refresh header's) through later layouts.
TEST_F(BarSafeArea, BeforeElevenTheBarsGoIntoTheFirstScrollViewsContentInset) {
    for (int os : {10, 15}) {
        SCOPED_TRACE(os);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{os, 0, 0});
        auto list = std::make_shared<UIViewController>();
        auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 375, 812));
        list->view()->addSubview(table);
        auto navigation = UINavigationController::withRootViewController(list);
        auto tabs = std::make_shared<UITabBarController>();
        tabs->setViewControllers({navigation});
        auto window = std::make_shared<UIWindow>();
        window->setRootViewController(tabs);
        window->makeKeyAndVisible();
        window->layoutIfNeeded();

        const UIEdgeInsets bars = os < 11 ? UIEdgeInsetsMake(88, 0, 49, 0) : UIEdgeInsetsZero;  // a 49-point tab bar before 11
        EXPECT_EQ(table->contentInset(), bars);
        EXPECT_DOUBLE_EQ(table->adjustedContentInset().top, 88);
        EXPECT_DOUBLE_EQ(table->contentOffset().y, -88);

        UIEdgeInsets owned = table->contentInset();
        owned.top += 54;
        table->setContentInset(owned);
        list->view()->setNeedsLayout();
        window->layoutIfNeeded();
        EXPECT_DOUBLE_EQ(table->contentInset().top, bars.top + 54);
        window->setHidden(true);
    }
}

}  // namespace
