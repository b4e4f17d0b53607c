#include <platform_uikit/UITabBarButton.h>

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIFont.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kBadgeHorizontalPadding = 12;
constexpr double kBadgeFontSize = 13;
}  // namespace

_UIBadgeView::_UIBadgeView() : label_(std::make_shared<UILabel>()) {
    setUserInteractionEnabled(false);
    setBackgroundColor(UIColor::systemRedColor());
    layer()->setCornerRadius(kHeight / 2);
    label_->setFont(UIFont::systemFontOfSize(kBadgeFontSize));
    label_->setTextColor(UIColor::whiteColor());
    label_->setTextAlignment(NSTextAlignmentCenter);
}

void _UIBadgeView::setText(const std::string& text) {
    if (!label_->superview()) addSubview(label_);
    label_->setText(text);
    CGSize size = sizeThatFits(CGSizeZero);
    CGRect f = frame();
    setFrame(CGRectMake(f.origin.x, f.origin.y, size.width, size.height));
    setNeedsLayout();
}

CGSize _UIBadgeView::sizeThatFits(CGSize) const {
    double textWidth = label_->text().empty() ? 0 : label_->sizeThatFits(CGSizeMake(1e6, kHeight)).width;
    return CGSizeMake(std::max(kHeight, std::ceil(textWidth) + kBadgeHorizontalPadding), kHeight);
}

void _UIBadgeView::layoutSubviews() { label_->setFrame(bounds()); }

UITabBarButton::UITabBarButton() : imageView_(std::make_shared<UITabBarButtonImageView>()) {
    if (UIKitIsAvailable(13)) {
        effect_ = std::make_shared<UIVisualEffectView>();
        effect_->setUserInteractionEnabled(false);
    }
    imageView_->setUserInteractionEnabled(false);
}

UIView& UITabBarButton::contentHost() { return effect_ ? *effect_->contentView() : static_cast<UIView&>(*this); }

void UITabBarButton::showItem(const UITabBarItemPtr& item, const Look& look) {
    // Subviews join here, not in the constructor (the button is not shared yet there).
    if (!imageView_->superview()) {
        if (effect_) {
            addSubview(effect_);
            effect_->contentView()->addSubview(imageView_);
        } else {
            addSubview(imageView_);
        }
    }
    item_ = item;
    look_ = look;
    if (item) item->setItemView(std::static_pointer_cast<UIView>(shared_from_this()));
    refresh();
}

void UITabBarButton::setSelected(bool selected) {
    const bool changed = selected != isSelected();
    UIControl::setSelected(selected);
    if (changed) refresh();
}

void UITabBarButton::refresh() {
    auto item = item_.lock();
    const bool selected = isSelected();
    UIColorPtr tint = selected ? look_.selectedTint : look_.unselectedTint;

    imageView_->setImage(item ? (selected ? item->selectedImage() : item->image()) : nullptr);
    imageView_->setTintColor(tint);

    if (item && item->title()) {
        if (!label_) {
            label_ = std::make_shared<UITabBarButtonLabel>();
            label_->setTextAlignment(NSTextAlignmentCenter);
            label_->setUserInteractionEnabled(false);
            contentHost().addSubview(label_);
        }
        const Value::Dictionary attributes =
            item->titleTextAttributesForState(selected ? UIControlStateSelected : UIControlStateNormal);
        auto style = UIBarTitleStyle::fromAttributes(attributes);
        label_->setFont(style.font ? style.font : UIFont::systemFontOfSize(kTitleFontSize));
        label_->setTextColor(style.colour ? style.colour : tint);
        label_->setText(*item->title());
    } else if (label_) {
        label_->removeFromSuperview();
        label_.reset();
    }

    if (item && item->badgeValue()) {
        if (!badge_) {
            badge_ = std::make_shared<_UIBadgeView>();
            addSubview(badge_);
        }
        if (item->badgeColor()) badge_->setBackgroundColor(item->badgeColor());
        badge_->setText(*item->badgeValue());
        bringSubviewToFront(badge_);
    } else if (badge_) {
        badge_->removeFromSuperview();
        badge_.reset();
    }

    if (look_.selectionIndicatorImage && selected) {
        if (!indicator_) {
            indicator_ = std::make_shared<UITabBarSelectionIndicatorView>();
            insertSubviewAtIndex(indicator_, 0);
        }
        indicator_->setImage(look_.selectionIndicatorImage);
    } else if (indicator_) {
        indicator_->removeFromSuperview();
        indicator_.reset();
    }
    setEnabled(!item || item->isEnabled());
    setNeedsLayout();
    layoutSubviews();
}

void UITabBarButton::layoutSubviews() {
    const CGRect b = bounds();
    if (effect_) effect_->setFrame(b);
    if (indicator_) indicator_->setFrame(b);
    auto item = item_.lock();

    CGSize imageSize = imageView_->image() ? imageView_->image()->size() : CGSizeZero;
    CGRect image = CGRectMake(b.size.width / 2 - imageSize.width / 2, kImageCenterY - imageSize.height / 2,
                              imageSize.width, imageSize.height);
    if (item) image = UIEdgeInsetsInsetRect(image, item->imageInsets());
    imageView_->setFrame(image);

    if (label_) {
        CGSize fit = label_->sizeThatFits(CGSizeMake(b.size.width, 1e6));
        double width = std::min(b.size.width, std::ceil(fit.width));
        double height = std::ceil(fit.height);
        UIOffset offset = item ? item->titlePositionAdjustment() : UIOffsetZero;
        label_->setFrame(CGRectMake(b.size.width / 2 - width / 2 + offset.horizontal,
                                    std::min(b.size.height, 49.0) - kTitleBottomMargin - height + offset.vertical,
                                    width, height));
    }
    if (badge_) {
        CGRect f = badge_->frame();
        double left = CGRectGetMidX(image) + 6;
        badge_->setFrame(CGRectMake(std::min(left, b.size.width - f.size.width), 2, f.size.width, f.size.height));
    }
}
