#pragma once
// 2-D affine transforms (row-vector convention: p' = p × M) and the 3-D
// transforms layers carry, with the platform's helper functions.

#include <platform_runtime/Geometry.h>

#include <cmath>
#include <initializer_list>

struct CGAffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const CGAffineTransform&) const = default;
};

inline constexpr CGAffineTransform CGAffineTransformIdentity{};

inline CGAffineTransform CGAffineTransformMake(double a, double b, double c, double d, double tx, double ty) {
    return {a, b, c, d, tx, ty};
}
inline CGAffineTransform CGAffineTransformMakeTranslation(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
inline CGAffineTransform CGAffineTransformMakeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
inline CGAffineTransform CGAffineTransformMakeRotation(double angle) {
    double c = std::cos(angle), s = std::sin(angle);
    return {c, s, -s, c, 0, 0};
}
// t1 then t2.
inline CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1, const CGAffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c,        t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,        t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}
inline CGAffineTransform CGAffineTransformTranslate(const CGAffineTransform& t, double tx, double ty) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}
inline CGAffineTransform CGAffineTransformScale(const CGAffineTransform& t, double sx, double sy) {
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}
inline CGAffineTransform CGAffineTransformRotate(const CGAffineTransform& t, double angle) {
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}
// The inverse; the transform itself when it cannot be inverted.
inline CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t) {
    double det = t.a * t.d - t.b * t.c;
    if (det == 0) return t;
    return {t.d / det, -t.b / det, -t.c / det, t.a / det, (t.c * t.ty - t.d * t.tx) / det,
            (t.b * t.tx - t.a * t.ty) / det};
}
inline bool CGAffineTransformIsIdentity(const CGAffineTransform& t) { return t == CGAffineTransformIdentity; }
inline bool CGAffineTransformEqualToTransform(const CGAffineTransform& a, const CGAffineTransform& b) {
    return a == b;
}
inline CGPoint CGPointApplyAffineTransform(const CGPoint& p, const CGAffineTransform& t) {
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}
inline CGSize CGSizeApplyAffineTransform(const CGSize& s, const CGAffineTransform& t) {
    return {t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}
// The smallest rectangle holding the points.
inline CGRect CGRectBoundingPoints(std::initializer_list<CGPoint> points) {
    if (points.size() == 0) return CGRectZero;
    double minX = points.begin()->x, maxX = minX, minY = points.begin()->y, maxY = minY;
    for (auto& q : points) {
        minX = std::min(minX, q.x);
        maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y);
        maxY = std::max(maxY, q.y);
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

// The smallest rectangle holding the transformed corners.
inline CGRect CGRectApplyAffineTransform(const CGRect& r, const CGAffineTransform& t) {
    return CGRectBoundingPoints({CGPointApplyAffineTransform({CGRectGetMinX(r), CGRectGetMinY(r)}, t),
                                 CGPointApplyAffineTransform({CGRectGetMaxX(r), CGRectGetMinY(r)}, t),
                                 CGPointApplyAffineTransform({CGRectGetMinX(r), CGRectGetMaxY(r)}, t),
                                 CGPointApplyAffineTransform({CGRectGetMaxX(r), CGRectGetMaxY(r)}, t)});
}

inline CGRect CGRectOffset(const CGRect& r, double dx, double dy) {
    return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width, r.size.height);
}
inline CGRect CGRectInset(const CGRect& r, double dx, double dy) {
    return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
}
inline CGRect CGRectIntersection(const CGRect& a, const CGRect& b) {
    double x0 = std::max(CGRectGetMinX(a), CGRectGetMinX(b)), y0 = std::max(CGRectGetMinY(a), CGRectGetMinY(b));
    double x1 = std::min(CGRectGetMaxX(a), CGRectGetMaxX(b)), y1 = std::min(CGRectGetMaxY(a), CGRectGetMaxY(b));
    if (x1 < x0 || y1 < y0) return CGRectZero;
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}
inline bool CGRectIntersectsRect(const CGRect& a, const CGRect& b) {
    return CGRectGetMinX(a) < CGRectGetMaxX(b) && CGRectGetMinX(b) < CGRectGetMaxX(a) &&
           CGRectGetMinY(a) < CGRectGetMaxY(b) && CGRectGetMinY(b) < CGRectGetMaxY(a);
}

// A 4 × 4 transform of a layer (row vectors, as the affine one).
struct CATransform3D {
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;
    bool operator==(const CATransform3D&) const = default;
};

inline constexpr CATransform3D CATransform3DIdentity{};

CATransform3D CATransform3DConcat(const CATransform3D& a, const CATransform3D& b);
CATransform3D CATransform3DMakeScale(double sx, double sy, double sz);
CATransform3D CATransform3DMakeTranslation(double tx, double ty, double tz);
// Rotation by `angle` radians about the axis (x, y, z).
CATransform3D CATransform3DMakeRotation(double angle, double x, double y, double z);
CATransform3D CATransform3DScale(const CATransform3D& t, double sx, double sy, double sz);
CATransform3D CATransform3DRotate(const CATransform3D& t, double angle, double x, double y, double z);
CATransform3D CATransform3DTranslate(const CATransform3D& t, double tx, double ty, double tz);
CATransform3D CATransform3DMakeAffineTransform(const CGAffineTransform& t);
CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t);
bool CATransform3DIsAffine(const CATransform3D& t);
inline bool CATransform3DIsIdentity(const CATransform3D& t) { return t == CATransform3DIdentity; }
