#pragma once
// A controller that shows one of its children at a time, chosen by a tab
// bar at the bottom of its view. The bar shows each child's tabBarItem;
// a tap asks the delegate whether the child may be selected, selects it and
// tells the delegate. While the controller's view has appeared, a change of
// the selected child runs the decided order at once (leaving
// will-disappear, arriving will-appear, leaving did-disappear, arriving
// did-appear).
//
// The bar can be replaced by key-value coding under "tabBar" (its items and
// delegate move to the new bar). It is hidden while the selected child is a
// navigation controller with a controller on its stack that hides the
// bottom bar when pushed. The selected child's view fills the controller's
// view: under the bar while it is translucent (or opaque and the child's
// extendedLayoutIncludesOpaqueBars), with the bottom in its
// edgesForExtendedLayout; above the bar otherwise. Where the view is under
// the bar, the bar's content height (barInsetsForChild) becomes the child's
// content overlay, so its safe area grows by it.
//
// Main thread. Holds its children and its bar; its delegate is not held.

#include <platform_uikit/UITabBar.h>
#include <platform_uikit/UIViewController.h>

#include <cstdint>
#include <memory>
#include <vector>

class UITabBarController;

class UITabBarControllerDelegate {
public:
    virtual ~UITabBarControllerDelegate() = default;
    virtual bool tabBarControllerShouldSelectViewController(UITabBarController& /*tabBarController*/,
                                                            const UIViewControllerPtr& /*controller*/) {
        return true;
    }
    virtual void tabBarControllerDidSelectViewController(UITabBarController& /*tabBarController*/,
                                                         const UIViewControllerPtr& /*controller*/) {}
};

class UITabBarController : public UIViewController, public UITabBarDelegate {
    NS_CLASS(UITabBarController, UIViewController)
public:
    static constexpr int64_t NSNotFound = INT64_MAX;

    UITabBarController();

    const std::vector<UIViewControllerPtr>& viewControllers() const { return controllers_; }
    // Children that leave hear willMove(nil) and leave; new ones join and hear
    // didMove. The selected child stays when it is still there, else the first
    // is selected. A nil or repeated controller raises NSInvalidArgumentException.
    void setViewControllers(const std::vector<UIViewControllerPtr>& controllers, bool animated = false);

    // NSNotFound without children.
    int64_t selectedIndex() const;
    // An index outside the children changes nothing.
    void setSelectedIndex(int64_t index);
    UIViewControllerPtr selectedViewController() const;
    // A controller that is not a child raises NSInvalidArgumentException.
    void setSelectedViewController(const UIViewControllerPtr& controller);

    std::shared_ptr<UITabBarControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITabBarControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    const std::shared_ptr<UITabBar>& tabBar() const { return tabBar_; }
    // Installs another bar (key "tabBar"); nil is ignored.
    void setTabBar(std::shared_ptr<UITabBar> bar);

    // Hides or shows the bar after the selected navigation stack changed.
    void updateTabBarVisibility();

    void loadView() override;
    void viewWillLayoutSubviews() override;
    UIEdgeInsets barInsetsForChild(const UIViewController& child) const override;
    // UITabBarDelegate: a tap on the bar.
    void tabBarDidSelectItem(UITabBar& bar, const UITabBarItemPtr& item) override;

private:
    // Whether `child`'s view reaches down under the bar (hidden or not).
    bool extendsUnderBar(const UIViewController& child) const;
    void show(const UIViewControllerPtr& from, const UIViewControllerPtr& to);
    void syncBar();

    std::vector<UIViewControllerPtr> controllers_;
    std::size_t selected_ = 0;
    std::weak_ptr<UITabBarControllerDelegate> delegate_;
    std::shared_ptr<UITabBar> tabBar_;

    void setViewControllersValue(std::vector<UIViewControllerPtr> controllers) { setViewControllers(controllers); }

public:
    NS_PROPERTY_ACCESSORS(std::shared_ptr<UITabBar>, tabBar, "&,N", tabBar, setTabBar)
    NS_PROPERTY_ACCESSORS(std::vector<UIViewControllerPtr>, viewControllers, "C,N", viewControllers,
                          setViewControllersValue)
    NS_PROPERTY_ACCESSORS(int64_t, selectedIndex, "N", selectedIndex, setSelectedIndex)
};
