#pragma once
// A view that shows an image (or its highlighted image), scaled by its
// content mode, or cycles through animation images on the main run loop.
// Template images take the view's tint colour.
//
// Main thread.

#include <platform_uikit/UIView.h>

#include <platform_net/UIImage.h>

#include <memory>
#include <vector>

class NSTimer;

class UIImageView : public UIView {
    NS_CLASS(UIImageView, UIView)
public:
    UIImageView();
    explicit UIImageView(CGRect frame);
    explicit UIImageView(UIImagePtr image);

    const UIImagePtr& image() const { return image_; }
    void setImage(UIImagePtr image);
    const UIImagePtr& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(UIImagePtr image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);

    const std::vector<UIImagePtr>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<UIImagePtr> images) { animationImages_ = std::move(images); }
    // 0: one thirtieth of a second per image.
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds; }
    // 0: for ever.
    int64_t animationRepeatCount() const { return animationRepeatCount_; }
    void setAnimationRepeatCount(int64_t count) { animationRepeatCount_ = count; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return timer_ != nullptr; }
    // What the view shows now: the current animation frame, else the
    // (highlighted) image.
    UIImagePtr displayedImage() const;

    // The image as shown: template images filled with the tint colour.
    UIImagePtr renderedImage() const;

    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    bool drawsContent() const override { return displayedImage() != nullptr; }
    void drawRect(CGRect rect) override;
    void tintColorDidChange() override { setNeedsDisplay(); }

    NS_PROPERTY_ACCESSORS(UIImagePtr, image, "&,N", image, setImage)

private:
    void advanceFrame();
    UIImagePtr image_, highlightedImage_;
    bool highlighted_ = false;
    std::vector<UIImagePtr> animationImages_;
    double animationDuration_ = 0;
    int64_t animationRepeatCount_ = 0;
    std::shared_ptr<NSTimer> timer_;
    std::size_t frame_ = 0;
    int64_t cycles_ = 0;
};

// Where an image of `imageSize` goes in `bounds` for a content mode.
CGRect UIContentModeRect(UIViewContentMode mode, CGSize imageSize, CGRect bounds);
