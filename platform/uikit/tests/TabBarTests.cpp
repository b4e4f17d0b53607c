#include "ControllerLogging.h"

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UIWindow.h>

#include <platform_foundation/NSProcessInfo.h>
#include <platform_runtime/KeyValueCoding.h>
#include <platform_runtime/NSException.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace controller_test;

std::vector<std::string> classNames(const std::vector<UIViewPtr>& views) {
    std::vector<std::string> out;
    for (const auto& v : views) out.push_back(v->className());
    return out;
}

UIImagePtr imageOfSize(double w, double h) {
    auto image = std::make_shared<UIImage>();
    image->setName("icon");
    (void)w, (void)h;
    return image;
}

// Records what a tab bar controller asks its delegate and can refuse a child.
struct RecordingDelegate : UITabBarControllerDelegate {
    Log* log = nullptr;
    std::string refuse;
    bool tabBarControllerShouldSelectViewController(UITabBarController&, const UIViewControllerPtr& c) override {
        auto& name = static_cast<LoggingController&>(*c).name;
        log->push_back("should " + name);
        return name != refuse;
    }
    void tabBarControllerDidSelectViewController(UITabBarController&, const UIViewControllerPtr& c) override {
        log->push_back("did " + static_cast<LoggingController&>(*c).name);
    }
};

// Three tabs A, B, C with A shown (appeared) in a key window.
class TabSwitch : public HookedSlots {
public:
    void SetUp() override {
        HookedSlots::SetUp();
        a = make("A", log), b = make("B", log), c = make("C", log);
        for (auto& [vc, title] : {std::pair{a, "A"}, std::pair{b, "B"}, std::pair{c, "C"}})
            vc->tabBarItem()->setTitle(title);
        tabs = std::make_shared<UITabBarController>();
        tabs->setViewControllers({a, b, c});
        delegate = std::make_shared<RecordingDelegate>();
        delegate->log = &log;
        tabs->setDelegate(delegate);
        window = std::make_shared<UIWindow>();
        window->setRootViewController(tabs);
        window->makeKeyAndVisible();
        log.clear();
    }
    void TearDown() override {
        window->setHidden(true);
        HookedSlots::TearDown();
    }
    CGPoint buttonCentre(std::size_t i) const {
        auto button = tabs->tabBar()->buttons().at(i);
        CGRect f = button->convertRectToView(button->bounds(), nullptr);
        return CGPointMake(CGRectGetMidX(f), CGRectGetMidY(f));
    }
    std::shared_ptr<LoggingController> a, b, c;
    std::shared_ptr<UITabBarController> tabs;
    std::shared_ptr<RecordingDelegate> delegate;
    UIWindowPtr window;
};

