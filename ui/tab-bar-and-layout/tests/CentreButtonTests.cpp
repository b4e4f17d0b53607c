// The centre button: registration into the tab registry, its layout among
// four tabs, the multiplier of a taller button, a tap above the bar, the
// centre child inserted once, and the registration edges.

#include "TabBarTestSupport.h"

#include <ui_tab_bar_and_layout/TBControlExtension.h>
#include <ui_tab_bar_and_layout/TBPlusButton.h>
#include <ui_tab_bar_and_layout/TBViewControllerExtension.h>

#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_uikit/UITouchInjection.h>

using namespace tab_test;

namespace {

// What the test's centre-button classes answer; set per test.
struct PlusAnswers {
    double width = 80, height = 49;
    std::optional<uint64_t> index = 2;
    UIViewControllerPtr child;
    std::optional<std::string> context;
};
PlusAnswers& answers() {
    static PlusAnswers a;
    return a;
}

class CentreButton : public TBPlusButton {
    NS_CLASS(CentreButton, TBPlusButton)
    NS_PROTOCOLS("TBPlusButtonSubclassing")
};

// Answers everything but the index.
class CentreButtonWithoutIndex : public TBPlusButton {
    NS_CLASS(CentreButtonWithoutIndex, TBPlusButton)
    NS_PROTOCOLS("TBPlusButtonSubclassing")
};

// Does not adopt the protocol.
class PlainButton : public TBPlusButton {
    NS_CLASS(PlainButton, TBPlusButton)
};

Value makeButton(ObjCClass& cls) {
    auto button = std::static_pointer_cast<UIButton>(cls.createInstance());
    button->setFrame(CGRectMake(0, 0, answers().width, answers().height));
    return Value(button);
}

NS_CLASS_LOAD(CentreButton) {
    cls.addClassOperation("plusButton", [](ObjCClass& c, const Value::Array&) { return makeButton(c); });
    cls.addClassOperation("indexOfPlusButtonInTabBar",
                          [](ObjCClass&, const Value::Array&) { return Value(answers().index.value_or(0)); });
    cls.addClassOperation("plusChildViewController", [](ObjCClass&, const Value::Array&) { return Value(answers().child); });
}

NS_CLASS_LOAD(CentreButtonWithoutIndex) {
    cls.addClassOperation("plusButton", [](ObjCClass& c, const Value::Array&) { return makeButton(c); });
    cls.addClassOperation("plusChildViewController", [](ObjCClass&, const Value::Array&) { return Value(answers().child); });
    cls.addClassOperation("tabBarContext", [](ObjCClass&, const Value::Array&) { return Value(answers().context.value_or("")); });
}

NS_CLASS_LOAD(PlainButton) {
    cls.addClassOperation("plusButton", [](ObjCClass& c, const Value::Array&) { return makeButton(c); });
}

class CentreButtonTest : public TabBarTest {
protected:
    void SetUp() override {
        TabBarTest::SetUp();
        answers() = PlusAnswers{};
    }
    void TearDown() override {
        answers() = PlusAnswers{};
        TabBarTest::TearDown();
    }
    std::shared_ptr<TBTabBarController> fourTabs() {
        Value::Array attrs, children;
        for (const char* t : {"A", "B", "C", "D"}) {
            attrs.push_back(Value(attributes(t, "home", "home")));
            children.push_back(Value(std::make_shared<UIViewController>()));
        }
        tabs = TBTabBarController::tabBarControllerWithViewControllers(Value(children), attrs);
        return tabs;
    }
};

TEST_F(CentreButtonTest, FourTabsAroundAnEightyPointButtonAtIndexTwo) {
    TBPlusButton::registerPlusButton(CentreButton::classObject());
    EXPECT_TRUE(TBTabBarController::havePlusButton());
    EXPECT_DOUBLE_EQ(TBRegistry().plusButtonWidth, 80);
    fourTabs();
    EXPECT_EQ(TBTabBarController::allItemsInTabBarCount(), 5u);
    show(tabs);
    auto bar = tabs->tbTabBar();
    ASSERT_TRUE(bar->hasAddPlusButton());
    ASSERT_TRUE(bar->plusButton());
    EXPECT_DOUBLE_EQ(TBRegistry().tabItemWidth, 73.75);
    const auto& buttons = bar->tabBarButtonArray();
    ASSERT_EQ(buttons.size(), 4u);
    const double xs[] = {0, 73.75, 227.5, 301.25};
    const int64_t visible[] = {0, 1, 3, 4};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(buttons[i]->frame().origin.x, xs[i]);
        EXPECT_DOUBLE_EQ(buttons[i]->frame().size.width, 73.75);
        EXPECT_EQ(tb_tabBarItemVisibleIndex(*buttons[i]), visible[i]);
    }
    auto plus = bar->plusButton();
    EXPECT_DOUBLE_EQ(plus->frame().origin.x, 147.5);
    EXPECT_EQ(tb_tabBarItemVisibleIndex(*plus), 2);
    EXPECT_EQ(bar->tb_visibleControls().size(), 5u);
}

