#pragma once
// A view controller: owns a view made on first use (`loadView`, then
// `viewDidLoad`), hears its view appear and disappear, and holds child
// controllers (containment) with their navigation and tab bar items. It
// presents other controllers modally, answers the orientations and status bar
// it wants, and offers its safe area and layout guides.
//
// `loadView`, `viewDidLoad` and the four appearance methods run through the
// class's method slots ("loadView", "viewDidLoad", "viewWillAppear:",
// "viewDidAppear:", "viewWillDisappear:", "viewDidDisappear:"): the base
// body of each virtual calls its slot, and the slot's own implementation is
// the base behaviour. A hook exchanged into a slot therefore runs once per
// call, also under a subclass override that calls the base body.
//
// Main thread. A controller holds its view and its children; its parent is
// not held. Controllers are made with std::make_shared.

#include <platform_uikit/UILayoutGuide.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIGestureRecognizer.h>
#include <platform_uikit/UIInterfaceOrientation.h>
#include <platform_uikit/UINavigationItem.h>
#include <platform_uikit/UIPresentationController.h>
#include <platform_uikit/UITabBarItem.h>
#include <platform_uikit/UIView.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSBundle;
class UIViewController;
class UINavigationController;
class UIStoryboard;
class UIStoryboardSegue;
class UITabBarController;

using UIViewControllerPtr = std::shared_ptr<UIViewController>;

class UIViewController : public UIResponder {
    NS_CLASS(UIViewController, UIResponder)
public:
    UIViewController();
    ~UIViewController() override;

    // --- the view ---
    // Loads the view when there is none yet. Raises NSInternalInconsistencyException
    // when loadView leaves no view, or when the view is asked for while it loads.
    const UIViewPtr& view();
    const UIViewPtr& viewIfLoaded() const { return view_; }
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadViewIfNeeded() { (void)view(); }
    // Replaces the view (nullptr unloads it; the next `view()` loads again).
    void setView(UIViewPtr view);

