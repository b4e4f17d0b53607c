// The navigation controller's bar, its content frame and the interactive pop.

#include <platform_uikit/UINavigationController.h>

#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UIWindow.h>

#include <algorithm>

namespace {

constexpr double kFlingVelocity = 500;

// The edge swipe: begins only while there is something to pop and nothing moving.
class InteractivePopGestureRecognizer : public UIScreenEdgePanGestureRecognizer {
public:
    std::weak_ptr<UINavigationController> navigation;

protected:
    bool acceptsStart(CGPoint windowPoint) const override {
        auto owner = navigation.lock();
        return owner && owner->viewControllers().size() >= 2 && !owner->isTransitioning() &&
               UIScreenEdgePanGestureRecognizer::acceptsStart(windowPoint);
    }
};

}  // namespace

UINavigationController::UINavigationController()
    : bar_(std::make_shared<UINavigationBar>()), popGesture_(std::make_shared<InteractivePopGestureRecognizer>()) {
    popGesture_->edges = UIRectEdgeLeft;
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    bar_->setHidden(hidden);
    if (viewIfLoaded()) viewWillLayoutSubviews();
}

void UINavigationController::syncNavigationBar() {
    std::vector<UINavigationItemPtr> items;
    for (const auto& c : stack_) items.push_back(c->navigationItem());
    if (items != bar_->items()) bar_->setItems(std::move(items));
    std::weak_ptr<UINavigationController> weak = std::static_pointer_cast<UINavigationController>(shared_from_this());
    bar_->setBackAction([weak] {
        if (auto navigation = weak.lock()) navigation->popViewControllerAnimated(true);
    });
    if (auto gesture = std::static_pointer_cast<InteractivePopGestureRecognizer>(popGesture_); gesture->navigation.expired()) {
        gesture->navigation = weak;
        gesture->addTarget(nullptr, "_handleInteractivePop:", [weak](UIGestureRecognizer& recognizer) {
            if (auto navigation = weak.lock())
                navigation->interactivePopChanged(static_cast<UIScreenEdgePanGestureRecognizer&>(recognizer));
        });
    }
}

bool UINavigationController::extendsUnderBar(const UIViewController& child) const {
    return (child.edgesForExtendedLayout() & UIRectEdgeTop) &&
           (bar_->isTranslucent() || child.extendedLayoutIncludesOpaqueBars());
}

CGRect UINavigationController::contentFrame(const UIViewController& child) const {
    const UIViewPtr& view = viewIfLoaded();
    if (!view) return UIScreen::mainScreen()->bounds();
    CGRect frame = view->bounds();
    if (barHidden_ || extendsUnderBar(child)) return frame;
    const double below = CGRectGetMaxY(bar_->frame());
    frame.origin.y += below;
    frame.size.height = std::max(0.0, frame.size.height - below);
    return frame;
}

void UINavigationController::placeContent(UIViewController& child) {
    if (const UIViewPtr& content = child.viewIfLoaded()) content->setFrame(contentFrame(child));
    child.setContentOverlayInsets(barInsetsForChild(child));
}

void UINavigationController::installContent(UIViewController& child) {
    const UIViewPtr& view = viewIfLoaded();
    const UIViewPtr& content = child.view();
    placeContent(child);
    content->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    if (bar_->superview() == view) view->insertSubviewBelowSubview(content, bar_);
    else view->addSubview(content);
}

void UINavigationController::viewWillLayoutSubviews() {
    const UIViewPtr& view = viewIfLoaded();
    if (!view) return;
    syncNavigationBar();
    // Below the status bar where the view reaches under it.
    const double statusBar = UIScreen::mainScreen()->safeAreaInsets().top;
    double top = statusBar;
    if (view->window()) top = std::max(0.0, statusBar - view->convertPointToView(CGPointZero, nullptr).y);
    bar_->setFrame(CGRectMake(0, top, view->bounds().size.width, UINavigationBar::kHeight));
    bar_->layoutSubviews();
    if (isTransitioning()) return;  // the running transition places the views
    if (auto top = topViewController(); top && top->viewIfLoaded() && top->viewIfLoaded()->superview() == view)
        placeContent(*top);
}

