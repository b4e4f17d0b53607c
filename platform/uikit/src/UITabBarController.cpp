#include <platform_uikit/UITabBarController.h>

#include <platform_uikit/UINavigationController.h>

#include <platform_runtime/NSException.h>

#include <algorithm>

UITabBarController::UITabBarController() : tabBar_(std::make_shared<UITabBar>()) {}

void UITabBarController::setViewControllers(const std::vector<UIViewControllerPtr>& controllers, bool) {
    for (auto it = controllers.begin(); it != controllers.end(); ++it)
        if (!*it || std::find(controllers.begin(), it, *it) != it)
            NSException::raise(NSInvalidArgumentException,
                               "-[" + className() + " setViewControllers:animated:]: a nil or repeated controller");
    auto from = selectedViewController();
    auto kept = [](const std::vector<UIViewControllerPtr>& in, const UIViewControllerPtr& c) {
        return std::find(in.begin(), in.end(), c) != in.end();
    };
    std::vector<UIViewControllerPtr> leaving;
    for (const auto& old : controllers_)
        if (!kept(controllers, old)) leaving.push_back(old);
    for (const auto& c : leaving) c->willMoveToParentViewController(nullptr);
    std::vector<UIViewControllerPtr> joining;
    for (const auto& c : controllers)
        if (!kept(controllers_, c)) {
            addChildViewController(c);
            joining.push_back(c);
        }
    controllers_ = controllers;
    auto at = from ? std::find(controllers_.begin(), controllers_.end(), from) : controllers_.end();
    selected_ = at != controllers_.end() ? static_cast<std::size_t>(at - controllers_.begin()) : 0;
    syncBar();
    show(from, selectedViewController());
    for (const auto& c : leaving) c->removeFromParentViewController();
    for (const auto& c : joining) c->didMoveToParentViewController(this);
}

int64_t UITabBarController::selectedIndex() const {
    return controllers_.empty() ? NSNotFound : static_cast<int64_t>(selected_);
}

UIViewControllerPtr UITabBarController::selectedViewController() const {
    return selected_ < controllers_.size() ? controllers_[selected_] : nullptr;
}

void UITabBarController::setSelectedIndex(int64_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= controllers_.size()) return;
    auto from = selectedViewController();
    selected_ = static_cast<std::size_t>(index);
    tabBar_->setSelectedItem(controllers_[selected_]->tabBarItem());
    show(from, controllers_[selected_]);
}

void UITabBarController::setSelectedViewController(const UIViewControllerPtr& controller) {
    auto it = std::find(controllers_.begin(), controllers_.end(), controller);
    if (!controller || it == controllers_.end())
        NSException::raise(NSInvalidArgumentException,
                           "-[" + className() +
                               " setSelectedViewController:] only a view controller in the tab bar controller's list "
                               "of view controllers can be selected.");
    setSelectedIndex(it - controllers_.begin());
}

void UITabBarController::setTabBar(std::shared_ptr<UITabBar> bar) {
    if (!bar || bar == tabBar_) return;
    auto old = tabBar_;
    tabBar_ = std::move(bar);
    if (old) {
        old->setDelegate({});
        if (auto view = viewIfLoaded(); view && old->superview() == view) {
            view->insertSubviewAboveSubview(tabBar_, old);
            old->removeFromSuperview();
        }
    }
    syncBar();
    if (auto view = viewIfLoaded()) {
        if (!tabBar_->superview()) view->addSubview(tabBar_);
        viewWillLayoutSubviews();
    }
}

void UITabBarController::syncBar() {
    std::vector<UITabBarItemPtr> items;
    for (const auto& c : controllers_) items.push_back(c->tabBarItem());
    tabBar_->setDelegate(std::dynamic_pointer_cast<UITabBarDelegate>(shared_from_this()));
    tabBar_->setItems(std::move(items));
    if (auto selected = selectedViewController()) tabBar_->setSelectedItem(selected->tabBarItem());
    updateTabBarVisibility();
}

void UITabBarController::updateTabBarVisibility() {
    bool hide = false;
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(selectedViewController()))
        for (const auto& c : navigation->viewControllers()) hide = hide || c->hidesBottomBarWhenPushed();
    if (tabBar_->isHidden() == hide) return;
    tabBar_->setHidden(hide);
    if (viewIfLoaded()) viewWillLayoutSubviews();
}

void UITabBarController::loadView() {
    UIViewController::loadView();
    const UIViewPtr& view = viewIfLoaded();
    view->addSubview(tabBar_);
    if (auto selected = selectedViewController()) view->insertSubviewAtIndex(selected->view(), 0);
    viewWillLayoutSubviews();
}

void UITabBarController::viewWillLayoutSubviews() {
    const UIViewPtr& view = viewIfLoaded();
    if (!view) return;
    const CGRect b = view->bounds();
    // The bar's own answer, so a bar that sizes itself differently is laid out so.
    const double height = tabBar_->sizeThatFits(b.size).height;
    tabBar_->setFrame(CGRectMake(0, b.size.height - height, b.size.width, height));
    tabBar_->layoutSubviews();
    if (auto selected = selectedViewController(); selected && selected->viewIfLoaded()) {
        CGRect content = b;
        if (!tabBar_->isHidden() && !extendsUnderBar(*selected)) content.size.height -= height;
        selected->viewIfLoaded()->setFrame(content);
        selected->setContentOverlayInsets(barInsetsForChild(*selected));
    }
}

bool UITabBarController::extendsUnderBar(const UIViewController& child) const {
    return (child.edgesForExtendedLayout() & UIRectEdgeBottom) &&
           (tabBar_->isTranslucent() || child.extendedLayoutIncludesOpaqueBars());
}

UIEdgeInsets UITabBarController::barInsetsForChild(const UIViewController& child) const {
    if (tabBar_->isHidden() || &child != selectedViewController().get() || !extendsUnderBar(child)) return {};
    return UIEdgeInsetsMake(0, 0, UITabBar::kContentHeight, 0);
}

void UITabBarController::tabBarDidSelectItem(UITabBar&, const UITabBarItemPtr& item) {
    auto it = std::find_if(controllers_.begin(), controllers_.end(),
                           [&](const UIViewControllerPtr& c) { return c->tabBarItem() == item; });
    if (it == controllers_.end()) return;
    UIViewControllerPtr chosen = *it;
    auto delegate = delegate_.lock();
    if (delegate && !delegate->tabBarControllerShouldSelectViewController(*this, chosen)) return;
    setSelectedViewController(chosen);
    if (delegate) delegate->tabBarControllerDidSelectViewController(*this, chosen);
}

void UITabBarController::show(const UIViewControllerPtr& from, const UIViewControllerPtr& to) {
    const UIViewPtr& view = viewIfLoaded();
    if (!view || from == to) {
        if (view && to && to->viewIfLoaded() && to->viewIfLoaded()->superview() != view) {
            view->insertSubviewBelowSubview(to->view(), tabBar_);
            viewWillLayoutSubviews();
        }
        updateTabBarVisibility();
        return;
    }
    const bool visible = isAppeared();
    if (visible) {
        if (from) from->beginAppearanceTransition(false, false);
        if (to) to->beginAppearanceTransition(true, false);
    }
    if (to) view->insertSubviewBelowSubview(to->view(), tabBar_);
    if (from && from->viewIfLoaded() && from->viewIfLoaded()->superview() == view) from->viewIfLoaded()->removeFromSuperview();
    updateTabBarVisibility();
    viewWillLayoutSubviews();
    if (visible) {
        if (from) from->endAppearanceTransition();
        if (to) to->endAppearanceTransition();
    }
}