    // Through the "loadView" slot; the base makes a plain view covering the main screen.
    virtual void loadView();
    // Through the "viewDidLoad" slot; the base does nothing.
    virtual void viewDidLoad();
    // Through their slots; the base bodies do nothing.
    virtual void viewWillAppear(bool animated);
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool animated);
    virtual void viewDidDisappear(bool animated);

    // Drivers for containers: the will-call now, the did-call at
    // endAppearanceTransition. A transition toward the state the view is
    // already in or moving to calls nothing, so each appearance and each
    // disappearance is heard once. Appearing loads the view.
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    // Whether the view has appeared (did-appear heard, no will-disappear since).
    bool isAppeared() const { return appearance_ == Appearance::Appeared; }

    // --- containment ---
    const std::vector<UIViewControllerPtr>& childViewControllers() const { return children_; }
    // Calls child->willMoveToParentViewController(this) and appends it; a child
    // of another parent leaves that one first. The caller calls didMove after
    // its transition. Adding the controller itself or one of its ancestors
    // raises NSInvalidArgumentException; adding a present child does nothing.
    void addChildViewController(const UIViewControllerPtr& child);
    // Leaves the parent and calls didMoveToParentViewController(nullptr); the
    // caller calls willMove(nullptr) before. Nothing without a parent.
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(UIViewController* /*parent*/) {}
    virtual void didMoveToParentViewController(UIViewController* /*parent*/) {}
    UIViewControllerPtr parentViewController() const { return parent_.lock(); }
    // The nearest ancestor that is a navigation controller.
    std::shared_ptr<UINavigationController> navigationController() const;

    // --- bar items (made on first use) ---
    const UINavigationItemPtr& navigationItem();
    const UITabBarItemPtr& tabBarItem();
    void setTabBarItem(UITabBarItemPtr item) { tabBarItem_ = std::move(item); }

    // --- bars ---
    // The nearest ancestor that is a tab bar controller.
    std::shared_ptr<UITabBarController> tabBarController() const;
    // Whether the tab bar hides while this controller is on the selected navigation stack.
    bool hidesBottomBarWhenPushed() const { return hidesBottomBar_; }
    void setHidesBottomBarWhenPushed(bool hides) { hidesBottomBar_ = hides; }
    // How far this container's bars reach over `child`'s view beyond the
    // window's safe area (a navigation bar on top, a tab bar at the bottom),
    // for the safe area of the child's view; none by default.
    virtual UIEdgeInsets barInsetsForChild(const UIViewController& /*child*/) const { return {}; }
    // Around each layout pass of the controller's view.
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}

    // The view's superview when the view is in a tree, else the parent controller.
    std::shared_ptr<UIResponder> nextResponder() const override;

    // --- nibs and storyboards (UIViewControllerNib.cpp) ---
    // initWithNibName:bundle: (a null bundle is the main bundle). The base
    // loadView instantiates the storyboard scene's view, else this nib, else a
    // nib named after the class without its "Controller" ending, else after the
    // class; the controller is the owner and the nib must set its "view"
    // outlet (NSInternalInconsistencyException otherwise). No nib: a plain view.
    void setNibName(std::optional<std::string> name, std::shared_ptr<NSBundle> bundle = nullptr);
    const std::optional<std::string>& nibName() const { return nibName_; }
    const std::shared_ptr<NSBundle>& nibBundle() const { return nibBundle_; }
    // The storyboard the controller was made from, if any.
    const std::shared_ptr<UIStoryboard>& storyboard() const { return storyboard_; }
    // The scene's segue of that identifier: prepareForSegue, then perform. An
    // unknown identifier raises NSInvalidArgumentException.
    void performSegueWithIdentifier(const std::string& identifier, const std::shared_ptr<NSObject>& sender);
    // Asked before a segue a control triggers; not for performSegueWithIdentifier.
    virtual bool shouldPerformSegueWithIdentifier(const std::string& /*identifier*/,
                                                  const std::shared_ptr<NSObject>& /*sender*/) {
        return true;
    }
    virtual void prepareForSegue(UIStoryboardSegue& /*segue*/, const std::shared_ptr<NSObject>& /*sender*/) {}

    // Layout guides over the top and bottom safe-area insets of the view
    // (made on first use for the current view; asking loads the view).
    const std::shared_ptr<UILayoutGuide>& topLayoutGuide();
    const std::shared_ptr<UILayoutGuide>& bottomLayoutGuide();

    // What the registered slots run; callers use the virtuals above.
    void loadViewImplementation();

    // --- presentation (UIViewControllerPresentation.cpp) ---
    // Presents `controller` from the root of this controller's tree (the
    // topmost parent). Full-screen styles: presenter will-disappear, presented
    // will-appear, then after the transition (presentationTransitionDuration
    // when animated, at once when not) presenter did-disappear, presented
    // did-appear, completion; the presenter's view leaves the window. Other
    // styles leave the presenter alone. A presenter that already presents,
    // or whose view is in no window, logs and does nothing (the completion is
    // not called). A nil controller, this controller, a controller that is
    // presented already or that has a parent raise NSInvalidArgumentException.
    // A presentation or dismissal still running finishes first.
    void presentViewController(const UIViewControllerPtr& controller, bool animated,
                               std::function<void()> completion = nullptr);
    // Dismisses what this controller presents (and all that presents in
    // turn); with nothing presented, the controller that presented this one
    // (or an ancestor) does. The order mirrors presenting; the completion runs
    // after the did-calls, at once when there is nothing to dismiss.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = nullptr);
    // This controller's, or the nearest ancestor's, presented controller.
    UIViewControllerPtr presentedViewController() const;
    // The controller that presented this one or its nearest presented ancestor.
    UIViewControllerPtr presentingViewController() const;
    // Only while this controller (or an ancestor) is presented.
    std::shared_ptr<UIPresentationController> presentationController() const;
    // Automatic from 13, full screen before, until set.
    UIModalPresentationStyle modalPresentationStyle() const;
    void setModalPresentationStyle(UIModalPresentationStyle style) { modalStyle_ = style; }
    bool modalPresentationCapturesStatusBarAppearance() const { return capturesStatusBar_; }
    void setModalPresentationCapturesStatusBarAppearance(bool on) { capturesStatusBar_ = on; }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    // Seconds an animated presentation or dismissal of this controller takes.
    virtual double presentationTransitionDuration() const { return 0.4; }

    // --- orientation, status bar, memory (UIViewControllerOrientation.cpp) ---
    // All but upside down on a phone, all on a pad.
    virtual UIInterfaceOrientationMask supportedInterfaceOrientations() const;
    virtual bool shouldAutorotate() const { return true; }
    // Rotates each shown window to the device's orientation when the window's
    // top controller (the last full-screen or status-bar-capturing presented
    // one, else the root) may autorotate and it and the application support
    // it: the window's bounds swap between portrait and landscape, the
    // status-bar orientation changes (will/did notifications).
    static void attemptRotationToDeviceOrientation();
    virtual UIStatusBarStyle preferredStatusBarStyle() const { return UIStatusBarStyleDefault; }
    virtual bool prefersStatusBarHidden() const { return false; }
    virtual UIViewControllerPtr childViewControllerForStatusBarStyle() const { return nullptr; }
    virtual UIViewControllerPtr childViewControllerForStatusBarHidden() const { return nullptr; }
    // The application asks the key window's controllers again.
    void setNeedsStatusBarAppearanceUpdate();
    // The memory warning, after the application's notification; base: nothing.
    virtual void didReceiveMemoryWarning() {}
    // This controller, then its children and what it presents, top down.
    void propagateMemoryWarning();

    // --- safe area (UIViewControllerSafeArea.cpp) ---
    // The view's safe area is what it inherits from its superview plus the
    // content overlay (what a container's translucent bars cover: its
    // navigation bar on top, its tab bar at the bottom) plus the additional
    // insets (11+). Setting either tells the view (and its subviews)
    // safeAreaInsetsDidChange and the controller viewSafeAreaInsetsDidChange.
    UIEdgeInsets additionalSafeAreaInsets() const { return additionalInsets_; }
    void setAdditionalSafeAreaInsets(UIEdgeInsets insets);
    UIEdgeInsets contentOverlayInsets() const { return overlayInsets_; }
    void setContentOverlayInsets(UIEdgeInsets insets);
    virtual void viewSafeAreaInsetsDidChange() {}
    // Which edges the view extends under bars (all by default) and whether opaque ones count.
    uint64_t edgesForExtendedLayout() const { return extendedEdges_; }
    void setEdgesForExtendedLayout(uint64_t edges) { extendedEdges_ = edges; }
    bool extendedLayoutIncludesOpaqueBars() const { return includesOpaqueBars_; }
    void setExtendedLayoutIncludesOpaqueBars(bool on) { includesOpaqueBars_ = on; }

