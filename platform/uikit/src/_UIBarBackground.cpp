#include <platform_uikit/_UIBarBackground.h>

#include <platform_uikit/UIScreen.h>

_UIBarBackground::_UIBarBackground()
    : effect_(std::make_shared<UIVisualEffectView>(UIBlurEffect::effectWithStyle(UIBlurEffectStyleSystemChromeMaterial))),
      image_(std::make_shared<UIImageView>()),
      shadow_(std::make_shared<_UIBarBackgroundShadowView>()) {
    setUserInteractionEnabled(false);
}

void _UIBarBackground::apply(const Style& style) {
    // Subviews join here, not in the constructor (the view is not shared yet there).
    if (!shadow_->superview()) {
        addSubview(effect_);
        addSubview(image_);
        addSubview(shadow_);
    }
    const bool hasImage = style.backgroundImage != nullptr;
    image_->setImage(style.backgroundImage);
    image_->setHidden(!hasImage);
    effect_->setHidden(hasImage || !style.translucent || style.backgroundColor);
    UIColorPtr colour = style.backgroundColor ? style.backgroundColor : style.barTintColor;
    if (!colour && !style.translucent && !hasImage) colour = UIColor::whiteColor();
    if (colour && !style.translucent && !style.backgroundColor) colour = colour->colorWithAlphaComponent(1);
    setBackgroundColor(hasImage ? nullptr : colour);

    const bool emptyShadowImage =
        style.shadowImage && (style.shadowImage->size().width <= 0 || style.shadowImage->size().height <= 0);
    shadow_->setImage(emptyShadowImage ? nullptr : style.shadowImage);
    UIColorPtr line = style.shadowColor ? style.shadowColor : UIColor::colorWithWhite(0, 0.3);
    shadow_->setBackgroundColor(style.shadowImage ? nullptr : line);
    shadow_->setHidden(emptyShadowImage || (style.shadowColor && style.shadowColor->alpha() <= 0));
}

void _UIBarBackground::layoutSubviews() {
    CGRect b = bounds();
    effect_->setFrame(b);
    image_->setFrame(b);
    const double hairline = 1.0 / UIScreen::mainScreen()->scale();
    const double y = edge_ == Edge::Top ? -hairline : b.size.height;
    shadow_->setFrame(CGRectMake(0, y, b.size.width, hairline));
}
