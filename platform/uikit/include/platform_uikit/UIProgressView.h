#pragma once
// A progress bar: progress 0...1 (clamped), set with or without animation,
// observable as "progress"; default and bar styles, tint colours.
//
// Main thread.

#include <platform_uikit/UIView.h>

enum UIProgressViewStyle : int64_t { UIProgressViewStyleDefault = 0, UIProgressViewStyleBar = 1 };

class UIProgressView : public UIView {
    NS_CLASS(UIProgressView, UIView)
public:
    UIProgressView() : UIProgressView(UIProgressViewStyleDefault) {}
    explicit UIProgressView(UIProgressViewStyle style);
    explicit UIProgressView(CGRect frame) : UIView(frame) {}

    UIProgressViewStyle progressViewStyle() const { return style_; }
    void setProgressViewStyle(UIProgressViewStyle style) { style_ = style; }
    float progress() const { return progress_; }
    // The model value changes at once; an animated change also animates the bar.
    void setProgress(float progress, bool animated = false);
    // Whether the latest change asked for animation.
    bool lastChangeAnimated() const { return lastAnimated_; }
    const UIColorPtr& progressTintColor() const { return progressTint_; }
    void setProgressTintColor(UIColorPtr c) { progressTint_ = std::move(c); }
    const UIColorPtr& trackTintColor() const { return trackTint_; }
    void setTrackTintColor(UIColorPtr c) { trackTint_ = std::move(c); }
    // The filled part's layer (its width follows the progress).
    const CALayerPtr& barLayer() const { return bar_; }

    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;

private:
    void setProgressByKey(float progress) { setProgress(progress, false); }

public:
    NS_PROPERTY_ACCESSORS(float, progress, "N", progress, setProgressByKey)

private:
    UIProgressViewStyle style_ = UIProgressViewStyleDefault;
    float progress_ = 0;
    bool lastAnimated_ = false;
    UIColorPtr progressTint_, trackTint_;
    CALayerPtr bar_ = CALayer::layer();
};
