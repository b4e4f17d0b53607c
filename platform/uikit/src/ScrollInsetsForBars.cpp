#include "ScrollInsetsForBars.h"

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UIScrollView.h>
#include <platform_uikit/UIViewController.h>

#include <algorithm>
#include <unordered_map>

namespace {

// What each scroll view was given so far: a change moves its inset by the difference, so
// insets its owner set (a refresh header's) stay as they are.
struct Given {
    std::weak_ptr<UIView> view;
    double top = 0, bottom = 0;
};

std::unordered_map<const UIScrollView*, Given>& given() {
    static auto* table = new std::unordered_map<const UIScrollView*, Given>;
    return *table;
}

}  // namespace

void uikit_detail::adjustScrollViewInsetsForBars(UIViewController& controller) {
    if (UIKitIsAvailable(11)) return;
    const UIViewPtr& view = controller.viewIfLoaded();
    if (!view) return;
    UIViewPtr candidate = view;
    if (!dynamic_cast<UIScrollView*>(candidate.get()) && !view->subviews().empty()) candidate = view->subviews().front();
    auto* scroll = dynamic_cast<UIScrollView*>(candidate.get());
    if (!scroll) return;

    auto& table = given();
    if (table.size() > 64)
        std::erase_if(table, [](const auto& entry) { return entry.second.view.expired(); });
    Given& was = table[scroll];
    if (was.view.lock() != candidate) was = Given{candidate, 0, 0};
    // The layout guides' lengths: how far the status bar and navigation bar reach down into
    // the view, and the tab bar up into it.
    if (!view->window()) return;
    const CGRect frame = view->convertRectToView(view->bounds(), nullptr);
    double coveredTo = UIScreen::mainScreen()->safeAreaInsets().top;
    if (auto nav = controller.navigationController(); nav && !nav->isNavigationBarHidden()) {
        const auto& bar = nav->navigationBar();
        if (bar->window() && !bar->isHidden())
            coveredTo = std::max(coveredTo, CGRectGetMaxY(bar->convertRectToView(bar->bounds(), nullptr)));
    }
    double coveredFrom = CGRectGetMaxY(frame);
    if (auto tabs = controller.tabBarController()) {
        const auto& bar = tabs->tabBar();
        if (bar->window() && !bar->isHidden()) coveredFrom = CGRectGetMinY(bar->convertRectToView(bar->bounds(), nullptr));
    }
    UIEdgeInsets bars = UIEdgeInsetsZero;
    bars.top = std::max(0.0, coveredTo - CGRectGetMinY(frame));
    bars.bottom = std::max(0.0, CGRectGetMaxY(frame) - coveredFrom);
    const double top = bars.top - was.top, bottom = bars.bottom - was.bottom;
    if (top == 0 && bottom == 0) return;
    was.top = bars.top;
    was.bottom = bars.bottom;

    UIEdgeInsets inset = scroll->contentInset();
    CGPoint offset = scroll->contentOffset();
    const bool atTop = offset.y == -inset.top;
    inset.top += top;
    inset.bottom += bottom;
    scroll->setContentInset(inset);
    if (atTop) scroll->setContentOffset(CGPointMake(offset.x, -inset.top));
}
