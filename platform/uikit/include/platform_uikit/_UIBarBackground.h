#pragma once
// The background of a navigation or tab bar: a colour or image, a blur
// while the bar is translucent without an image, and the hairline shadow
// (_UIBarBackgroundShadowView, 1/scale high) along the edge that faces the
// content: above a tab bar, below a navigation bar. An empty shadow image
// hides the hairline.
//
// Main thread. Owned by its bar.

#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UIVisualEffectView.h>

#include <platform_net/UIImage.h>

#include <memory>

class _UIBarBackgroundShadowView : public UIImageView {
    NS_CLASS(_UIBarBackgroundShadowView, UIImageView)
};

class _UIBarBackground : public UIView {
    NS_CLASS(_UIBarBackground, UIView)
public:
    enum class Edge { Top, Bottom };
    struct Style {
        bool translucent = true;
        UIColorPtr barTintColor;
        UIColorPtr backgroundColor;  // an appearance's colour, over the bar tint
        UIImagePtr backgroundImage;
        UIImagePtr shadowImage;
        UIColorPtr shadowColor;  // an appearance's hairline colour; clear hides it
    };

    // Call apply once made (it adds the subviews).
    _UIBarBackground();
    // Where the hairline goes: Top for tab bars, Bottom for navigation bars.
    void setShadowEdge(Edge edge) { edge_ = edge; setNeedsLayout(); }
    void apply(const Style& style);
    const std::shared_ptr<_UIBarBackgroundShadowView>& shadowView() const { return shadow_; }
    const std::shared_ptr<UIVisualEffectView>& effectView() const { return effect_; }
    const std::shared_ptr<UIImageView>& imageView() const { return image_; }
    void layoutSubviews() override;

private:
    Edge edge_ = Edge::Top;
    std::shared_ptr<UIVisualEffectView> effect_;
    std::shared_ptr<UIImageView> image_;
    std::shared_ptr<_UIBarBackgroundShadowView> shadow_;
};
