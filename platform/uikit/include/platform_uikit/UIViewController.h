#pragma once
// A view controller: owns a view made on first use (`loadView`, then
// `viewDidLoad`), hears its view appear and disappear, and holds child
// controllers (containment) with their navigation and tab bar items.
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
#include <platform_uikit/UINavigationItem.h>
#include <platform_uikit/UITabBarItem.h>
#include <platform_uikit/UIView.h>

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

private:
    friend class UIStoryboard;
    // The view from the storyboard scene or a nib; false when there is none.
    bool loadViewFromNib();

    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    void detachFromParent();

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
};
