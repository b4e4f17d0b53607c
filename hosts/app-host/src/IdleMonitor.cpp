#include <app_host/IdleMonitor.h>

#include <platform_dispatch/DispatchActivity.h>
#include <platform_net/URLLoadActivity.h>
#include <platform_system/UNUserNotificationCenter.h>
#include <platform_uikit/CAAnimation.h>
#include <platform_uikit/CALayer.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScrollView.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIViewAnimationActivity.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>

#include <cmath>
#include <set>

namespace {

void visitControllers(const UIViewControllerPtr& controller, std::set<const UIViewController*>& seen,
                      std::vector<std::string>& out) {
    if (!controller || !seen.insert(controller.get()).second) return;
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(controller); nav && nav->isTransitioning())
        out.push_back("a navigation transition of " + controller->className());
    if (controller->isBeingPresented()) out.push_back("the presentation of " + controller->className());
    if (controller->isBeingDismissed()) out.push_back("the dismissal of " + controller->className());
    for (const auto& child : controller->childViewControllers()) visitControllers(child, seen, out);
    visitControllers(controller->presentedViewController(), seen, out);
}

// One-shot animations only: an endless one (a spinner) or one kept after its
// end never settles, and a settled screen may show either.
std::size_t runningAnimations(const CALayer& layer) {
    std::size_t n = 0;
    for (const auto& key : layer.animationKeys()) {
        auto animation = layer.animationForKey(key);
        if (animation && animation->removedOnCompletion && std::isfinite(animation->activeDuration())) ++n;
    }
    for (const auto& sub : layer.sublayers())
        if (sub && !sub->isHidden()) n += runningAnimations(*sub);
    return n;
}

// Scroll views still bouncing back or slowing down after a finger let go.
std::size_t movingScrollViews(const UIView& view) {
    std::size_t n = 0;
    if (auto* scroll = dynamic_cast<const UIScrollView*>(&view); scroll && (scroll->isDecelerating() || scroll->isDragging()))
        ++n;
    for (const auto& sub : view.subviews())
        if (sub && !sub->isHidden()) n += movingScrollViews(*sub);
    return n;
}

bool anyControllerInTransition(const UIViewControllerPtr& controller, std::set<const UIViewController*>& seen) {
    std::vector<std::string> found;
    visitControllers(controller, seen, found);
    return !found.empty();
}

bool anyRunningAnimation(const CALayer& layer) {
    for (const auto& key : layer.animationKeys()) {
        auto animation = layer.animationForKey(key);
        if (animation && animation->removedOnCompletion && std::isfinite(animation->activeDuration())) return true;
    }
    for (const auto& sub : layer.sublayers())
        if (sub && !sub->isHidden() && anyRunningAnimation(*sub)) return true;
    return false;
}

bool anyMovingScrollView(const UIView& view) {
    if (auto* scroll = dynamic_cast<const UIScrollView*>(&view); scroll && (scroll->isDecelerating() || scroll->isDragging()))
        return true;
    for (const auto& sub : view.subviews())
        if (sub && !sub->isHidden() && anyMovingScrollView(*sub)) return true;
    return false;
}

}  // namespace

bool IdleMonitor::busy(bool movingOnly) {
    if (!movingOnly) {
        if (dispatch_main_queue_has_work() || dispatch_active_block_count() || URLLoadingTaskCount()) return true;
        if (!UNUserNotificationCenter::currentNotificationCenter()->pendingNotificationRequests().empty()) return true;
    }
    if (UIViewAnimationTimedCompletionCount()) return true;
    std::set<const UIViewController*> seen;
    for (const auto& window : UIApplication::sharedApplication()->windows()) {
        if (!window || window->isHidden()) continue;
        if (anyControllerInTransition(window->rootViewController(), seen) || anyRunningAnimation(*window->layer()) ||
            anyMovingScrollView(*window))
            return true;
    }
    return false;
}

std::vector<std::string> IdleMonitor::stillRunning() {
    std::vector<std::string> out;
    if (dispatch_main_queue_has_work()) out.push_back("blocks on the main queue");
    if (std::size_t n = dispatch_active_block_count()) out.push_back(std::to_string(n) + " dispatch block(s)");
    if (std::size_t n = URLLoadingTaskCount()) out.push_back(std::to_string(n) + " URL load(s)");
    auto moving = stillMoving();
    out.insert(out.end(), moving.begin(), moving.end());
    auto pending = UNUserNotificationCenter::currentNotificationCenter()->pendingNotificationRequests();
    if (!pending.empty()) out.push_back(std::to_string(pending.size()) + " pending local notification(s)");
    return out;
}

std::vector<std::string> IdleMonitor::stillMoving() {
    std::vector<std::string> out;
    auto app = UIApplication::sharedApplication();
    std::set<const UIViewController*> seen;
    std::size_t animations = 0, scrolling = 0;
    for (const auto& window : app->windows()) {
        if (!window || window->isHidden()) continue;
        visitControllers(window->rootViewController(), seen, out);
        animations += runningAnimations(*window->layer());
        scrolling += movingScrollViews(*window);
    }
    // A view animation that changed nothing animatable still holds its completion for its time.
    animations += UIViewAnimationTimedCompletionCount();
    if (animations) out.push_back(std::to_string(animations) + " animation(s)");
    if (scrolling) out.push_back(std::to_string(scrolling) + " scrolling view(s)");
    return out;
}
