// Costs of the tab bar component against bare platform work in the same run:
// layout passes of a TBTabBar with four tabs and a centre button against the
// plain tab bar with five, and badge value changes against a label's text
// change plus sizeToFit.

#include <ui_tab_bar_and_layout/TBBadge.h>
#include <ui_tab_bar_and_layout/TBPlusButton.h>
#include <ui_tab_bar_and_layout/TBTabBarController.h>

#include <platform_runtime/ObjCDeclare.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UIWindow.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

class BenchCentreButton : public TBPlusButton {
    NS_CLASS(BenchCentreButton, TBPlusButton)
    NS_PROTOCOLS("TBPlusButtonSubclassing")
};

NS_CLASS_LOAD(BenchCentreButton) {
    cls.addClassOperation("plusButton", [](ObjCClass& c, const Value::Array&) {
        auto button = std::static_pointer_cast<UIButton>(c.createInstance());
        button->setFrame(CGRectMake(0, 0, 80, 60));
        return Value(button);
    });
    cls.addClassOperation("indexOfPlusButtonInTabBar", [](ObjCClass&, const Value::Array&) { return Value(2); });
}

// 10,000 layout passes of the bar of a shown controller; the argument says
// whether it is the component's bar (four tabs and a centre button) or the
// platform's (five tabs).
void BM_TabBarLayoutTenThousand(benchmark::State& state) {
    const bool component = state.range(0) == 1;
    TBResetRegistryForTesting();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 375, 812));
    std::shared_ptr<UITabBarController> tabs;
    Value::Array attributes, children;
    for (int i = 0; i < (component ? 4 : 5); ++i) {
        attributes.push_back(Value(Value::dict({{TBTabBarItemTitle, "Tab " + std::to_string(i)}})));
        children.push_back(Value(std::make_shared<UIViewController>()));
    }
    if (component) {
        TBPlusButton::registerPlusButton(BenchCentreButton::classObject());
        tabs = TBTabBarController::tabBarControllerWithViewControllers(Value(children), attributes);
    } else {
        tabs = std::make_shared<UITabBarController>();
        std::vector<UIViewControllerPtr> list;
        for (const auto& c : children) {
            list.push_back(c.objectAs<UIViewController>());
            list.back()->tabBarItem()->setTitle("Tab");
        }
        tabs->setViewControllers(list);
    }
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    auto bar = tabs->tabBar();
    for (auto _ : state)
        for (int i = 0; i < 10000; ++i) {
            bar->setNeedsLayout();
            bar->layoutIfNeeded();
        }
    window->setHidden(true);
    TBResetRegistryForTesting();
}
BENCHMARK(BM_TabBarLayoutTenThousand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 100,000 badge value changes on one view, cycling through numbers.
void BM_BadgeValueHundredThousand(benchmark::State& state) {
    auto superview = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto view = std::make_shared<UIView>(CGRectMake(10, 10, 30, 30));
    superview->addSubview(view);
    for (auto _ : state)
        for (int i = 0; i < 100000; ++i) tb_showBadgeValue(*view, std::to_string(i % 150 + 1));
}
BENCHMARK(BM_BadgeValueHundredThousand)->Unit(benchmark::kMillisecond);

// The anchor: 100,000 text changes of a label, each followed by sizeToFit.
void BM_LabelTextSizeToFitHundredThousand(benchmark::State& state) {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::boldSystemFontOfSize(9));
    for (auto _ : state)
        for (int i = 0; i < 100000; ++i) {
            label->setText(std::to_string(i % 150 + 1));
            label->sizeToFit();
        }
}
BENCHMARK(BM_LabelTextSizeToFitHundredThousand)->Unit(benchmark::kMillisecond);

}  // namespace