private:
    friend class UIStoryboard;
    // The view from the storyboard scene or a nib; false when there is none.
    bool loadViewFromNib();

    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    void detachFromParent();
    // Presentation internals (UIViewControllerPresentation.cpp).
    friend class UIApplication;
    friend class UIWindow;
    UIViewController* presentationRoot();
    UIViewPtr presentationHostView();
    void finishRunningPresentation();
    void applyControllerSafeAreaInsets();
    // The controller on top of this one's presentation chain that decides the
    // status bar and rotation: the last full-screen or capturing presented one.
    UIViewController* topStatusBarController();

    UIViewPtr view_;
    bool loading_ = false;
    Appearance appearance_ = Appearance::Disappeared;
    bool transitionAnimated_ = false;
    std::vector<UIViewControllerPtr> children_;
    std::weak_ptr<UIViewController> parent_;
    UINavigationItemPtr navigationItem_;
    UITabBarItemPtr tabBarItem_;
    std::optional<std::string> nibName_;
    std::shared_ptr<NSBundle> nibBundle_;
    std::shared_ptr<UIStoryboard> storyboard_;
    std::string sceneIdentifier_;
    bool hidesBottomBar_ = false;
    std::shared_ptr<UILayoutGuide> topGuide_, bottomGuide_;

    UIViewControllerPtr presented_;
    std::weak_ptr<UIViewController> presenting_;
    std::shared_ptr<UIPresentationController> presentation_;
    std::optional<UIModalPresentationStyle> modalStyle_;
    bool capturesStatusBar_ = false;
    bool beingPresented_ = false, beingDismissed_ = false;
    // The end of a running presentation or dismissal started by this controller as presenter.
    std::function<void()> finishPresentation_;
    uint64_t presentationGeneration_ = 0;

    UIEdgeInsets additionalInsets_{}, overlayInsets_{};
    uint64_t extendedEdges_ = UIRectEdgeAll;
    bool includesOpaqueBars_ = false;
};