TEST_F(TabSwitch, SelectionCallbackTables) {
    struct Case {
        const char* name;
        std::function<void(TabSwitch&)> change;
        Log expected;
        const char* selected;
    };
    const Log aToB = {"A viewWillDisappear:0", "hook viewWillDisappear: A", "B loadView",  "hook loadView B",
                      "B viewDidLoad",         "hook viewDidLoad B",        "B viewWillAppear:0", "hook viewWillAppear: B",
                      "A viewDidDisappear:0",  "hook viewDidDisappear: A",  "B viewDidAppear:0",  "hook viewDidAppear: B"};
    auto with = [](Log first, const Log& rest, Log last = {}) {
        first.insert(first.end(), rest.begin(), rest.end());
        first.insert(first.end(), last.begin(), last.end());
        return first;
    };
    const Case cases[] = {
        {"index", [](TabSwitch& t) { t.tabs->setSelectedIndex(1); }, aToB, "B"},
        {"controller", [](TabSwitch& t) { t.tabs->setSelectedViewController(t.b); }, aToB, "B"},
        {"tap asks the delegate", [](TabSwitch& t) { UITouchInjection::tap(t.buttonCentre(1)); },
         with({"should B"}, aToB, {"did B"}), "B"},
        {"tap refused", [](TabSwitch& t) {
             t.delegate->refuse = "B";
             UITouchInjection::tap(t.buttonCentre(1));
         },
         {"should B"}, "A"},
        {"tap on the selected tab", [](TabSwitch& t) { UITouchInjection::tap(t.buttonCentre(0)); },
         {"should A", "did A"}, "A"},
        {"same index", [](TabSwitch& t) { t.tabs->setSelectedIndex(0); }, {}, "A"},
        {"index out of range", [](TabSwitch& t) { t.tabs->setSelectedIndex(7); }, {}, "A"},
        {"selected child dropped", [](TabSwitch& t) { t.tabs->setViewControllers({t.b, t.c}); },
         with({"A willMove nil"}, aToB, {"A didMove nil"}), "B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.change(*this);
        EXPECT_EQ(log, c.expected);
        auto selected = std::static_pointer_cast<LoggingController>(tabs->selectedViewController());
        EXPECT_EQ(selected->name, c.selected);
        EXPECT_EQ(tabs->tabBar()->selectedItem(), selected->tabBarItem());
        EXPECT_TRUE(selected->isAppeared());
        for (std::size_t i = 0; i < tabs->tabBar()->buttons().size(); ++i)
            EXPECT_EQ(tabs->tabBar()->buttons()[i]->isSelected(), tabs->viewControllers()[i] == selected);
        // Only the selected child's view is shown, below the bar.
        auto subviews = tabs->view()->subviews();
        ASSERT_EQ(subviews.size(), 2u);
        EXPECT_EQ(subviews[0], selected->view());
        EXPECT_EQ(subviews[1], tabs->tabBar());
    }
}

TEST_F(TabSwitch, SelectingAControllerThatIsNoChildRaises) {
    auto stranger = make("S", log);
    EXPECT_THROW(tabs->setSelectedViewController(stranger), NSException);
    EXPECT_THROW(tabs->setViewControllers({a, a}), NSException);
    EXPECT_THROW(tabs->setViewControllers({a, nullptr}), NSException);
    EXPECT_EQ(tabs->selectedViewController(), a);
    EXPECT_EQ(tabs->viewControllers().size(), 3u);
    EXPECT_EQ(tabs->selectedIndex(), 0);
    EXPECT_EQ(std::make_shared<UITabBarController>()->selectedIndex(), UITabBarController::NSNotFound);
}

TEST_F(TabSwitch, LookupsAndTheBarUnderAHidingController) {
    auto navigation = UINavigationController::withRootViewController(make("R", log));
    tabs->setViewControllers({navigation, b});
    EXPECT_EQ(navigation->tabBarController(), tabs);
    EXPECT_EQ(navigation->topViewController()->tabBarController(), tabs);
    EXPECT_EQ(tabs->tabBarController(), nullptr);
    EXPECT_FALSE(tabs->tabBar()->isHidden());

    auto detail = make("D", log);
    detail->setHidesBottomBarWhenPushed(true);
    navigation->pushViewController(detail, false);
    EXPECT_TRUE(tabs->tabBar()->isHidden());
    navigation->pushViewController(make("E", log), false);  // above a hiding controller: still hidden
    EXPECT_TRUE(tabs->tabBar()->isHidden());
    navigation->popToRootViewControllerAnimated(false);
    EXPECT_FALSE(tabs->tabBar()->isHidden());
    navigation->pushViewController(detail, false);
    tabs->setSelectedIndex(1);  // another tab: the bar is back
    EXPECT_FALSE(tabs->tabBar()->isHidden());
    tabs->setSelectedIndex(0);
    EXPECT_TRUE(tabs->tabBar()->isHidden());
}

TEST_F(TabSwitch, TheBarIsReplacedByKeyValueCodingAndItemsAnswerTheirButtons) {
    auto item = b->tabBarItem();
    ASSERT_EQ(item->valueForKey("_view").objectAs<UITabBarButton>(), tabs->tabBar()->buttons()[1]);
    EXPECT_EQ(tabs->valueForKey("tabBar").objectAs<UITabBar>(), tabs->tabBar());
    EXPECT_EQ(tabs->valueForKey("selectedIndex").integerValue(), 0);
    tabs->setValue(Value(int64_t{2}), "selectedIndex");
    EXPECT_EQ(tabs->selectedViewController(), c);
    tabs->setValue(Value(Value::Array{Value(b), Value(c)}), "viewControllers");  // as a storyboard relationship does
    EXPECT_EQ(tabs->viewControllers(), (std::vector<UIViewControllerPtr>{b, c}));
    EXPECT_EQ(tabs->selectedViewController(), c);
    tabs->setViewControllers({a, b, c});
    tabs->setSelectedIndex(0);
    log.clear();
    EXPECT_TRUE(std::make_shared<UITabBarItem>()->valueForKey("_view").isNull());

    auto old = tabs->tabBar();
    auto replacement = std::make_shared<UITabBar>();
    tabs->setValue(Value(replacement), "tabBar");
    EXPECT_EQ(tabs->tabBar(), replacement);
    EXPECT_EQ(old->superview(), nullptr);
    EXPECT_EQ(replacement->superview(), tabs->view());
    ASSERT_EQ(replacement->items().size(), 3u);
    EXPECT_EQ(item->valueForKey("_view").objectAs<UITabBarButton>(), replacement->buttons()[1]);
    EXPECT_EQ(replacement->selectedItem(), a->tabBarItem());

    // The new bar reports taps to the controller.
    UITouchInjection::tap(buttonCentre(2));
    EXPECT_EQ(tabs->selectedViewController(), c);
    EXPECT_EQ(log.front(), "should C");
    EXPECT_EQ(log.back(), "did C");
}

TEST(TabBarItem, BadgeValueRunsThroughAnExchangeableSlot) {
    static Log* hookLog = nullptr;
    Log log;
    hookLog = &log;
    ObjCClass& cls = UITabBarItem::classObject();
    cls.addMethod("test_setBadgeValue:", makeInstanceImp<void(std::optional<std::string>)>(
                                             [](NSObject& self, std::optional<std::string> value) {
                                                 if (hookLog) hookLog->push_back("hook " + value.value_or("nil"));
                                                 invokeMethod<void(std::optional<std::string>)>(
                                                     self, "test_setBadgeValue:", std::move(value));
                                             }));
    ASSERT_TRUE(cls.exchangeInstanceMethods("setBadgeValue:", "test_setBadgeValue:"));

    auto bar = std::make_shared<UITabBar>(CGRectMake(0, 0, 375, 49));
    auto item = std::make_shared<UITabBarItem>("Inbox", nullptr, 0);
    bar->setItems({item, std::make_shared<UITabBarItem>("Other", nullptr, 1)});
    auto button = bar->buttons()[0];
    EXPECT_EQ(button->badgeView(), nullptr);

    struct Case {
        const char* name;
        std::function<void()> set;
        std::optional<std::string> shown;
    };
    const Case cases[] = {
        {"setter", [&] { item->setBadgeValue("99+"); }, "99+"},
        {"key-value coding", [&] { item->setValue(Value("3"), "badgeValue"); }, "3"},
        {"empty", [&] { item->setBadgeValue(""); }, ""},
        {"removed", [&] { item->setBadgeValue(std::nullopt); }, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        c.set();
        EXPECT_EQ(log, (Log{"hook " + c.shown.value_or("nil")}));
        EXPECT_EQ(item->badgeValue(), c.shown);
        if (!c.shown) {
            EXPECT_EQ(button->badgeView(), nullptr);
            continue;
        }
        ASSERT_NE(button->badgeView(), nullptr);
        EXPECT_EQ(button->badgeView()->className(), "_UIBadgeView");
        EXPECT_EQ(button->badgeView()->text(), *c.shown);
        EXPECT_EQ(button->badgeView()->frame().size.height, _UIBadgeView::kHeight);
        EXPECT_GE(button->badgeView()->frame().size.width, _UIBadgeView::kHeight);
        EXPECT_EQ(button->subviews().back(), button->badgeView());
    }
    cls.exchangeInstanceMethods("setBadgeValue:", "test_setBadgeValue:");
    hookLog = nullptr;
}

class TabBarLayout : public ::testing::Test {
protected:
    void TearDown() override {
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        UIScreen::setMainScreenSpecForTesting(std::nullopt);
    }
};

TEST_F(TabBarLayout, FramesAndSubviewsPerSystemVersionAndScreen) {
    struct Case {
        int64_t os;
        const char* screen;
        double barHeight;
        double hairline;
        std::vector<std::string> buttonSubviews;
    };
    const std::vector<std::string> modern = {"UIVisualEffectView"};
    const std::vector<std::string> classic = {"UITabBarButtonImageView", "UITabBarButtonLabel"};
    const Case cases[] = {
        {13, "375x812@3", 83, 1.0 / 3, modern}, {15, "414x896@2", 83, 0.5, modern},
        {13, "375x667@2", 49, 0.5, modern},     {12, "375x812@3", 83, 1.0 / 3, classic},
        {10, "375x812@3", 49, 1.0 / 3, classic}, {9, "320x568@2", 49, 0.5, classic},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.os) + " " + c.screen);
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{c.os, 0, 0});
        UIScreen::setMainScreenSpecForTesting(std::string(c.screen));
        const CGRect screen = UIScreen::mainScreen()->bounds();

        auto tabs = std::make_shared<UITabBarController>();
        std::vector<UIViewControllerPtr> children;
        for (const char* title : {"One", "Two", "Three"}) {
            auto vc = std::make_shared<UIViewController>();
            vc->tabBarItem()->setTitle(title);
            vc->tabBarItem()->setImage(imageOfSize(0, 0));
            children.push_back(vc);
        }
        children[2]->tabBarItem()->setTitlePositionAdjustment(UIOffsetMake(0, 3.4028234663852886e38));
        children[1]->tabBarItem()->setImageInsets(UIEdgeInsetsMake(6, 0, -6, 0));
        tabs->setViewControllers(children);
        auto window = std::make_shared<UIWindow>();
        window->setRootViewController(tabs);
        window->makeKeyAndVisible();
        window->layoutIfNeeded();

        auto bar = tabs->tabBar();
        EXPECT_EQ(bar->frame(), CGRectMake(0, screen.size.height - c.barHeight, screen.size.width, c.barHeight));
        EXPECT_EQ(bar->subviews().front()->className(), "_UIBarBackground");
        auto shadow = bar->barBackground()->shadowView();
        EXPECT_EQ(shadow->className(), "_UIBarBackgroundShadowView");
        EXPECT_DOUBLE_EQ(shadow->bounds().size.height, c.hairline);
        EXPECT_EQ(shadow->frame().size.width, screen.size.width);

        ASSERT_EQ(bar->buttons().size(), 3u);
        const double width = screen.size.width / 3;
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            auto button = bar->buttons()[i];
            EXPECT_EQ(button->className(), "UITabBarButton");
            EXPECT_NEAR(button->frame().origin.x, width * static_cast<double>(i), 1e-9);
            EXPECT_NEAR(button->frame().size.width, width, 1e-9);
            EXPECT_EQ(button->frame().origin.y, 0);
            EXPECT_EQ(button->frame().size.height, UITabBar::kContentHeight);
            EXPECT_EQ(classNames(button->subviews()), c.buttonSubviews);
            if (c.os >= 13) {
                auto content = button->effectView()->subviews();
                ASSERT_EQ(content.size(), 1u);
                EXPECT_EQ(content[0]->className(), "_UIVisualEffectContentView");
                EXPECT_EQ(classNames(content[0]->subviews()), classic);
            }
            auto image = button->imageView()->frame();
            auto label = button->label()->frame();
            EXPECT_DOUBLE_EQ(CGRectGetMidX(image), width / 2);
            EXPECT_DOUBLE_EQ(CGRectGetMidY(image), UITabBarButton::kImageCenterY + (i == 1 ? 6 : 0));
            if (i == 2) {
                EXPECT_GT(label.origin.y, 1e38);  // moved out of sight
            } else {
                EXPECT_DOUBLE_EQ(CGRectGetMaxY(label), UITabBar::kContentHeight - UITabBarButton::kTitleBottomMargin);
                EXPECT_LT(CGRectGetMaxY(image), label.origin.y + 6.01);
                EXPECT_NEAR(CGRectGetMidX(label), width / 2, 0.5);
            }
        }
        // The selected button shows the tint, the others grey.
        EXPECT_TRUE(bar->buttons()[0]->isSelected());
        EXPECT_EQ(bar->buttons()[0]->label()->textColor(), bar->tintColor());
        EXPECT_EQ(bar->buttons()[1]->label()->textColor(), UIColor::systemGrayColor());
        window->setHidden(true);
    }
}

