#include <platform_uikit/UIImageView.h>

#include <platform_uikit/UIGraphics.h>

#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSTimer.h>

#include <algorithm>

UIImageView::UIImageView() : UIImageView(CGRectZero) {}

UIImageView::UIImageView(CGRect frame) : UIView(frame) { setUserInteractionEnabled(false); }

UIImageView::UIImageView(UIImagePtr image) : UIImageView(CGRectZero) {
    if (image) setFrame(CGRect{CGPointZero, image->size()});
    image_ = std::move(image);
}

void UIImageView::setImage(UIImagePtr image) {
    if (image == image_) return;
    announce("image", [&] { image_ = std::move(image); });
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void UIImageView::setHighlightedImage(UIImagePtr image) {
    highlightedImage_ = std::move(image);
    if (highlighted_) setNeedsDisplay();
}

void UIImageView::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void UIImageView::startAnimating() {
    if (animationImages_.empty() || timer_) return;
    double perFrame = (animationDuration_ > 0 ? animationDuration_ : animationImages_.size() / 30.0) /
                      static_cast<double>(animationImages_.size());
    frame_ = 0;
    cycles_ = 0;
    std::weak_ptr<UIImageView> weak = std::static_pointer_cast<UIImageView>(shared_from_this());
    timer_ = NSTimer::timerWithTimeInterval(perFrame, true, [weak](auto&) {
        if (auto self = weak.lock()) self->advanceFrame();
    });
    NSRunLoop::mainRunLoop()->addTimer(timer_, NSRunLoopCommonModes);
    setNeedsDisplay();
}

void UIImageView::advanceFrame() {
    if (++frame_ >= animationImages_.size()) {
        frame_ = 0;
        if (animationRepeatCount_ > 0 && ++cycles_ >= animationRepeatCount_) return stopAnimating();
    }
    setNeedsDisplay();
}

void UIImageView::stopAnimating() {
    if (!timer_) return;
    timer_->invalidate();
    timer_.reset();
    frame_ = 0;
    setNeedsDisplay();
}

UIImagePtr UIImageView::displayedImage() const {
    if (timer_ && frame_ < animationImages_.size()) return animationImages_[frame_];
    if (highlighted_ && highlightedImage_) return highlightedImage_;
    return image_;
}

UIImagePtr UIImageView::renderedImage() const {
    auto image = displayedImage();
    if (!image || !image->CGImage() || !image->isTemplate()) return image;
    // Template images keep their alpha and take the tint.
    auto tint = tintColor()->rgba8();
    auto source = image->CGImage();
    std::vector<uint8_t> rgba(source->pixels());
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        rgba[i] = tint[0];
        rgba[i + 1] = tint[1];
        rgba[i + 2] = tint[2];
        rgba[i + 3] = static_cast<uint8_t>(rgba[i + 3] * tint[3] / 255);
    }
    auto tinted = std::make_shared<CGImage>(source->width(), source->height(), 8, kCGColorSpaceModelRGB,
                                            kCGImageAlphaLast, std::move(rgba));
    return UIImage::imageWithCGImage(tinted, image->scale(), image->imageOrientation());
}

CGSize UIImageView::sizeThatFits(CGSize) const { return intrinsicContentSize(); }

CGSize UIImageView::intrinsicContentSize() const {
    auto image = displayedImage();
    return image ? image->size() : CGSizeMake(-1, -1);
}

void UIImageView::drawRect(CGRect rect) {
    auto image = renderedImage();
    auto* context = UIGraphicsGetCurrentContext();
    if (!image || !context) return;
    context->saveGState();
    if (clipsToBounds()) context->clipToRect(rect);
    context->drawImage(UIContentModeRect(contentMode(), image->size(), bounds()), image->CGImage());
    context->restoreGState();
}

CGRect UIContentModeRect(UIViewContentMode mode, CGSize size, CGRect b) {
    double w = size.width, h = size.height;
    if (w <= 0 || h <= 0) return b;
    switch (mode) {
        case UIViewContentModeScaleAspectFit:
        case UIViewContentModeScaleAspectFill: {
            double sx = b.size.width / w, sy = b.size.height / h;
            double s = mode == UIViewContentModeScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
            return CGRectMake(CGRectGetMidX(b) - w * s / 2, CGRectGetMidY(b) - h * s / 2, w * s, h * s);
        }
        case UIViewContentModeCenter:
            return CGRectMake(CGRectGetMidX(b) - w / 2, CGRectGetMidY(b) - h / 2, w, h);
        case UIViewContentModeTop:
            return CGRectMake(CGRectGetMidX(b) - w / 2, b.origin.y, w, h);
        case UIViewContentModeBottom:
            return CGRectMake(CGRectGetMidX(b) - w / 2, CGRectGetMaxY(b) - h, w, h);
        case UIViewContentModeLeft:
            return CGRectMake(b.origin.x, CGRectGetMidY(b) - h / 2, w, h);
        case UIViewContentModeRight:
            return CGRectMake(CGRectGetMaxX(b) - w, CGRectGetMidY(b) - h / 2, w, h);
        default:
            return b;
    }
}