UIEdgeInsets UINavigationController::barInsetsForChild(const UIViewController& child) const {
    // Every controller on the stack: during a transition the arriving one is placed before it is on top.
    const bool onStack = std::any_of(stack_.begin(), stack_.end(), [&](const auto& c) { return c.get() == &child; });
    if (barHidden_ || !onStack || !extendsUnderBar(child)) return {};
    return UIEdgeInsetsMake(UINavigationBar::kHeight, 0, 0, 0);
}

void UINavigationController::interactivePopChanged(UIScreenEdgePanGestureRecognizer& gesture) {
    const UIViewPtr& container = viewIfLoaded();
    if (!container) return;
    const double width = std::max(1.0, container->bounds().size.width);
    const double tx = std::clamp(gesture.translationInView(container.get()).x, 0.0, width);

    if (gesture.state() == UIGestureRecognizerStateBegan) {
        if (stack_.size() < 2) return;
        finishRunningTransition();
        auto from = stack_.back();
        auto to = stack_[stack_.size() - 2];
        const bool visible = isAppeared();
        if (visible) {
            from->beginAppearanceTransition(false, true);
            to->beginAppearanceTransition(true, true);
        }
        installContent(*to);
        if (from->viewIfLoaded()) container->insertSubviewBelowSubview(to->view(), from->viewIfLoaded());
        interactiveTo_ = to;
        // Interrupted (another stack change), the swipe gives up: the top comes back.
        finishTransition_ = [this, from, to, visible] {
            interactiveTo_ = nullptr;
            if (visible) {
                to->beginAppearanceTransition(false, true);
                from->beginAppearanceTransition(true, true);
            }
            if (to->viewIfLoaded() && to->viewIfLoaded()->superview() == viewIfLoaded())
                to->viewIfLoaded()->removeFromSuperview();
            placeContent(*from);
            if (visible) {
                to->endAppearanceTransition();
                from->endAppearanceTransition();
            }
        };
    }
    if (!interactiveTo_ || stack_.size() < 2) return;
    auto from = stack_.back();
    auto to = interactiveTo_;
    auto place = [fromFrame = contentFrame(*from), toFrame = contentFrame(*to), width, from, to](double x) {
        if (auto v = from->viewIfLoaded()) v->setFrame(CGRectOffset(fromFrame, x, 0));
        if (auto v = to->viewIfLoaded()) v->setFrame(CGRectOffset(toFrame, -(width - x) / 3, 0));
    };
    switch (gesture.state()) {
        case UIGestureRecognizerStateBegan:
        case UIGestureRecognizerStateChanged:
            place(tx);
            return;
        case UIGestureRecognizerStateEnded:
        case UIGestureRecognizerStateCancelled:
        case UIGestureRecognizerStateFailed:
            break;
        default:
            return;
    }
    const bool complete = gesture.state() == UIGestureRecognizerStateEnded &&
                          (tx > width / 2 || gesture.velocityInView(container.get()).x > kFlingVelocity);
    interactiveTo_ = nullptr;
    if (complete) {
        const bool visible = isAppeared();
        finishTransition_ = [this, from, to, visible] {
            if (!stack_.empty() && stack_.back() == from) stack_.pop_back();
            from->willMoveToParentViewController(nullptr);
            if (from->viewIfLoaded() && from->viewIfLoaded()->superview() == viewIfLoaded())
                from->viewIfLoaded()->removeFromSuperview();
            placeContent(*to);
            if (visible) {
                from->endAppearanceTransition();
                to->endAppearanceTransition();
            }
            from->removeFromParentViewController();
            syncNavigationBar();
            if (auto tabs = tabBarController()) tabs->updateTabBarVisibility();
        };
    }
    // What is left of the way runs on the animation clock; the end runs the stored finish.
    const double remaining = complete ? (width - tx) / width : tx / width;
    const uint64_t generation = ++transitionGeneration_;
    std::weak_ptr<UINavigationController> weak = std::static_pointer_cast<UINavigationController>(shared_from_this());
    UIView::animateWithDuration(
        kTransitionDuration * remaining, 0, UIViewAnimationOptionCurveEaseOut, [&] { place(complete ? width : 0); },
        [weak, generation](bool) {
            auto navigation = weak.lock();
            if (navigation && navigation->transitionGeneration_ == generation) navigation->finishRunningTransition();
        });
}
