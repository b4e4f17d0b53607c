#include <platform_uikit/UINavigationController.h>

#include <platform_uikit/UITabBarController.h>

#include <platform_runtime/NSException.h>

#include <algorithm>

std::shared_ptr<UINavigationController> UINavigationController::withRootViewController(const UIViewControllerPtr& root) {
    auto navigation = std::make_shared<UINavigationController>();
    navigation->pushViewController(root, false);
    return navigation;
}

UIViewControllerPtr UINavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

void UINavigationController::loadView() {
    UIViewController::loadView();
    viewIfLoaded()->addSubview(bar_);
    viewIfLoaded()->addGestureRecognizer(popGesture_);
    if (auto top = topViewController()) installContent(*top);
    viewWillLayoutSubviews();
}

void UINavigationController::pushViewController(const UIViewControllerPtr& controller, bool animated) {
    if (!controller)
        NSException::raise(NSInvalidArgumentException, "-[" + className() + " pushViewController:animated:]: nil");
    if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end())
        NSException::raise(NSInvalidArgumentException,
                           "-[" + className() + " pushViewController:animated:]: the controller is on the stack already");
    finishRunningTransition();
    auto from = topViewController();
    addChildViewController(controller);
    stack_.push_back(controller);
    transition(from, controller, {}, {controller}, true, animated);
}

UIViewControllerPtr UINavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return nullptr;
    auto popped = popToViewController(stack_[stack_.size() - 2], animated);
    return popped.empty() ? nullptr : popped.back();
}

std::vector<UIViewControllerPtr> UINavigationController::popToViewController(const UIViewControllerPtr& controller,
                                                                             bool animated) {
    auto it = std::find(stack_.begin(), stack_.end(), controller);
    if (!controller || it == stack_.end())
        NSException::raise(NSInvalidArgumentException,
                           "-[" + className() + " popToViewController:animated:]: the controller is not on the stack");
    finishRunningTransition();
    std::vector<UIViewControllerPtr> popped(it + 1, stack_.end());
    if (popped.empty()) return popped;
    auto from = stack_.back();
    stack_.erase(it + 1, stack_.end());
    for (const auto& leaving : popped) leaving->willMoveToParentViewController(nullptr);
    transition(from, controller, popped, {}, false, animated);
    return popped;
}

std::vector<UIViewControllerPtr> UINavigationController::popToRootViewControllerAnimated(bool animated) {
    if (stack_.empty()) return {};
    return popToViewController(stack_.front(), animated);
}

void UINavigationController::setViewControllers(const std::vector<UIViewControllerPtr>& controllers, bool animated) {
    for (auto it = controllers.begin(); it != controllers.end(); ++it)
        if (!*it || std::find(controllers.begin(), it, *it) != it)
            NSException::raise(NSInvalidArgumentException, "-[" + className() +
                                                               " setViewControllers:animated:]: a nil or repeated "
                                                               "controller");
    finishRunningTransition();
    auto kept = [&](const std::vector<UIViewControllerPtr>& in, const UIViewControllerPtr& c) {
        return std::find(in.begin(), in.end(), c) != in.end();
    };
    std::vector<UIViewControllerPtr> popped, pushed;
    for (const auto& old : stack_)
        if (!kept(controllers, old)) popped.push_back(old);
    for (const auto& c : controllers)
        if (!kept(stack_, c)) pushed.push_back(c);
    auto from = topViewController();
    auto to = controllers.empty() ? nullptr : controllers.back();
    const bool forward = to && !kept(stack_, to);
    for (const auto& leaving : popped) leaving->willMoveToParentViewController(nullptr);
    for (const auto& joining : pushed) addChildViewController(joining);
    stack_ = controllers;
    if (from == to) {
        // The top stays: only the controllers below it change.
        for (const auto& leaving : popped) leaving->removeFromParentViewController();
        for (const auto& joining : pushed) joining->didMoveToParentViewController(this);
        if (auto tabs = tabBarController()) tabs->updateTabBarVisibility();
        syncNavigationBar();
        return;
    }
    transition(from, to, std::move(popped), std::move(pushed), forward, animated);
}

void UINavigationController::transition(const UIViewControllerPtr& from, const UIViewControllerPtr& to,
                                        std::vector<UIViewControllerPtr> popped, std::vector<UIViewControllerPtr> pushed,
                                        bool forward, bool animated) {
    // The tab bar hides while a controller that hides it is on the stack.
    if (auto tabs = tabBarController()) tabs->updateTabBarVisibility();
    const UIViewPtr& container = viewIfLoaded();
    const bool visible = container && isAppeared();
    if (visible) {
        if (from) from->beginAppearanceTransition(false, animated);
        if (to) to->beginAppearanceTransition(true, animated);
    }
    syncNavigationBar();
    if (container && to) installContent(*to);

    // Stored in this controller and run by it: `this` outlives the call.
    finishTransition_ = [this, from, to, popped = std::move(popped), pushed = std::move(pushed), visible] {
        if (from && from->viewIfLoaded() && from->viewIfLoaded()->superview() == viewIfLoaded())
            from->viewIfLoaded()->removeFromSuperview();
        if (visible) {
            if (from) from->endAppearanceTransition();
            if (to) to->endAppearanceTransition();
        }
        for (const auto& leaving : popped) leaving->removeFromParentViewController();
        for (const auto& joining : pushed) joining->didMoveToParentViewController(this);
    };
    if (!visible || !animated || !to) {
        finishRunningTransition();
        return;
    }
    // The arriving view slides in from the trailing edge over the leaving one.
    const UIViewPtr& arriving = to->view();
    CGRect bounds = contentFrame(*to);
    CGRect start = bounds;
    start.origin.x += forward ? bounds.size.width : -bounds.size.width / 3;
    arriving->setFrame(start);
    const uint64_t generation = ++transitionGeneration_;
    std::weak_ptr<UINavigationController> weak = std::static_pointer_cast<UINavigationController>(shared_from_this());
    UIView::animateWithDuration(
        kTransitionDuration, 0, UIViewAnimationOptionCurveEaseInOut, [&] { arriving->setFrame(bounds); },
        [weak, generation](bool) {
            auto navigation = weak.lock();
            if (navigation && navigation->transitionGeneration_ == generation) navigation->finishRunningTransition();
        });
}

void UINavigationController::finishRunningTransition() {
    if (!finishTransition_) return;
    auto finish = std::move(finishTransition_);
    finishTransition_ = nullptr;
    ++transitionGeneration_;
    finish();
}
