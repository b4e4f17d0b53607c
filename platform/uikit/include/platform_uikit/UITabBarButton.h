#pragma once
// The views a tab bar makes for each item, under the platform's own class
// names (code that decorates tab bars finds them by name): the button, its
// image view and label, the selection indicator and the badge. From 13 the
// image and label sit in a UIVisualEffectView's content view; before, in the
// button itself. A label exists only while the item has a title.
//
// Layout inside a button of the bar's content height (49): the image centred
// horizontally with its centre 19 points below the top, moved by the item's
// image insets; the title below it, bottom 3 points above the content's
// bottom, moved by the item's title offset; the badge at the image's top
// right.
//
// Main thread. Owned by the tab bar; a button does not hold its item.

#include <platform_uikit/UIControl.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UITabBarItem.h>
#include <platform_uikit/UIVisualEffectView.h>

#include <memory>

class UITabBarButtonImageView : public UIImageView {
    NS_CLASS(UITabBarButtonImageView, UIImageView)
};

class UITabBarButtonLabel : public UILabel {
    NS_CLASS(UITabBarButtonLabel, UILabel)
};

class UITabBarSelectionIndicatorView : public UIImageView {
    NS_CLASS(UITabBarSelectionIndicatorView, UIImageView)
};

// A badge: its text on a coloured rounded rectangle at least 18 points wide.
class _UIBadgeView : public UIView {
    NS_CLASS(_UIBadgeView, UIView)
public:
    static constexpr double kHeight = 18;
    _UIBadgeView();
    void setText(const std::string& text);
    std::string text() const { return label_->text(); }
    const std::shared_ptr<UILabel>& label() const { return label_; }
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;

private:
    std::shared_ptr<UILabel> label_;
};

class UITabBarButton : public UIControl {
    NS_CLASS(UITabBarButton, UIControl)
public:
    static constexpr double kImageCenterY = 19;
    static constexpr double kTitleBottomMargin = 3;
    static constexpr double kTitleFontSize = 10;

    UITabBarButton();

    // What the button shows, read from its item and bar.
    struct Look {
        UIColorPtr selectedTint;
        UIColorPtr unselectedTint;
        UIImagePtr selectionIndicatorImage;
    };
    void showItem(const UITabBarItemPtr& item, const Look& look);
    UITabBarItemPtr item() const { return item_.lock(); }

    void setSelected(bool selected) override;
    void layoutSubviews() override;

    const std::shared_ptr<UITabBarButtonImageView>& imageView() const { return imageView_; }
    // Nothing while the item has no title.
    std::shared_ptr<UITabBarButtonLabel> label() const { return label_; }
    // Nothing while the item has no badge.
    std::shared_ptr<_UIBadgeView> badgeView() const { return badge_; }
    // Nothing before 13.
    const std::shared_ptr<UIVisualEffectView>& effectView() const { return effect_; }
    std::shared_ptr<UITabBarSelectionIndicatorView> selectionIndicator() const { return indicator_; }

private:
    void refresh();
    UIView& contentHost();

    std::weak_ptr<UITabBarItem> item_;
    Look look_;
    std::shared_ptr<UIVisualEffectView> effect_;
    std::shared_ptr<UITabBarButtonImageView> imageView_;
    std::shared_ptr<UITabBarButtonLabel> label_;
    std::shared_ptr<_UIBadgeView> badge_;
    std::shared_ptr<UITabBarSelectionIndicatorView> indicator_;
};