TEST_F(TabBarLayout, ContentSitsAboveAnOpaqueBarAndUnderATranslucentOne) {
    auto tabs = std::make_shared<UITabBarController>();
    auto child = std::make_shared<UIViewController>();
    tabs->setViewControllers({child});
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    const CGRect screen = window->bounds();
    EXPECT_EQ(child->view()->frame(), screen);
    EXPECT_EQ(tabs->barInsetsForChild(*child), UIEdgeInsetsMake(0, 0, UITabBar::kContentHeight, 0));
    tabs->tabBar()->setTranslucent(false);
    tabs->viewWillLayoutSubviews();
    EXPECT_EQ(child->view()->frame().size.height, screen.size.height - tabs->tabBar()->frame().size.height);
    EXPECT_EQ(tabs->barInsetsForChild(*child), UIEdgeInsetsZero);
    window->setHidden(true);
}

TEST_F(TabBarLayout, AReplacedBarIsLaidOutAtTheHeightItAsksFor) {
    struct TallBar : UITabBar {
        CGSize sizeThatFits(CGSize size) const override { return CGSizeMake(size.width, 60); }
    };
    auto tabs = std::make_shared<UITabBarController>();
    tabs->setViewControllers({std::make_shared<UIViewController>(), std::make_shared<UIViewController>()});
    auto window = std::make_shared<UIWindow>();
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    tabs->setValue(Value(std::make_shared<TallBar>()), "tabBar");
    const CGRect screen = window->bounds();
    EXPECT_EQ(tabs->tabBar()->frame(), CGRectMake(0, screen.size.height - 60, screen.size.width, 60));
    EXPECT_EQ(tabs->tabBar()->buttons().size(), 2u);
    EXPECT_EQ(tabs->tabBar()->buttons()[1]->frame().origin.x, screen.size.width / 2);
    window->setHidden(true);
}

