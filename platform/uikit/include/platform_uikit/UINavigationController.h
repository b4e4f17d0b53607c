#pragma once
// A stack of controllers of which the top one shows its view: push, pop,
// pop to a controller and pop to the root. While the navigation controller's
// view has appeared, a change of the top is a transition of 0.35 s on the
// animation clock (none when not animated): leaving will-disappear, arriving
// will-appear, then at its end leaving did-disappear, arriving did-appear.
// A change that starts while another runs finishes the running one first.
//
// The navigation bar (44 points, below the status bar) shows the stack's
// navigation items; its back button pops. The top controller's view fills
// the controller's view, under the bar while it is translucent (or opaque and
// the child's extendedLayoutIncludesOpaqueBars) with the top in the child's
// edgesForExtendedLayout, below it otherwise. Under the bar, its height
// (barInsetsForChild) becomes the child's content overlay, so the child's
// safe area grows by it. An edge swipe from
// the leading edge (interactivePopGestureRecognizer) pops interactively; it
// begins only with two or more controllers and no transition running, and
// asks its delegate as every recognizer does. Released past half the width
// (or flung) the pop completes, else the top comes back; either way each
// appearance is heard once.
//
// Main thread. Made with std::make_shared; holds its controllers.

#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UINavigationBar.h>
#include <platform_uikit/UIViewController.h>

#include <cstdint>
#include <functional>
#include <vector>

class UINavigationController : public UIViewController {
    NS_CLASS(UINavigationController, UIViewController)
public:
    static constexpr double kTransitionDuration = 0.35;

    UINavigationController();
    static std::shared_ptr<UINavigationController> withRootViewController(const UIViewControllerPtr& root);

    // Bottom (root) first; changes at once, also while a transition runs.
    const std::vector<UIViewControllerPtr>& viewControllers() const { return stack_; }
    UIViewControllerPtr topViewController() const;
    bool isTransitioning() const { return static_cast<bool>(finishTransition_); }

    // Pushing a controller already on the stack raises NSInvalidArgumentException.
    void pushViewController(const UIViewControllerPtr& controller, bool animated);
    // The popped controller; nothing (and no change) with one controller or none.
    UIViewControllerPtr popViewControllerAnimated(bool animated);
    // The controllers popped above `controller`, bottom first; a controller not on
    // the stack raises NSInvalidArgumentException.
    std::vector<UIViewControllerPtr> popToViewController(const UIViewControllerPtr& controller, bool animated);
    std::vector<UIViewControllerPtr> popToRootViewControllerAnimated(bool animated);
    // Replaces the stack: controllers no longer on it leave (willMove(nullptr)
    // now, removed at the end), new ones join (didMove at the end), and a new
    // top arrives as by a push when it was not on the stack, else as by a pop.
    // A nil or repeated controller raises NSInvalidArgumentException.
    void setViewControllers(const std::vector<UIViewControllerPtr>& controllers, bool animated);

    // The base view, holding the top controller's view.
    void loadView() override;

    // --- the bar ---
    const std::shared_ptr<UINavigationBar>& navigationBar() const { return bar_; }
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    const std::shared_ptr<UIScreenEdgePanGestureRecognizer>& interactivePopGestureRecognizer() const {
        return popGesture_;
    }
    void viewWillLayoutSubviews() override;
    UIEdgeInsets barInsetsForChild(const UIViewController& child) const override;

private:
    // Whether `child`'s view reaches up under the shown bar: a translucent one,
    // or an opaque one when the child asks, and only with the top edge extended.
    bool extendsUnderBar(const UIViewController& child) const;
    // `child`'s view's frame: all of the view, or below the bar it does not extend under.
    CGRect contentFrame(const UIViewController& child) const;
    // Places `child`'s view at its content frame and tells it how far the bar covers it.
    void placeContent(UIViewController& child);
    void installContent(UIViewController& child);
    void syncNavigationBar();
    void interactivePopChanged(UIScreenEdgePanGestureRecognizer& gesture);

    // Shows `to` (nullptr: nothing) in place of `from`; at the end the `popped`
    // controllers leave the children and the `pushed` ones hear didMove.
    void transition(const UIViewControllerPtr& from, const UIViewControllerPtr& to,
                    std::vector<UIViewControllerPtr> popped, std::vector<UIViewControllerPtr> pushed, bool forward,
                    bool animated);
    void finishRunningTransition();

    std::vector<UIViewControllerPtr> stack_;
    std::function<void()> finishTransition_;
    uint64_t transitionGeneration_ = 0;
    std::shared_ptr<UINavigationBar> bar_;
    bool barHidden_ = false;
    std::shared_ptr<UIScreenEdgePanGestureRecognizer> popGesture_;
    // The controller coming back during an interactive pop.
    UIViewControllerPtr interactiveTo_;
};
