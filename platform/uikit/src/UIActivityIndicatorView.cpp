#include <platform_uikit/UIActivityIndicatorView.h>

#include <cmath>

namespace {
constexpr const char* kSpinKey = "spin";
constexpr double kSpinPeriod = 1.0;  // seconds per turn
}  // namespace

UIActivityIndicatorView::UIActivityIndicatorView() : UIActivityIndicatorView(UIActivityIndicatorViewStyleWhite) {}

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style) : UIView(CGRectZero) {
    setActivityIndicatorViewStyle(style);
    setFrame(CGRect{CGPointZero, intrinsicContentSize()});
    setHidden(true);
    setUserInteractionEnabled(false);
}

UIActivityIndicatorView::UIActivityIndicatorView(CGRect frame) : UIView(frame) {
    setHidden(true);
    setUserInteractionEnabled(false);
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) {
    switch (style) {
        case UIActivityIndicatorViewStyleWhiteLarge:
        case UIActivityIndicatorViewStyleWhite:
        case UIActivityIndicatorViewStyleGray:
        case UIActivityIndicatorViewStyleMedium:
        case UIActivityIndicatorViewStyleLarge:
            style_ = style;
            break;
        default:
            style_ = UIActivityIndicatorViewStyleWhite;
    }
    setNeedsDisplay();
}

UIColorPtr UIActivityIndicatorView::color() const {
    if (color_) return color_;
    switch (style_) {
        case UIActivityIndicatorViewStyleGray:
            return UIColor::grayColor();
        case UIActivityIndicatorViewStyleMedium:
        case UIActivityIndicatorViewStyleLarge:
            return UIColor::systemGrayColor();
        default:
            return UIColor::whiteColor();
    }
}

void UIActivityIndicatorView::startAnimating() {
    if (animating_) return;
    announce("animating", [&] { animating_ = true; });
    setHidden(false);
    auto spin = CABasicAnimation::animationWithKeyPath("transform.rotation.z");
    spin->fromValue = Value(0.0);
    spin->toValue = Value(2 * M_PI);
    spin->duration = kSpinPeriod;
    spin->repeatCount = HUGE_VAL;
    layer()->addAnimation(spin, kSpinKey);
}

void UIActivityIndicatorView::stopAnimating() {
    if (!animating_) return;
    announce("animating", [&] { animating_ = false; });
    layer()->removeAnimationForKey(kSpinKey);
    if (hidesWhenStopped_) setHidden(true);
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

CGSize UIActivityIndicatorView::intrinsicContentSize() const {
    bool large = style_ == UIActivityIndicatorViewStyleWhiteLarge || style_ == UIActivityIndicatorViewStyleLarge;
    return large ? CGSizeMake(37, 37) : CGSizeMake(20, 20);
}
