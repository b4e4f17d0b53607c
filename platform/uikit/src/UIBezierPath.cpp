#include <platform_uikit/UIBezierPath.h>

#include <platform_uikit/UIGraphics.h>

UIBezierPathPtr UIBezierPath::bezierPathWithRect(CGRect rect) {
    auto p = bezierPath();
    p->path_->addRect(rect);
    return p;
}

UIBezierPathPtr UIBezierPath::bezierPathWithOvalInRect(CGRect rect) {
    auto p = bezierPath();
    p->path_->addEllipseInRect(rect);
    return p;
}

UIBezierPathPtr UIBezierPath::bezierPathWithRoundedRect(CGRect rect, double cornerRadius) {
    auto p = bezierPath();
    p->path_->addRoundedRect(rect, cornerRadius);
    return p;
}

UIBezierPathPtr UIBezierPath::bezierPathWithArcCenter(CGPoint center, double radius, double startAngle,
                                                      double endAngle, bool clockwise) {
    auto p = bezierPath();
    p->path_->addArc(center, radius, startAngle, endAngle, clockwise);
    return p;
}

void UIBezierPath::fill() const {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->addPath(*path_);
    c->drawPath(usesEvenOddFillRule ? kCGPathEOFill : kCGPathFill);
}

void UIBezierPath::stroke() const {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->saveGState();
    c->setLineWidth(lineWidth);
    c->setLineCap(lineCapStyle);
    c->setLineJoin(lineJoinStyle);
    c->addPath(*path_);
    c->strokePath();
    c->restoreGState();
}
