#pragma once
// The root controller of the app's window: turns child controllers plus one
// attribute dictionary per child (title, normal and selected image, image
// insets, title offset, animation URL and size) into tab items, installs its
// own TBTabBar, can insert the child controller of a registered centre
// button, keeps the selected state of the tab controls in step with the
// platform's selection, and fills the tab registry (TBTabRegistry.h).
//
// Misuse raises NSException named "TBTabBarController". Main thread. Holds its
// children and bar; its delegate is not held; the layout closure is held.

#include <ui_tab_bar_and_layout/TBTabBar.h>
#include <ui_tab_bar_and_layout/TBTabRegistry.h>

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UITabBarController.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TBTabBarController;

// The platform's tab-bar-controller delegate plus one optional operation.
class TBTabBarControllerDelegate : public UITabBarControllerDelegate {
public:
    // Whether the delegate implements tabBarControllerDidSelectControl.
    virtual bool respondsToDidSelectControl() const { return false; }
    virtual void tabBarControllerDidSelectControl(TBTabBarController& /*controller*/,
                                                  const std::shared_ptr<UIControl>& /*control*/) {}
};

class TBTabBarController : public UITabBarController {
    NS_CLASS(TBTabBarController, UITabBarController)
    NS_PROTOCOLS("TBTabBarControllerDelegate")
public:
    using LayoutBlock = std::function<void(TBTabBarController&)>;

    // The plain initialiser: every field zero or empty until set.
    TBTabBarController();
    ~TBTabBarController() override;

    // Stores insets, offset and attributes, sets the context (none: the class
    // name), then the children. Raises as setViewControllers does.
    static std::shared_ptr<TBTabBarController> tabBarControllerWithViewControllers(
        const Value& viewControllers, Value::Array tabBarItemsAttributes, UIEdgeInsets imageInsets = {},
        UIOffset titlePositionAdjustment = {}, std::optional<std::string> context = std::nullopt);

    // --- configuration ---
    const std::optional<Value::Array>& tabBarItemsAttributes() const { return attributes_; }
    // Read by the next setViewControllers, which needs one dictionary per child.
    void setTabBarItemsAttributes(std::optional<Value::Array> attributes) { attributes_ = std::move(attributes); }
    // Builds the tabs. A value that is not an array of controllers clears them;
    // an attribute list of another length raises (the old children already gone).
    void setViewControllers(const Value& controllers);
    void setViewControllers(const std::vector<UIViewControllerPtr>& controllers);

    const std::string& context() const { return context_; }
    // "" or none stores "TBTabBarController"; the tab bar hears it.
    void setContext(const std::optional<std::string>& context);
    double tabBarHeight() const { return tabBarHeight_; }
    void setTabBarHeight(double height) { tabBarHeight_ = height; }
    void setTintColor(UIColorPtr color);
    UIEdgeInsets imageInsets() const { return imageInsets_; }
    UIOffset titlePositionAdjustment() const { return titleOffset_; }

    const LayoutBlock& viewDidLayoutSubviewsBlock() const { return layoutBlock_; }
    void setViewDidLayoutSubviewsBlock(LayoutBlock block) { layoutBlock_ = std::move(block); }
    void setViewDidLayoutSubViewsBlock(LayoutBlock block) { layoutBlock_ = std::move(block); }
    // Stores the closure and runs it on the first layout pass only (whatever `once` says).
    void setViewDidLayoutSubViewsBlockInvokeOnce(bool once, LayoutBlock block);
    bool shouldInvokeOnceViewDidLayoutSubViewsBlock() const { return invokeOnce_; }
    bool isMotionViewAdded() const { return motionViewAdded_; }
    bool isObservingTabImageViewDefaultOffset() const { return observingOffset_; }

