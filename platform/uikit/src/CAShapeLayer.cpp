#include <platform_uikit/CAShapeLayer.h>

#include <algorithm>
#include <cmath>

const CAShapeLayerFillRule kCAFillRuleNonZero = "non-zero";
const CAShapeLayerFillRule kCAFillRuleEvenOdd = "even-odd";
const CAShapeLayerLineCap kCALineCapButt = "butt";
const CAShapeLayerLineCap kCALineCapRound = "round";
const CAShapeLayerLineCap kCALineCapSquare = "square";
const CAShapeLayerLineJoin kCALineJoinMiter = "miter";
const CAShapeLayerLineJoin kCALineJoinRound = "round";
const CAShapeLayerLineJoin kCALineJoinBevel = "bevel";

void CAShapeLayer::setPath(std::shared_ptr<CGPath> path) {
    willChange("path");
    path_ = std::move(path);
    setNeedsDisplay();
}

void CAShapeLayer::setFillColor(UIColorPtr color) {
    willChange("fillColor");
    fillColor_ = std::move(color);
    setNeedsDisplay();
}

void CAShapeLayer::setStrokeColor(UIColorPtr color) {
    willChange("strokeColor");
    strokeColor_ = std::move(color);
    setNeedsDisplay();
}

void CAShapeLayer::setLineWidth(double width) {
    willChange("lineWidth");
    lineWidth_ = std::max(0.0, width);
    setNeedsDisplay();
}

void CAShapeLayer::setLineCap(CAShapeLayerLineCap cap) {
    lineCap_ = std::move(cap);
    setNeedsDisplay();
}

void CAShapeLayer::setLineJoin(CAShapeLayerLineJoin join) {
    lineJoin_ = std::move(join);
    setNeedsDisplay();
}

void CAShapeLayer::setFillRule(CAShapeLayerFillRule rule) {
    fillRule_ = std::move(rule);
    setNeedsDisplay();
}

void CAShapeLayer::setStrokeStart(double start) {
    willChange("strokeStart");
    strokeStart_ = std::clamp(start, 0.0, 1.0);
    setNeedsDisplay();
}

void CAShapeLayer::setStrokeEnd(double end) {
    willChange("strokeEnd");
    strokeEnd_ = std::clamp(end, 0.0, 1.0);
    setNeedsDisplay();
}

CGPath CAShapeLayer::subpath(const CGPath& path, double start, double end) {
    CGPath out;
    if (end <= start) return out;
    // Segments of every subpath, closing ones included, measured together.
    struct Segment {
        CGPoint a, b;
        double length;
        bool first;  // starts a subpath
    };
    std::vector<Segment> segments;
    double total = 0;
    for (auto& s : path.subpaths()) {
        auto pts = s.points;
        if (s.closed && pts.size() > 1) pts.push_back(pts.front());
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            double len = std::hypot(pts[i + 1].x - pts[i].x, pts[i + 1].y - pts[i].y);
            segments.push_back({pts[i], pts[i + 1], len, i == 0});
            total += len;
        }
    }
    if (total <= 0) return out;
    double from = start * total, to = end * total, at = 0;
    bool open = false;
    for (auto& seg : segments) {
        double s0 = at, s1 = at + seg.length;
        at = s1;
        if (seg.first) open = false;
        if (s1 <= from || s0 >= to || seg.length == 0) continue;
        auto point = [&](double d) {
            double t = (d - s0) / seg.length;
            return CGPointMake(seg.a.x + (seg.b.x - seg.a.x) * t, seg.a.y + (seg.b.y - seg.a.y) * t);
        };
        if (!open) {
            out.moveToPoint(point(std::max(s0, from)));
            open = true;
        }
        out.addLineToPoint(point(std::min(s1, to)));
    }
    return out;
}

void CAShapeLayer::drawInContext(CGContext& context) {
    if (!path_) return;
    if (fillColor_) {
        context.setFillColor(fillColor_);
        context.addPath(*path_);
        context.drawPath(fillRule_ == kCAFillRuleEvenOdd ? kCGPathEOFill : kCGPathFill);
    }
    if (strokeColor_ && lineWidth_ > 0 && strokeEnd_ > strokeStart_) {
        context.setStrokeColor(strokeColor_);
        context.setLineWidth(lineWidth_);
        context.setLineCap(lineCap_ == kCALineCapRound ? kCGLineCapRound
                           : lineCap_ == kCALineCapSquare ? kCGLineCapSquare
                                                          : kCGLineCapButt);
        context.setLineJoin(lineJoin_ == kCALineJoinRound ? kCGLineJoinRound
                            : lineJoin_ == kCALineJoinBevel ? kCGLineJoinBevel
                                                            : kCGLineJoinMiter);
        if (strokeStart_ <= 0 && strokeEnd_ >= 1)
            context.addPath(*path_);
        else
            context.addPath(subpath(*path_, strokeStart_, strokeEnd_));
        context.strokePath();
    }
}

Value CAShapeLayer::animatableValue(const std::string& kp) const {
    if (kp == "strokeStart") return Value(strokeStart_);
    if (kp == "strokeEnd") return Value(strokeEnd_);
    if (kp == "lineWidth") return Value(lineWidth_);
    if (kp == "strokeColor") return Value(strokeColor_);
    if (kp == "fillColor") return Value(fillColor_);
    return CALayer::animatableValue(kp);
}

bool CAShapeLayer::setAnimatableValue(const std::string& kp, const Value& v) {
    if (kp == "strokeStart") setStrokeStart(v.doubleValue());
    else if (kp == "strokeEnd") setStrokeEnd(v.doubleValue());
    else if (kp == "lineWidth") setLineWidth(v.doubleValue());
    else if (kp == "strokeColor") setStrokeColor(v.objectAs<UIColor>());
    else if (kp == "fillColor") setFillColor(v.objectAs<UIColor>());
    else return CALayer::setAnimatableValue(kp, v);
    return true;
}

CALayerPtr CAShapeLayer::makeCopy() const {
    auto copy = std::make_shared<CAShapeLayer>();
    copyPropertiesTo(*copy);
    copy->path_ = path_;
    copy->fillColor_ = fillColor_;
    copy->strokeColor_ = strokeColor_;
    copy->lineWidth_ = lineWidth_;
    copy->lineCap_ = lineCap_;
    copy->lineJoin_ = lineJoin_;
    copy->fillRule_ = fillRule_;
    copy->strokeStart_ = strokeStart_;
    copy->strokeEnd_ = strokeEnd_;
    return copy;
}
