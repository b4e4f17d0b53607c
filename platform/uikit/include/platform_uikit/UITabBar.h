#pragma once
// A tab bar: one UITabBarButton per item, equal widths across the bar, the
// image above the title, a content height of 49 points plus the window's
// bottom safe area (sizeThatFits), over a _UIBarBackground whose hairline
// sits above the bar. A tap on a button tells the delegate which item was
// chosen; the bar itself does not change its selection then (its
// controller does).
//
// Colours: the tint for the selected item, `unselectedItemTintColor` (else
// the system grey) for the others; the bar tint, background, shadow and
// selection-indicator images; translucency. UITabBar::appearance() is the
// proxy for all of these, applied when the bar enters a window (with the
// item proxies applied to its items).
//
// Main thread. The bar holds its items and buttons; its delegate is not held.

#include <platform_uikit/UIAppearance.h>
#include <platform_uikit/UITabBarButton.h>
#include <platform_uikit/UITabBarItem.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/_UIBarBackground.h>

#include <memory>
#include <vector>

class UITabBar;

class UITabBarDelegate {
public:
    virtual ~UITabBarDelegate() = default;
    // A button was tapped.
    virtual void tabBarDidSelectItem(UITabBar& /*bar*/, const UITabBarItemPtr& /*item*/) {}
};

class UITabBar : public UIView, public UIAppearanceCustomizable {
    NS_CLASS(UITabBar, UIView)
public:
    static constexpr double kContentHeight = 49;

    UITabBar();
    explicit UITabBar(CGRect frame);
    static std::shared_ptr<UITabBar> appearance() { return UIAppearanceProxyFor<UITabBar>(classObject()); }

    const std::vector<UITabBarItemPtr>& items() const { return items_; }
    void setItems(std::vector<UITabBarItemPtr> items, bool animated = false);
    UITabBarItemPtr selectedItem() const { return selectedItem_.lock(); }
    // An item not on the bar selects nothing.
    void setSelectedItem(const UITabBarItemPtr& item);
    std::shared_ptr<UITabBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITabBarDelegate> delegate) { delegate_ = std::move(delegate); }

    // The buttons, left to right (one per item).
    const std::vector<std::shared_ptr<UITabBarButton>>& buttons() const { return buttons_; }
    const std::shared_ptr<_UIBarBackground>& barBackground();
    // The content height plus the bottom safe area of the window (the screen's
    // while not in one; none before 11).
    double preferredHeight() const;

    // --- appearance ---
    void setTintColor(UIColorPtr color);
    UIColorPtr unselectedItemTintColor() const { return unselectedTint_; }
    void setUnselectedItemTintColor(UIColorPtr color);
    UIColorPtr barTintColor() const { return barTint_; }
    void setBarTintColor(UIColorPtr color);
    // Also an appearance value of the bar.
    void setBackgroundColor(UIColorPtr color) override;
    UIImagePtr backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(UIImagePtr image);
    UIImagePtr shadowImage() const { return shadowImage_; }
    void setShadowImage(UIImagePtr image);
    UIImagePtr selectionIndicatorImage() const { return indicatorImage_; }
    void setSelectionIndicatorImage(UIImagePtr image);
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent);
    // Takes the proxies' values the bar (and each item) has not set itself.
    void applyAppearance();

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void didMoveToWindow() override;
    void tintColorDidChange() override { refreshButtons(); }

protected:
    void copyAppearanceValue(const UIAppearanceCustomizable& proxy, const std::string& key) override;

private:
    void rebuildButtons();
    void refreshButtons();
    void refreshBackground();
    void buttonTapped(UITabBarButton& button);

    std::vector<UITabBarItemPtr> items_;
    std::weak_ptr<UITabBarItem> selectedItem_;
    std::weak_ptr<UITabBarDelegate> delegate_;
    std::vector<std::shared_ptr<UITabBarButton>> buttons_;
    std::shared_ptr<_UIBarBackground> background_;
    UIColorPtr unselectedTint_, barTint_;
    UIImagePtr backgroundImage_, shadowImage_, indicatorImage_;
    bool translucent_ = true;

public:
    NS_PROPERTY_ACCESSORS(bool, translucent, "N,GisTranslucent", isTranslucent, setTranslucent)
};
