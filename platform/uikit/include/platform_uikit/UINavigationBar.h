#pragma once
// A navigation bar, 44 points high: a stack of navigation items of which
// the top one shows its title (or title view) in the middle, its left and
// right bar button items at the edges, and a back button naming the item
// below (its back item's title, else its title, else "Back") unless the top
// item hides it or has left items that do not supplement it. A tap on the
// back button asks the delegate to go back.
//
// Look: tint (buttons), bar tint, title text attributes, translucency,
// background and shadow images, and from 13 the standard appearance (the
// top item's over the bar's), which then decides background, hairline and
// title attributes. Its _UIBarBackground reaches up under the status bar
// and carries the hairline at the bar's bottom. UINavigationBar::appearance()
// is the proxy, applied when the bar enters a window.
//
// Main thread. The bar holds its items; its delegate is not held.

#include <platform_uikit/UIAppearance.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UINavigationBarAppearance.h>
#include <platform_uikit/UINavigationItem.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/_UIBarBackground.h>

#include <functional>
#include <memory>
#include <vector>

enum UIBarStyle : int64_t {
    UIBarStyleDefault = 0,
    UIBarStyleBlack = 1,
};

class _UINavigationBarContentView : public UIView {
    NS_CLASS(_UINavigationBarContentView, UIView)
};

class UINavigationBar : public UIView, public UIAppearanceCustomizable {
    NS_CLASS(UINavigationBar, UIView)
public:
    static constexpr double kHeight = 44;
    static constexpr double kEdgeMargin = 8;
    static constexpr double kTitleFontSize = 17;

    UINavigationBar();
    explicit UINavigationBar(CGRect frame);
    static std::shared_ptr<UINavigationBar> appearance() { return UIAppearanceProxyFor<UINavigationBar>(classObject()); }

    const std::vector<UINavigationItemPtr>& items() const { return items_; }
    void setItems(std::vector<UINavigationItemPtr> items, bool animated = false);
    void pushNavigationItem(const UINavigationItemPtr& item, bool animated = false);
    UINavigationItemPtr popNavigationItemAnimated(bool animated = false);
    UINavigationItemPtr topItem() const { return items_.empty() ? nullptr : items_.back(); }
    UINavigationItemPtr backItem() const { return items_.size() < 2 ? nullptr : items_[items_.size() - 2]; }
    // Run when the back button is tapped (the navigation controller pops).
    void setBackAction(std::function<void()> action) { backAction_ = std::move(action); }

    // --- what shows ---
    const std::shared_ptr<UILabel>& titleLabel() const { return title_; }
    // Nothing while no back button shows.
    std::shared_ptr<_UIButtonBarButton> backButton() const;
    const std::shared_ptr<_UIBarBackground>& barBackground();
    const std::shared_ptr<_UINavigationBarContentView>& contentView() const { return content_; }

    // --- look ---
    void setTintColor(UIColorPtr color);
    UIColorPtr barTintColor() const { return barTint_; }
    void setBarTintColor(UIColorPtr color);
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    const Value::Dictionary& titleTextAttributes() const { return titleAttributes_; }
    void setTitleTextAttributes(Value::Dictionary attributes);
    bool isTranslucent() const;
    void setTranslucent(bool translucent);
    UIImagePtr backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(UIImagePtr image);
    UIImagePtr shadowImage() const { return shadowImage_; }
    void setShadowImage(UIImagePtr image);
    const std::shared_ptr<UINavigationBarAppearance>& standardAppearance() const { return standard_; }
    void setStandardAppearance(std::shared_ptr<UINavigationBarAppearance> appearance);
    // The appearance for content scrolled to the bar's edge (15+); kept for the app to read
    // back, the bar draws the appearance in force.
    const std::shared_ptr<UINavigationBarAppearance>& scrollEdgeAppearance() const { return scrollEdge_; }
    void setScrollEdgeAppearance(std::shared_ptr<UINavigationBarAppearance> appearance);
    // The appearance in force (13+): the top item's, else the bar's; nothing before 13.
    std::shared_ptr<UINavigationBarAppearance> effectiveAppearance() const;
    void applyAppearance();

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void didMoveToWindow() override;
    void tintColorDidChange() override { refresh(); }

protected:
    void copyAppearanceValue(const UIAppearanceCustomizable& proxy, const std::string& key) override;

private:
    void itemsChanged();
    void refresh();
    std::vector<UIViewPtr> leftViews() const;
    std::vector<UIViewPtr> rightViews() const;

    std::vector<UINavigationItemPtr> items_;
    std::function<void()> backAction_;
    std::shared_ptr<_UIBarBackground> background_;
    std::shared_ptr<_UINavigationBarContentView> content_;
    std::shared_ptr<UILabel> title_;
    std::shared_ptr<_UIButtonBarButton> back_;
    std::vector<UIViewPtr> shown_;
    UIColorPtr barTint_;
    UIBarStyle barStyle_ = UIBarStyleDefault;
    Value::Dictionary titleAttributes_;
    std::optional<bool> translucent_;
    UIImagePtr backgroundImage_, shadowImage_;
    std::shared_ptr<UINavigationBarAppearance> standard_;
    std::shared_ptr<UINavigationBarAppearance> scrollEdge_;

public:
    NS_PROPERTY_ACCESSORS(bool, translucent, "N,GisTranslucent", isTranslucent, setTranslucent)
};