TEST_F(CentreButtonTest, ATallerButtonSitsOnTheBarsBottomAndCatchesATapAboveTheBar) {
    UIScreen::setMainScreenSpecForTesting("375x667@2");  // a 49-point bar
    answers().height = 69;
    answers().child = std::make_shared<UIViewController>();
    TBPlusButton::registerPlusButton(CentreButton::classObject());
    fourTabs();
    show(tabs);
    auto bar = tabs->tbTabBar();
    const double h = bar->bounds().size.height;
    EXPECT_DOUBLE_EQ(bar->multiplierOfTabBarHeight(h), (h * 0.5 - (69 - h) * 0.5) / h);
    auto plus = bar->plusButton();
    ASSERT_TRUE(plus);
    EXPECT_DOUBLE_EQ(plus->frame().origin.y + plus->frame().size.height, h);
    // The centre child joined once, at the button's index, and the attributes were read without a gap.
    ASSERT_EQ(tabs->viewControllers().size(), 5u);
    EXPECT_EQ(tabs->viewControllers()[2], answers().child);
    EXPECT_TRUE(tb_plusViewControllerEverAdded(*answers().child));
    EXPECT_EQ(tabs->viewControllers()[3]->tabBarItem()->title(), "C");
    // A point 10 points above the bar, inside the button, reaches it and selects the centre child.
    const CGPoint above = bar->convertPointToView(CGPointMake(187.5, -10), nullptr);
    auto touch = UITouchInjection::touchDown(above, window.get());
    UITouchInjection::touchUp(touch, above);
    EXPECT_EQ(tabs->selectedIndex(), 2);
    EXPECT_TRUE(plus->isSelected());
}

TEST_F(CentreButtonTest, RegistrationEdges) {
    // Without the protocol nothing is registered.
    TBPlusButton::registerPlusButton(PlainButton::classObject());
    EXPECT_FALSE(TBTabBarController::havePlusButton());

    // A centre child with an empty context keeps its context unset; no index raises.
    answers().child = std::make_shared<UIViewController>();
    answers().context = "";
    try {
        TBPlusButton::registerPlusButton(CentreButtonWithoutIndex::classObject());
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "TBTabBarController");
        EXPECT_NE(e.reason().find("you must realizse `+indexOfPlusButtonInTabBar`"), std::string::npos);
    }
    EXPECT_TRUE(TBRegistry().plusButton);
    EXPECT_DOUBLE_EQ(TBRegistry().plusButtonWidth, 80);
    EXPECT_EQ(TBRegistry().plusChildController, answers().child);
    EXPECT_FALSE(tb_context(*answers().child));

    // Removing keeps width and index.
    TBRegistry().plusButtonIndex = 3;
    TBPlusButton::removePlusButton();
    EXPECT_FALSE(TBTabBarController::havePlusButton());
    EXPECT_FALSE(TBRegistry().plusChildController);
    EXPECT_DOUBLE_EQ(TBRegistry().plusButtonWidth, 80);
    EXPECT_EQ(TBRegistry().plusButtonIndex, 3u);
}

TEST_F(CentreButtonTest, AnOddCountWithoutAnIndexRaisesFromLayout) {
    TBPlusButton::registerPlusButton(PlainButton::classObject());
    // Registered by hand: the plain class answers no index.
    TBRegistry().plusButton = makeButton(PlainButton::classObject()).objectAs<UIButton>();
    TBRegistry().plusButtonWidth = 80;
    Value::Array attrs, children;
    for (const char* t : {"A", "B", "C"}) {
        attrs.push_back(Value(attributes(t, "home", "home")));
        children.push_back(Value(std::make_shared<UIViewController>()));
    }
    tabs = TBTabBarController::tabBarControllerWithViewControllers(Value(children), attrs);
    window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window->setRootViewController(tabs);
    try {
        window->makeKeyAndVisible();
        window->layoutIfNeeded();
        FAIL() << "no exception";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), "TBTabBarController");
        EXPECT_NE(e.reason().find("If the count of TBTabbarControllers is odd"), std::string::npos);
    }
}

}  // namespace
