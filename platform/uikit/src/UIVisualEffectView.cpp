#include <platform_uikit/UIVisualEffectView.h>

std::shared_ptr<UIBlurEffect> UIBlurEffect::effectWithStyle(UIBlurEffectStyle style) {
    auto effect = std::make_shared<UIBlurEffect>();
    effect->style_ = style;
    return effect;
}

std::shared_ptr<UIVibrancyEffect> UIVibrancyEffect::effectForBlurEffect(std::shared_ptr<UIBlurEffect> blur) {
    auto effect = std::make_shared<UIVibrancyEffect>();
    effect->blur_ = std::move(blur);
    return effect;
}

UIVisualEffectView::UIVisualEffectView(std::shared_ptr<UIVisualEffect> effect) : effect_(std::move(effect)) {
    content_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
}

std::shared_ptr<UIView> UIVisualEffectView::contentView() {
    if (!content_->superview()) {
        content_->setFrame(bounds());
        addSubview(content_);
    }
    return content_;
}

void UIVisualEffectView::layoutSubviews() { content_->setFrame(bounds()); }
