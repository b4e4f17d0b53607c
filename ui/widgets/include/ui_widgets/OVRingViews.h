#pragma once
// The drawing pieces of the progress overlay: the endlessly turning spinner
// (a ring with a fading tail, masked by the "angle-mask" image), the ring
// whose drawn length shows a progress, and the dimming radial gradient.
// A ring's shape layer exists while the view is in a superview; removal drops
// it and the next placement (or a radius change while placed) rebuilds it.
// A rebuilt layer that would draw what the view's last layer drew takes that
// image rather than rasterising the ring again.
//
// Main thread.

#include <platform_uikit/CALayer.h>
#include <platform_uikit/CAShapeLayer.h>
#include <platform_uikit/UIView.h>

#include <platform_net/UIImage.h>

#include <array>
#include <memory>

// What both ring views share: geometry from the radius and thickness, and the layer's life.
class OVRingView : public UIView {
    NS_CLASS(OVRingView, UIView)
public:
    OVRingView();
    ~OVRingView() override;
    double radius() const { return radius_; }
    void setRadius(double radius);
    double strokeThickness() const { return thickness_; }
    void setStrokeThickness(double thickness);
    const UIColorPtr& strokeColor() const { return strokeColor_; }
    void setStrokeColor(UIColorPtr color);
    // 2c × 2c with c = radius + thickness / 2 + 5, whatever is offered.
    CGSize sizeThatFits(CGSize size) const override;
    void setRingFrame(CGRect frame);

    void willMoveToSuperview(UIView* newSuperview) override;
    // Adds the layer (built when needed) and centres it in the view.
    void layoutAnimatedLayer();
    // The shape layer, built on first use.
    const std::shared_ptr<CAShapeLayer>& animatedLayer();
    bool hasAnimatedLayer() const { return layer_ != nullptr; }

protected:
    // Builds the shape layer with the current geometry (and, for the spinner, its mask and animations).
    virtual std::shared_ptr<CAShapeLayer> buildLayer() const = 0;
    std::shared_ptr<CAShapeLayer> baseShapeLayer(double startAngle, double endAngle) const;

private:
    struct Rendering;
    class ShapeLayer;
    void dropLayer();
    double radius_ = 0, thickness_ = 0;
    UIColorPtr strokeColor_;
    std::shared_ptr<CAShapeLayer> layer_;
    std::shared_ptr<Rendering> lastRendering_;
    // The arc last built and what for (centre, radius, start and end angle): every show
    // rebuilds the layer, which gets a copy of the arc.
    mutable std::shared_ptr<const CGPath> arc_;
    mutable std::array<double, 4> arcKey_{};
};

class OVIndefiniteAnimatedView : public OVRingView {
    NS_CLASS(OVIndefiniteAnimatedView, OVRingView)
public:
    const std::shared_ptr<CAShapeLayer>& indefiniteAnimatedLayer() { return animatedLayer(); }

protected:
    std::shared_ptr<CAShapeLayer> buildLayer() const override;

private:
    mutable UIImagePtr maskImage_;  // the "angle-mask" image, read on the first build
    mutable bool maskLoaded_ = false;
};

class OVProgressAnimatedView : public OVRingView {
    NS_CLASS(OVProgressAnimatedView, OVRingView)
public:
    double strokeEnd() const { return strokeEnd_; }
    // Applied to an existing layer only; a new layer starts at the default end of 1.
    void setStrokeEnd(double end);
    const std::shared_ptr<CAShapeLayer>& ringAnimatedLayer() { return animatedLayer(); }

protected:
    std::shared_ptr<CAShapeLayer> buildLayer() const override;

private:
    double strokeEnd_ = 0;
};

// Black from alpha 0 at the centre to 0.75 at min(width, height) and beyond.
class OVRadialGradientLayer : public CALayer {
    NS_CLASS(OVRadialGradientLayer, CALayer)
public:
    CGPoint gradientCenter() const { return center_; }
    void setGradientCenter(CGPoint center) { center_ = center; }
    bool drawsContent() const override { return true; }
    void drawInContext(CGContext& context) override;

private:
    CGPoint center_{};
};
