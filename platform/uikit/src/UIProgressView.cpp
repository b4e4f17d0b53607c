#include <platform_uikit/UIProgressView.h>

#include <algorithm>
#include <cmath>

UIProgressView::UIProgressView(UIProgressViewStyle style) : UIView(CGRectMake(0, 0, 150, 2)), style_(style) {}

void UIProgressView::setProgress(float progress, bool animated) {
    if (std::isnan(progress)) progress = 0;
    progress = std::clamp(progress, 0.f, 1.f);
    lastAnimated_ = animated;
    announce("progress", [&] { progress_ = progress; });
    if (!bar_->superlayer()) layer()->addSublayer(bar_);
    CGRect b = bounds();
    CGRect target = CGRectMake(0, 0, b.size.width * progress_, b.size.height);
    if (animated) {
        auto a = CABasicAnimation::animationWithKeyPath("bounds");
        a->fromValue = Value(bar_->presentationLayer()->bounds());
        a->toValue = Value(CGRect{CGPointZero, target.size});
        bar_->setFrame(target);
        a->duration = 0.25;
        bar_->addAnimation(a, "progress");
    } else {
        bar_->setFrame(target);
    }
}

CGSize UIProgressView::sizeThatFits(CGSize size) const {
    return CGSizeMake(size.width > 0 ? size.width : bounds().size.width, style_ == UIProgressViewStyleBar ? 2.5 : 2);
}

void UIProgressView::layoutSubviews() {
    CGRect b = bounds();
    bar_->setFrame(CGRectMake(0, 0, b.size.width * progress_, b.size.height));
}
