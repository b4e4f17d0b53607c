#include <ui_widgets/OVRingViews.h>

#include "WidgetImages.h"

#include <platform_uikit/CAAnimation.h>
#include <platform_uikit/CGContext.h>
#include <platform_uikit/UIBezierPath.h>
#include <platform_uikit/UIScreen.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

void OVRingView::setRadius(double radius) {
    if (radius == radius_) return;
    radius_ = radius;
    dropLayer();
    if (superview()) layoutAnimatedLayer();
}

void OVRingView::setStrokeThickness(double thickness) {
    thickness_ = thickness;
    // An unchanged value leaves the drawn layer alone (the overlay re-styles on every access).
    if (layer_ && layer_->lineWidth() != thickness) layer_->setLineWidth(thickness);
}

void OVRingView::setStrokeColor(UIColorPtr color) {
    strokeColor_ = std::move(color);
    if (!layer_) return;
    const auto& current = layer_->strokeColor();
    bool same = current && strokeColor_ && current->rgba() == strokeColor_->rgba();
    if (!same) layer_->setStrokeColor(strokeColor_);
}

CGSize OVRingView::sizeThatFits(CGSize) const {
    double side = 2 * (radius_ + thickness_ / 2 + 5);
    return CGSizeMake(side, side);
}

void OVRingView::setRingFrame(CGRect frame) {
    if (frame == this->frame()) return;
    setFrame(frame);
    if (superview()) layoutAnimatedLayer();
}

void OVRingView::willMoveToSuperview(UIView* newSuperview) {
    UIView::willMoveToSuperview(newSuperview);
    if (newSuperview)
        layoutAnimatedLayer();
    else
        dropLayer();
}

void OVRingView::layoutAnimatedLayer() {
    auto& shape = animatedLayer();
    if (shape->superlayer() != layer()) layer()->addSublayer(shape);
    CGRect b = bounds();
    shape->setPosition(CGPointMake(b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2));
}

const std::shared_ptr<CAShapeLayer>& OVRingView::animatedLayer() {
    if (!layer_) layer_ = buildLayer();
    return layer_;
}

void OVRingView::dropLayer() {
    if (!layer_) return;
    layer_->removeFromSuperlayer();
    layer_.reset();
}

std::shared_ptr<CAShapeLayer> OVRingView::baseShapeLayer(double startAngle, double endAngle) const {
    double c = radius_ + thickness_ / 2 + 5;
    auto shape = CAShapeLayer::layer();
    shape->setContentsScale(UIScreen::mainScreen()->scale());
    shape->setFrame(CGRectMake(0, 0, 2 * c, 2 * c));
    shape->setFillColor(UIColor::clearColor());
    shape->setStrokeColor(strokeColor_);
    shape->setLineWidth(thickness_);
    shape->setLineCap(kCALineCapRound);
    shape->setLineJoin(kCALineJoinBevel);
    auto path = UIBezierPath::bezierPathWithArcCenter(CGPointMake(c, c), radius_, startAngle, endAngle, true);
    shape->setPath(path->cgPath());
    return shape;
}

std::shared_ptr<CAShapeLayer> OVIndefiniteAnimatedView::buildLayer() const {
    auto shape = baseShapeLayer(kPi * 3 / 2, kPi / 2 + kPi * 5);
    auto mask = CALayer::layer();
    auto bundle = NSBundle::bundleForClass(OVIndefiniteAnimatedView::staticClassName());
    auto path = bundle ? bundle->pathForResource("OVProgressHUD", "bundle") : std::nullopt;
    if (auto image = widgets_detail::imageFromBundle(path ? NSBundle::bundleWithPath(*path) : nullptr, "angle-mask", "png"))
        mask->setContents(Value(image));
    mask->setFrame(shape->bounds());
    shape->setMask(mask);

    auto linear = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear);
    auto rotate = CABasicAnimation::animationWithKeyPath("transform.rotation");
    rotate->fromValue = mask->animatableValue("transform.rotation");
    rotate->toValue = Value(2 * kPi);
    rotate->duration = 1.0;
    rotate->timingFunction = linear;
    rotate->removedOnCompletion = false;
    rotate->repeatCount = HUGE_VAL;
    rotate->fillMode = kCAFillModeForwards;
    rotate->autoreverses = false;
    mask->addAnimation(rotate, "rotate");

    auto group = std::make_shared<CAAnimationGroup>();
    group->duration = 1.0;
    group->repeatCount = HUGE_VAL;
    group->removedOnCompletion = false;
    group->timingFunction = linear;
    auto start = CABasicAnimation::animationWithKeyPath("strokeStart");
    start->fromValue = Value(0.015);
    start->toValue = Value(0.515);
    auto end = CABasicAnimation::animationWithKeyPath("strokeEnd");
    end->fromValue = Value(0.485);
    end->toValue = Value(0.985);
    group->animations = {start, end};
    shape->addAnimation(group, "progress");
    return shape;
}

void OVProgressAnimatedView::setStrokeEnd(double end) {
    strokeEnd_ = end;
    if (hasAnimatedLayer()) animatedLayer()->setStrokeEnd(end);
}

std::shared_ptr<CAShapeLayer> OVProgressAnimatedView::buildLayer() const {
    return baseShapeLayer(-kPi / 2, kPi * 3 / 2);
}

void OVRadialGradientLayer::drawInContext(CGContext& context) {
    auto gradient = CGGradient::withColors({UIColor::colorWithWhite(0, 0), UIColor::colorWithWhite(0, 0.75)}, {0, 1});
    CGRect b = bounds();
    double radius = double(std::min(float(b.size.width), float(b.size.height)));
    context.drawRadialGradient(*gradient, center_, 0, center_, radius, kCGGradientDrawsAfterEndLocation);
}