TEST_F(TabBarLayout, AnEmptyShadowImageHidesTheHairline) {
    auto bar = std::make_shared<UITabBar>(CGRectMake(0, 0, 375, 49));
    EXPECT_FALSE(bar->barBackground()->shadowView()->isHidden());
    bar->setShadowImage(std::make_shared<UIImage>());
    EXPECT_TRUE(bar->barBackground()->shadowView()->isHidden());
    bar->setBackgroundImage(imageOfSize(1, 1));
    EXPECT_FALSE(bar->barBackground()->imageView()->isHidden());
    EXPECT_TRUE(bar->barBackground()->effectView()->isHidden());
}

// A tab bar subclass with its own appearance proxy.
class BrandTabBar : public UITabBar {
    NS_CLASS(BrandTabBar, UITabBar)
};

TEST(TabBarAppearance, ProxiesApplyOnEnteringAWindowUnlessTheInstanceSetItsOwn) {
    UIAppearanceCustomizable::removeAllProxiesForTesting();
    auto red = UIColor::redColor(), green = UIColor::greenColor(), blue = UIColor::blueColor(),
         orange = UIColor::orangeColor(), purple = UIColor::purpleColor();
    UITabBar::appearance()->setTintColor(red);
    UITabBar::appearance()->setUnselectedItemTintColor(orange);
    UITabBar::appearance()->setBackgroundColor(purple);
    UIAppearanceProxyFor<UITabBar>(BrandTabBar::classObject())->setTintColor(green);
    UITabBarItem::appearance()->setTitleTextAttributes({{NSForegroundColorAttributeName, Value(purple)}},
                                                       UIControlStateSelected);

    struct Case {
        const char* name;
        std::function<std::shared_ptr<UITabBar>()> make;
        UIColorPtr tint;
        UIColorPtr unselected;
    };
    const Case cases[] = {
        {"plain bar", [] { return std::make_shared<UITabBar>(); }, red, orange},
        {"subclass proxy wins", [] { return std::static_pointer_cast<UITabBar>(std::make_shared<BrandTabBar>()); },
         green, orange},
        {"own value wins",
         [&] {
             auto bar = std::static_pointer_cast<UITabBar>(std::make_shared<BrandTabBar>());
             bar->setTintColor(blue);
             return bar;
         },
         blue, orange},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bar = c.make();
        auto mine = std::make_shared<UITabBarItem>("Mine", nullptr, 0);
        mine->setTitleTextAttributes({{NSForegroundColorAttributeName, Value(green)}}, UIControlStateSelected);
        auto plain = std::make_shared<UITabBarItem>("Plain", nullptr, 1);
        bar->setItems({mine, plain});
        bar->setSelectedItem(plain);
        EXPECT_NE(bar->buttons()[1]->label()->textColor(), purple);  // not in a window yet

        auto window = std::make_shared<UIWindow>();
        window->addSubview(bar);
        EXPECT_EQ(bar->tintColor(), c.tint);
        EXPECT_EQ(bar->unselectedItemTintColor(), c.unselected);
        EXPECT_EQ(bar->backgroundColor(), purple);
        EXPECT_EQ(bar->buttons()[1]->label()->textColor(), purple);  // item proxy, selected state
        EXPECT_EQ(bar->buttons()[0]->label()->textColor(), c.unselected);  // normal state: the bar's colour
        bar->setSelectedItem(mine);
        EXPECT_EQ(bar->buttons()[0]->label()->textColor(), green);  // the item's own attributes
        EXPECT_EQ(bar->buttons()[1]->imageView()->tintColor(), c.unselected);
    }
    UIAppearanceCustomizable::removeAllProxiesForTesting();
}

}  // namespace