    std::vector<Value>& motionURLs() { return motionURLs_; }
    std::vector<CGSize>& motionSizes() { return motionSizes_; }
    bool isMotionEnabled() const { return !motionURLs_.empty(); }
    // A white 22 × 22 image, made on first read.
    UIImagePtr tabItemPlaceholderImage();

    std::shared_ptr<TBTabBar> tbTabBar() const { return std::dynamic_pointer_cast<TBTabBar>(tabBar()); }

    // --- queries ---
    bool hasPlusChildViewController() const;
    bool isPlusViewControllerAdded(const std::vector<UIViewControllerPtr>& controllers) const;
    static bool isEqualViewController(const UIViewControllerPtr& a, const UIViewControllerPtr& b);
    // A string loads the named image in its own colours; an image comes back; anything else none.
    static UIImagePtr getImageFromImageInfo(const Value& info);
    bool shouldCustomizeImageInsets() const;
    bool shouldCustomizeTitlePositionAdjustment() const;
    static bool isNOTEmptyForImageInsets(UIEdgeInsets insets);
    static bool isNOTEmptyForTitlePositionAdjustment(UIOffset offset);
    static bool isNOTEmptyForSize(CGSize size);
    static std::shared_ptr<UIApplicationDelegate> appDelegate();
    static std::shared_ptr<UIWindow> rootWindow();
    // The delegate window's root, unwrapped from a navigation controller, when a TBTabBarController.
    static std::shared_ptr<TBTabBarController> rootViewController();
    static bool havePlusButton();
    static uint64_t allItemsInTabBarCount();

    // --- selection ---
    // Platform selection, the selection update, then didSelectControl of the index's tab control.
    void setSelectedIndex(int64_t index);
    void updateSelectionStatusIfNeededForTabBarController(const UIViewControllerPtr& controller,
                                                          bool shouldSelect = true);
    void didSelectControl(const std::shared_ptr<UIControl>& control);
    bool tabBarControllerShouldSelectViewController(const UIViewControllerPtr& controller);

    // --- hiding the hairline ---
    void hideTabBarShadowImageView();
    void hideTabBadgeBackgroundSeparator() { hideTabBarShadowImageView(); }

    // --- animation hooks (no animation is drawn; the URL and size lists are kept) ---
    void addMotionImageWithControl(const std::shared_ptr<UIControl>& control, bool animation,
                                   bool defaultSelected = false);

    // --- platform ---
    void viewDidLoad() override;
    void viewWillLayoutSubviews() override;
    void viewDidLayoutSubviews() override;
    UIInterfaceOrientationMask supportedInterfaceOrientations() const override;
    void tabBarDidSelectItem(UITabBar& bar, const UITabBarItemPtr& item) override;
    void observeValueForKeyPath(const std::string& keyPath, NSObject* object, const Value& change,
                                void* context) override;

    std::shared_ptr<TBTabBarControllerDelegate> tbDelegate() const {
        return std::dynamic_pointer_cast<TBTabBarControllerDelegate>(delegate());
    }

private:
    void setUpTabBar();
    void addOneChildViewController(const UIViewControllerPtr& child, const std::optional<std::string>& title,
                                   const Value& normalImageInfo, const Value& selectedImageInfo, UIOffset offset,
                                   UIEdgeInsets insets, const Value& motionURL, const Value& motionSize);
    void offsetTabBarTabImageViewToFit(double offset);
    std::shared_ptr<TBTabBarController> self();

    std::optional<Value::Array> attributes_;
    std::string context_;
    double tabBarHeight_ = 0;
    UIEdgeInsets imageInsets_{};
    UIOffset titleOffset_{};
    LayoutBlock layoutBlock_;
    bool invokeOnce_ = false, invokedOnce_ = false;
    bool motionViewAdded_ = false;
    bool observingOffset_ = false;
    std::vector<Value> motionURLs_;
    std::vector<CGSize> motionSizes_;
    UIImagePtr placeholder_;
    std::weak_ptr<TBTabBar> observedBar_;
};
