#pragma once
// Geometry value types (points, sizes, rects, insets, offsets) and their helpers.

#include <algorithm>

struct CGPoint {
    double x = 0;
    double y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    double width = 0;
    double height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};

struct UIEdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

struct UIOffset {
    double horizontal = 0;
    double vertical = 0;
    bool operator==(const UIOffset&) const = default;
};

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};
inline constexpr UIEdgeInsets UIEdgeInsetsZero{};
inline constexpr UIOffset UIOffsetZero{};

inline constexpr CGPoint CGPointMake(double x, double y) { return {x, y}; }
inline constexpr CGSize CGSizeMake(double w, double h) { return {w, h}; }
inline constexpr CGRect CGRectMake(double x, double y, double w, double h) { return {{x, y}, {w, h}}; }
inline constexpr UIEdgeInsets UIEdgeInsetsMake(double top, double left, double bottom, double right) {
    return {top, left, bottom, right};
}
inline constexpr UIOffset UIOffsetMake(double h, double v) { return {h, v}; }

// Min/max/mid take negative widths and heights into account, as the platform does.
inline double CGRectGetMinX(const CGRect& r) { return std::min(r.origin.x, r.origin.x + r.size.width); }
inline double CGRectGetMaxX(const CGRect& r) { return std::max(r.origin.x, r.origin.x + r.size.width); }
inline double CGRectGetMidX(const CGRect& r) { return r.origin.x + r.size.width / 2; }
inline double CGRectGetMinY(const CGRect& r) { return std::min(r.origin.y, r.origin.y + r.size.height); }
inline double CGRectGetMaxY(const CGRect& r) { return std::max(r.origin.y, r.origin.y + r.size.height); }
inline double CGRectGetMidY(const CGRect& r) { return r.origin.y + r.size.height / 2; }
inline double CGRectGetWidth(const CGRect& r) { return r.size.width < 0 ? -r.size.width : r.size.width; }
inline double CGRectGetHeight(const CGRect& r) { return r.size.height < 0 ? -r.size.height : r.size.height; }

inline bool CGPointEqualToPoint(const CGPoint& a, const CGPoint& b) { return a == b; }
inline bool CGSizeEqualToSize(const CGSize& a, const CGSize& b) { return a == b; }
inline bool CGRectEqualToRect(const CGRect& a, const CGRect& b) { return a == b; }
inline bool CGRectIsEmpty(const CGRect& r) { return r.size.width == 0 || r.size.height == 0; }
inline bool UIEdgeInsetsEqualToEdgeInsets(const UIEdgeInsets& a, const UIEdgeInsets& b) { return a == b; }
inline bool UIOffsetEqualToOffset(const UIOffset& a, const UIOffset& b) { return a == b; }

// Half-open on the max edges: a point on the right or bottom edge is outside.
inline bool CGRectContainsPoint(const CGRect& r, const CGPoint& p) {
    return p.x >= CGRectGetMinX(r) && p.x < CGRectGetMaxX(r) && p.y >= CGRectGetMinY(r) &&
           p.y < CGRectGetMaxY(r);
}

inline CGRect UIEdgeInsetsInsetRect(const CGRect& r, const UIEdgeInsets& in) {
    return {{r.origin.x + in.left, r.origin.y + in.top},
            {r.size.width - in.left - in.right, r.size.height - in.top - in.bottom}};
}
