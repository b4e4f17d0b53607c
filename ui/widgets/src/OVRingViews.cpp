#include <ui_widgets/OVRingViews.h>

#include "WidgetImages.h"

#include <platform_uikit/CAAnimation.h>
#include <platform_uikit/CGContext.h>
#include <platform_uikit/UIBezierPath.h>
#include <platform_uikit/UIScreen.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

namespace {
constexpr double kPi = 3.14159265358979323846;

std::optional<std::array<double, 4>> colorKey(const UIColorPtr& color) {
    if (!color) return std::nullopt;
    return color->rgba();
}

bool samePath(const std::shared_ptr<CGPath>& a, const std::shared_ptr<CGPath>& b) {
    if (!a || !b) return a == b;
    const auto& x = a->subpaths();
    const auto& y = b->subpaths();
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i].closed != y[i].closed || x[i].points != y[i].points) return false;
    return true;
}
}  // namespace

// Everything a ring layer's drawing depends on, and the image it gave.
struct OVRingView::Rendering {
    CGSize size{};
    double scale = 0;
    std::shared_ptr<CGPath> path;
    std::optional<std::array<double, 4>> fill, stroke;
    double lineWidth = 0, strokeStart = 0, strokeEnd = 0;
    std::string lineCap, lineJoin, fillRule;
    Value contents;

    static Rendering of(const CAShapeLayer& layer) {
        Rendering r;
        r.size = layer.bounds().size;
        r.scale = layer.contentsScale();
        r.path = layer.path();
        r.fill = colorKey(layer.fillColor());
        r.stroke = colorKey(layer.strokeColor());
        r.lineWidth = layer.lineWidth();
        r.strokeStart = layer.strokeStart();
        r.strokeEnd = layer.strokeEnd();
        r.lineCap = layer.lineCap();
        r.lineJoin = layer.lineJoin();
        r.fillRule = layer.fillRule();
        return r;
    }
    bool drawsLike(const Rendering& o) const {
        return size == o.size && scale == o.scale && fill == o.fill && stroke == o.stroke &&
               lineWidth == o.lineWidth && strokeStart == o.strokeStart && strokeEnd == o.strokeEnd &&
               lineCap == o.lineCap && lineJoin == o.lineJoin && fillRule == o.fillRule && samePath(path, o.path);
    }
};

// The ring's shape layer: a display whose inputs match the view's last
// rendering takes that image instead of rasterising the ring again (the
// spinner's layer is rebuilt every time the overlay shows it).
class OVRingView::ShapeLayer : public CAShapeLayer {
public:
    explicit ShapeLayer(std::shared_ptr<Rendering> last) : last_(std::move(last)) {}

    void display() override {
        auto now = Rendering::of(*this);
        if (last_->contents.isObject() && now.drawsLike(*last_)) {
            reusing_ = true;
            CAShapeLayer::display();  // clears the request without drawing
            reusing_ = false;
            setContents(last_->contents);
            return;
        }
        CAShapeLayer::display();
        now.contents = contents();
        *last_ = std::move(now);
    }
    bool drawsContent() const override { return !reusing_ && CAShapeLayer::drawsContent(); }

private:
    std::shared_ptr<Rendering> last_;
    bool reusing_ = false;
};

OVRingView::OVRingView() : lastRendering_(std::make_shared<Rendering>()) {}
OVRingView::~OVRingView() = default;

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
    auto shape = std::make_shared<ShapeLayer>(lastRendering_);
    shape->setContentsScale(UIScreen::mainScreen()->scale());
    shape->setFrame(CGRectMake(0, 0, 2 * c, 2 * c));
    shape->setFillColor(UIColor::clearColor());
    shape->setStrokeColor(strokeColor_);
    shape->setLineWidth(thickness_);
    shape->setLineCap(kCALineCapRound);
    shape->setLineJoin(kCALineJoinBevel);
    const std::array<double, 4> key{c, radius_, startAngle, endAngle};
    if (!arc_ || key != arcKey_) {
        arc_ = UIBezierPath::bezierPathWithArcCenter(CGPointMake(c, c), radius_, startAngle, endAngle, true)->cgPath();
        arcKey_ = key;
    }
    shape->setPath(std::make_shared<CGPath>(*arc_));
    return shape;
}

std::shared_ptr<CAShapeLayer> OVIndefiniteAnimatedView::buildLayer() const {
    auto shape = baseShapeLayer(kPi * 3 / 2, kPi / 2 + kPi * 5);
    auto mask = CALayer::layer();
    if (!maskLoaded_) {
        // Read once per view: every show rebuilds the layer.
        auto bundle = NSBundle::bundleForClass(OVIndefiniteAnimatedView::staticClassName());
        auto path = bundle ? bundle->pathForResource("OVProgressHUD", "bundle") : std::nullopt;
        maskImage_ = widgets_detail::imageFromBundle(path ? NSBundle::bundleWithPath(*path) : nullptr, "angle-mask", "png");
        maskLoaded_ = true;
    }
    if (maskImage_) mask->setContents(Value(maskImage_));
    mask->setFrame(shape->bounds());
    shape->setMask(mask);

    // The two animations are the same for every layer (a fresh mask starts unturned) and are
    // copied as they are added: made once.
    static const auto [rotate, group] = [] {
        auto linear = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear);
        auto rotate = CABasicAnimation::animationWithKeyPath("transform.rotation");
        rotate->fromValue = CALayer::layer()->animatableValue("transform.rotation");
        rotate->toValue = Value(2 * kPi);
        rotate->duration = 1.0;
        rotate->timingFunction = linear;
        rotate->removedOnCompletion = false;
        rotate->repeatCount = HUGE_VAL;
        rotate->fillMode = kCAFillModeForwards;
        rotate->autoreverses = false;

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
        return std::make_pair(std::shared_ptr<const CABasicAnimation>(rotate),
                              std::shared_ptr<const CAAnimationGroup>(group));
    }();
    mask->addAnimation(std::const_pointer_cast<CABasicAnimation>(rotate), "rotate");

    shape->addAnimation(std::const_pointer_cast<CAAnimationGroup>(group), "progress");
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
