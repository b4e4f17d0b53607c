#pragma once
// A software drawing context over an RGBA8 bitmap (premultiplied inside,
// plain RGBA out), in points with the origin at the top left and a scale in
// pixels per point: rectangles, paths with lines, curves and arcs, fill
// (non-zero or even-odd) and stroke (width, cap, join), images, linear and
// radial gradients with extend options, clipping, and a graphics-state stack.
// The bitmap is made on the first drawing, so a context nothing drew into
// costs nothing.
//
// One thread at a time.

#include <platform_uikit/CGAffineTransform.h>
#include <platform_uikit/UIColor.h>

#include <platform_net/CGImage.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

enum CGLineCap : int32_t { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };
enum CGLineJoin : int32_t { kCGLineJoinMiter = 0, kCGLineJoinRound = 1, kCGLineJoinBevel = 2 };
enum CGPathDrawingMode : int32_t { kCGPathFill = 0, kCGPathEOFill = 1, kCGPathStroke = 2, kCGPathFillStroke = 3 };
enum CGGradientDrawingOptions : uint32_t {
    kCGGradientDrawsBeforeStartLocation = 1,
    kCGGradientDrawsAfterEndLocation = 2,
};

// A path: subpaths of lines, cubic curves and arcs (kept flattened to points).
class CGPath {
public:
    void moveToPoint(CGPoint p);
    void addLineToPoint(CGPoint p);
    void addQuadCurveToPoint(CGPoint control, CGPoint end);
    void addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end);
    // An arc around `center` from `startAngle` to `endAngle` (radians); in
    // this top-left space "clockwise" runs with growing angles on screen.
    void addArc(CGPoint center, double radius, double startAngle, double endAngle, bool clockwise);
    void addRect(CGRect rect);
    void addEllipseInRect(CGRect rect);
    void addRoundedRect(CGRect rect, double radius);
    void closeSubpath();
    void applyTransform(const CGAffineTransform& t);
    bool isEmpty() const { return subpaths_.empty(); }
    CGPoint currentPoint() const;
    CGRect boundingBox() const;
    bool containsPoint(CGPoint p, bool evenOdd = false) const;

    struct Subpath {
        std::vector<CGPoint> points;
        bool closed = false;
    };
    const std::vector<Subpath>& subpaths() const { return subpaths_; }

private:
    Subpath& current();
    std::vector<Subpath> subpaths_;
};

// Colours at locations 0...1.
struct CGGradient {
    std::vector<std::array<double, 4>> colors;  // RGBA 0...1
    std::vector<double> locations;              // evenly spaced when empty
    static std::shared_ptr<CGGradient> withColors(const std::vector<UIColorPtr>& colors,
                                                  std::vector<double> locations = {});
    std::array<double, 4> colorAt(double t) const;
};

class CGContext {
public:
    // size in points; the bitmap is ceil(size × scale) pixels.
    CGContext(CGSize size, double scale, bool opaque = false);

    std::size_t pixelWidth() const { return width_; }
    std::size_t pixelHeight() const { return height_; }
    double scale() const { return scale_; }
    bool hasDrawn() const { return !pixels_.empty(); }

    void saveGState();
    void restoreGState();
    void translateCTM(double tx, double ty);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double angle);
    void concatCTM(const CGAffineTransform& t);
    // User space (points) to the bitmap's pixels.
    CGAffineTransform getCTM() const;

    void setFillColor(const UIColorPtr& color);
    void setStrokeColor(const UIColorPtr& color);
    void setFillColor(std::array<double, 4> rgba) { state().fill = rgba; }
    void setStrokeColor(std::array<double, 4> rgba) { state().stroke = rgba; }
    void setLineWidth(double width) { state().lineWidth = width; }
    void setLineCap(CGLineCap cap) { state().cap = cap; }
    void setLineJoin(CGLineJoin join) { state().join = join; }
    void setAlpha(double alpha) { state().alpha = alpha; }
    double alpha() const { return state().alpha; }

    // --- the current path ---
    void beginPath() { path_ = CGPath(); }
    void moveToPoint(CGPoint p) { path_.moveToPoint(p); }
    void addLineToPoint(CGPoint p) { path_.addLineToPoint(p); }
    void addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end) { path_.addCurveToPoint(c1, c2, end); }
    void addQuadCurveToPoint(CGPoint c, CGPoint end) { path_.addQuadCurveToPoint(c, end); }
    void addArc(CGPoint center, double radius, double start, double end, bool clockwise) {
        path_.addArc(center, radius, start, end, clockwise);
    }
    void addRect(CGRect r) { path_.addRect(r); }
    void addEllipseInRect(CGRect r) { path_.addEllipseInRect(r); }
    void addRoundedRect(CGRect r, double radius) { path_.addRoundedRect(r, radius); }
    void addPath(const CGPath& path);
    void closePath() { path_.closeSubpath(); }
    void fillPath() { drawPath(kCGPathFill); }
    void eoFillPath() { drawPath(kCGPathEOFill); }
    void strokePath() { drawPath(kCGPathStroke); }
    void drawPath(CGPathDrawingMode mode);
    // Intersects the clip with the current path (and empties the path).
    void clip(bool evenOdd = false);
    void clipToRect(CGRect rect);

    void fillRect(CGRect rect);
    void strokeRect(CGRect rect);
    void clearRect(CGRect rect);
    void fillEllipseInRect(CGRect rect);
    void strokeEllipseInRect(CGRect rect);
    // The image scaled into `rect`, upright.
    void drawImage(CGRect rect, const CGImageRef& image);
    void drawLinearGradient(const CGGradient& gradient, CGPoint start, CGPoint end, uint32_t options);
    void drawRadialGradient(const CGGradient& gradient, CGPoint startCenter, double startRadius, CGPoint endCenter,
                            double endRadius, uint32_t options);

    // The pixels drawn so far (transparent, or white when opaque, if nothing was).
    CGImageRef makeImage() const;
    // {R, G, B, A}, not premultiplied.
    std::array<uint8_t, 4> pixelAt(std::size_t x, std::size_t y) const;

private:
    struct State {
        CGAffineTransform ctm;
        std::array<double, 4> fill{0, 0, 0, 1};
        std::array<double, 4> stroke{0, 0, 0, 1};
        double lineWidth = 1;
        CGLineCap cap = kCGLineCapButt;
        CGLineJoin join = kCGLineJoinMiter;
        double alpha = 1;
        std::shared_ptr<std::vector<float>> clip;  // coverage per pixel, null = everything
    };
    using Polygon = std::vector<CGPoint>;
    State& state() { return states_.back(); }
    const State& state() const { return states_.back(); }
    void ensurePixels();
    // Coverage 0...1 per pixel of polygons in pixel space.
    std::vector<float> rasterize(const std::vector<Polygon>& polygons, bool evenOdd) const;
    std::vector<Polygon> devicePolygons(const CGPath& path) const;
    std::vector<Polygon> strokePolygons(const CGPath& path) const;
    void paint(const std::vector<float>& coverage, const std::array<double, 4>& rgba);
    void blendPixel(std::size_t index, const std::array<double, 4>& rgba, double coverage);

    std::size_t width_, height_;
    double scale_;
    bool opaque_;
    std::vector<uint8_t> pixels_;  // premultiplied RGBA
    std::vector<State> states_;
    CGPath path_;
};
