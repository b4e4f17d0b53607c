#pragma once
// A layer that draws a path: filled (non-zero or even-odd) and stroked with
// a width, cap and join, the stroke running from strokeStart to strokeEnd
// (fractions of the path's length), all animatable by key.
//
// Main thread.

#include <platform_uikit/CALayer.h>
#include <platform_uikit/CGContext.h>

#include <memory>
#include <string>

using CAShapeLayerFillRule = std::string;
extern const CAShapeLayerFillRule kCAFillRuleNonZero;
extern const CAShapeLayerFillRule kCAFillRuleEvenOdd;
using CAShapeLayerLineCap = std::string;
extern const CAShapeLayerLineCap kCALineCapButt;
extern const CAShapeLayerLineCap kCALineCapRound;
extern const CAShapeLayerLineCap kCALineCapSquare;
using CAShapeLayerLineJoin = std::string;
extern const CAShapeLayerLineJoin kCALineJoinMiter;
extern const CAShapeLayerLineJoin kCALineJoinRound;
extern const CAShapeLayerLineJoin kCALineJoinBevel;

class CAShapeLayer : public CALayer {
    NS_CLASS(CAShapeLayer, CALayer)
public:
    static std::shared_ptr<CAShapeLayer> layer() { return std::make_shared<CAShapeLayer>(); }

    const std::shared_ptr<CGPath>& path() const { return path_; }
    void setPath(std::shared_ptr<CGPath> path);
    // Default black; null fills nothing.
    const UIColorPtr& fillColor() const { return fillColor_; }
    void setFillColor(UIColorPtr color);
    // Default none.
    const UIColorPtr& strokeColor() const { return strokeColor_; }
    void setStrokeColor(UIColorPtr color);
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width);
    const CAShapeLayerLineCap& lineCap() const { return lineCap_; }
    void setLineCap(CAShapeLayerLineCap cap);
    const CAShapeLayerLineJoin& lineJoin() const { return lineJoin_; }
    void setLineJoin(CAShapeLayerLineJoin join);
    const CAShapeLayerFillRule& fillRule() const { return fillRule_; }
    void setFillRule(CAShapeLayerFillRule rule);
    // Clamped to 0...1.
    double strokeStart() const { return strokeStart_; }
    void setStrokeStart(double start);
    double strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(double end);

    // The part of `path` between two fractions of its length.
    static CGPath subpath(const CGPath& path, double start, double end);

    bool drawsContent() const override { return path_ != nullptr; }
    void drawInContext(CGContext& context) override;
    Value animatableValue(const std::string& keyPath) const override;
    bool setAnimatableValue(const std::string& keyPath, const Value& value) override;

protected:
    CALayerPtr makeCopy() const override;

private:
    std::shared_ptr<CGPath> path_;
    UIColorPtr fillColor_ = UIColor::blackColor();
    UIColorPtr strokeColor_;
    double lineWidth_ = 1;
    CAShapeLayerLineCap lineCap_ = kCALineCapButt;
    CAShapeLayerLineJoin lineJoin_ = kCALineJoinMiter;
    CAShapeLayerFillRule fillRule_ = kCAFillRuleNonZero;
    double strokeStart_ = 0, strokeEnd_ = 1;
};
