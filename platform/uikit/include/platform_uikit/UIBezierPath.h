#pragma once
// A path object with the drawing attributes that go with it: rectangles,
// rounded rectangles, ovals, arcs, lines and curves, filled or stroked in
// the current drawing context.
//
// One thread at a time.

#include <platform_uikit/CGContext.h>

#include <platform_runtime/ObjCDeclare.h>

#include <memory>

class UIBezierPath;
using UIBezierPathPtr = std::shared_ptr<UIBezierPath>;

class UIBezierPath : public NSObject {
    NS_CLASS(UIBezierPath, NSObject)
public:
    static UIBezierPathPtr bezierPath() { return std::make_shared<UIBezierPath>(); }
    static UIBezierPathPtr bezierPathWithRect(CGRect rect);
    static UIBezierPathPtr bezierPathWithOvalInRect(CGRect rect);
    static UIBezierPathPtr bezierPathWithRoundedRect(CGRect rect, double cornerRadius);
    // In this top-left space, clockwise runs with growing angles.
    static UIBezierPathPtr bezierPathWithArcCenter(CGPoint center, double radius, double startAngle, double endAngle,
                                                   bool clockwise);

    void moveToPoint(CGPoint p) { path_->moveToPoint(p); }
    void addLineToPoint(CGPoint p) { path_->addLineToPoint(p); }
    void addCurveToPoint(CGPoint end, CGPoint c1, CGPoint c2) { path_->addCurveToPoint(c1, c2, end); }
    void addQuadCurveToPoint(CGPoint end, CGPoint c) { path_->addQuadCurveToPoint(c, end); }
    void addArcWithCenter(CGPoint center, double radius, double start, double end, bool clockwise) {
        path_->addArc(center, radius, start, end, clockwise);
    }
    void closePath() { path_->closeSubpath(); }
    void applyTransform(const CGAffineTransform& t) { path_->applyTransform(t); }
    bool containsPoint(CGPoint p) const { return path_->containsPoint(p, usesEvenOddFillRule); }
    CGRect bounds() const { return path_->boundingBox(); }
    bool isEmpty() const { return path_->isEmpty(); }
    CGPoint currentPoint() const { return path_->currentPoint(); }
    // The path itself (shared: a shape layer given it sees later changes).
    const std::shared_ptr<::CGPath>& cgPath() const { return path_; }

    double lineWidth = 1;
    CGLineCap lineCapStyle = kCGLineCapButt;
    CGLineJoin lineJoinStyle = kCGLineJoinMiter;
    bool usesEvenOddFillRule = false;

    // Draw in the current context with its colours.
    void fill() const;
    void stroke() const;

private:
    std::shared_ptr<::CGPath> path_ = std::make_shared<::CGPath>();
};
