#include <platform_uikit/CGContext.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int kSubRows = 4;        // vertical samples per pixel row (anti-aliasing)
constexpr int kCurveSteps = 16;    // line segments per Bézier curve
constexpr double kArcStep = 0.1;   // radians per arc segment at most

// std::lround (halves away from zero) without the library call, for the per-pixel colour
// arithmetic; below 2^52 the fraction x - trunc(x) is exact, so the result is the same.
long roundHalfAway(double x) {
    if (!(std::fabs(x) < 1e15)) return std::lround(x);
    const long whole = static_cast<long>(x);  // toward zero
    const double rest = x - static_cast<double>(whole);
    if (rest >= 0.5) return whole + 1;
    if (rest <= -0.5) return whole - 1;
    return whole;
}

double signedArea(const std::vector<CGPoint>& poly) {
    double a = 0;
    for (std::size_t i = 0, n = poly.size(); i < n; ++i) {
        auto& p = poly[i];
        auto& q = poly[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

std::vector<CGPoint> oriented(std::vector<CGPoint> poly) {
    if (signedArea(poly) < 0) std::reverse(poly.begin(), poly.end());
    return poly;
}

std::vector<CGPoint> circle(CGPoint c, double r) {
    std::vector<CGPoint> out;
    int n = std::max(12, static_cast<int>(r * 2));
    n = std::min(n, 128);
    for (int i = 0; i < n; ++i) {
        double a = 2 * M_PI * i / n;
        out.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return out;
}

}  // namespace

// --- CGPath ---

CGPath::Subpath& CGPath::current() {
    if (subpaths_.empty() || subpaths_.back().closed) {
        CGPoint start = subpaths_.empty() || subpaths_.back().points.empty() ? CGPointZero : subpaths_.back().points.front();
        subpaths_.push_back({{start}, false});
    }
    return subpaths_.back();
}

void CGPath::moveToPoint(CGPoint p) {
    if (!subpaths_.empty() && !subpaths_.back().closed && subpaths_.back().points.size() == 1)
        subpaths_.back().points[0] = p;
    else
        subpaths_.push_back({{p}, false});
}

void CGPath::addLineToPoint(CGPoint p) { current().points.push_back(p); }

void CGPath::addQuadCurveToPoint(CGPoint c, CGPoint end) {
    CGPoint s = currentPoint();
    auto& sub = current();
    for (int i = 1; i <= kCurveSteps; ++i) {
        double t = double(i) / kCurveSteps, u = 1 - t;
        sub.points.push_back({u * u * s.x + 2 * u * t * c.x + t * t * end.x, u * u * s.y + 2 * u * t * c.y + t * t * end.y});
    }
}

void CGPath::addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end) {
    CGPoint s = currentPoint();
    auto& sub = current();
    for (int i = 1; i <= kCurveSteps; ++i) {
        double t = double(i) / kCurveSteps, u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        sub.points.push_back({a * s.x + b * c1.x + c * c2.x + d * end.x, a * s.y + b * c1.y + c * c2.y + d * end.y});
    }
}

void CGPath::addArc(CGPoint center, double radius, double start, double end, bool clockwise) {
    double sweep = end - start;
    // Growing angles run clockwise on a top-left screen.
    if (clockwise) {
        while (sweep < 0) sweep += 2 * M_PI;
    } else {
        while (sweep > 0) sweep -= 2 * M_PI;
    }
    if (std::fabs(end - start) >= 2 * M_PI) sweep = clockwise ? 2 * M_PI : -2 * M_PI;
    CGPoint first{center.x + radius * std::cos(start), center.y + radius * std::sin(start)};
    if (subpaths_.empty() || subpaths_.back().closed)
        moveToPoint(first);
    else
        addLineToPoint(first);
    int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / kArcStep)));
    for (int i = 1; i <= steps; ++i) {
        double a = start + sweep * i / steps;
        subpaths_.back().points.push_back({center.x + radius * std::cos(a), center.y + radius * std::sin(a)});
    }
}

void CGPath::addRect(CGRect r) {
    moveToPoint({CGRectGetMinX(r), CGRectGetMinY(r)});
    addLineToPoint({CGRectGetMaxX(r), CGRectGetMinY(r)});
    addLineToPoint({CGRectGetMaxX(r), CGRectGetMaxY(r)});
    addLineToPoint({CGRectGetMinX(r), CGRectGetMaxY(r)});
    closeSubpath();
}

void CGPath::addEllipseInRect(CGRect r) {
    CGPoint c{CGRectGetMidX(r), CGRectGetMidY(r)};
    double rx = r.size.width / 2, ry = r.size.height / 2;
    int n = 64;
    moveToPoint({c.x + rx, c.y});
    for (int i = 1; i < n; ++i) {
        double a = 2 * M_PI * i / n;
        addLineToPoint({c.x + rx * std::cos(a), c.y + ry * std::sin(a)});
    }
    closeSubpath();
}

void CGPath::addRoundedRect(CGRect r, double radius) {
    radius = std::min({radius, r.size.width / 2, r.size.height / 2});
    if (radius <= 0) return addRect(r);
    double x0 = CGRectGetMinX(r), y0 = CGRectGetMinY(r), x1 = CGRectGetMaxX(r), y1 = CGRectGetMaxY(r);
    moveToPoint({x0 + radius, y0});
    addArc({x1 - radius, y0 + radius}, radius, -M_PI / 2, 0, true);
    addArc({x1 - radius, y1 - radius}, radius, 0, M_PI / 2, true);
    addArc({x0 + radius, y1 - radius}, radius, M_PI / 2, M_PI, true);
    addArc({x0 + radius, y0 + radius}, radius, M_PI, 3 * M_PI / 2, true);
    closeSubpath();
}

void CGPath::closeSubpath() {
    if (!subpaths_.empty()) subpaths_.back().closed = true;
}

void CGPath::applyTransform(const CGAffineTransform& t) {
    for (auto& s : subpaths_)
        for (auto& p : s.points) p = CGPointApplyAffineTransform(p, t);
}

CGPoint CGPath::currentPoint() const {
    if (subpaths_.empty() || subpaths_.back().points.empty()) return CGPointZero;
    if (subpaths_.back().closed) return subpaths_.back().points.front();
    return subpaths_.back().points.back();
}

CGRect CGPath::boundingBox() const {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (auto& s : subpaths_)
        for (auto& p : s.points) {
            if (!any) {
                x0 = x1 = p.x;
                y0 = y1 = p.y;
                any = true;
            }
            x0 = std::min(x0, p.x);
            x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y);
            y1 = std::max(y1, p.y);
        }
    return any ? CGRectMake(x0, y0, x1 - x0, y1 - y0) : CGRectZero;
}

bool CGPath::containsPoint(CGPoint p, bool evenOdd) const {
    int winding = 0, crossings = 0;
    for (auto& s : subpaths_) {
        auto& pts = s.points;
        for (std::size_t i = 0, n = pts.size(); i < n && n > 1; ++i) {
            CGPoint a = pts[i], b = pts[(i + 1) % n];
            if ((a.y <= p.y) != (b.y <= p.y)) {
                double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
                if (x > p.x) {
                    ++crossings;
                    winding += b.y > a.y ? 1 : -1;
                }
            }
        }
    }
    return evenOdd ? (crossings % 2) == 1 : winding != 0;
}

// --- gradients ---

std::shared_ptr<CGGradient> CGGradient::withColors(const std::vector<UIColorPtr>& colors, std::vector<double> locations) {
    auto g = std::make_shared<CGGradient>();
    for (auto& c : colors) g->colors.push_back(c ? c->rgba() : std::array<double, 4>{0, 0, 0, 0});
    g->locations = std::move(locations);
    return g;
}

std::array<double, 4> CGGradient::colorAt(double t) const {
    if (colors.empty()) return {0, 0, 0, 0};
    std::vector<double> locs = locations;
    if (locs.size() != colors.size()) {
        locs.clear();
        for (std::size_t i = 0; i < colors.size(); ++i) locs.push_back(colors.size() > 1 ? double(i) / (colors.size() - 1) : 0);
    }
    if (t <= locs.front()) return colors.front();
    for (std::size_t i = 0; i + 1 < colors.size(); ++i) {
        if (t <= locs[i + 1]) {
            double span = locs[i + 1] - locs[i];
            double f = span > 0 ? (t - locs[i]) / span : 1;
            std::array<double, 4> out{};
            for (int k = 0; k < 4; ++k) out[k] = colors[i][k] + (colors[i + 1][k] - colors[i][k]) * f;
            return out;
        }
    }
    return colors.back();
}

// --- CGContext ---

CGContext::CGContext(CGSize size, double scale, bool opaque)
    : width_(static_cast<std::size_t>(std::ceil(std::max(0.0, size.width) * (scale > 0 ? scale : 1)))),
      height_(static_cast<std::size_t>(std::ceil(std::max(0.0, size.height) * (scale > 0 ? scale : 1)))),
      scale_(scale > 0 ? scale : 1),
      opaque_(opaque) {
    State s;
    s.ctm = CGAffineTransformMakeScale(scale_, scale_);
    states_.push_back(s);
}

void CGContext::ensurePixels() {
    if (!pixels_.empty() || width_ == 0 || height_ == 0) return;
    pixels_.assign(width_ * height_ * 4, 0);
    if (opaque_)
        for (std::size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = 255;
}

void CGContext::saveGState() { states_.push_back(states_.back()); }

void CGContext::restoreGState() {
    if (states_.size() > 1) states_.pop_back();
}

void CGContext::translateCTM(double tx, double ty) { state().ctm = CGAffineTransformTranslate(state().ctm, tx, ty); }
void CGContext::scaleCTM(double sx, double sy) { state().ctm = CGAffineTransformScale(state().ctm, sx, sy); }
void CGContext::rotateCTM(double angle) { state().ctm = CGAffineTransformRotate(state().ctm, angle); }
void CGContext::concatCTM(const CGAffineTransform& t) { state().ctm = CGAffineTransformConcat(t, state().ctm); }
CGAffineTransform CGContext::getCTM() const { return state().ctm; }

void CGContext::setFillColor(const UIColorPtr& color) {
    state().fill = color ? color->rgba() : std::array<double, 4>{0, 0, 0, 0};
}

void CGContext::setStrokeColor(const UIColorPtr& color) {
    state().stroke = color ? color->rgba() : std::array<double, 4>{0, 0, 0, 0};
}

void CGContext::addPath(const CGPath& path) {
    for (auto& s : path.subpaths()) {
        if (s.points.empty()) continue;
        path_.moveToPoint(s.points.front());
        for (std::size_t i = 1; i < s.points.size(); ++i) path_.addLineToPoint(s.points[i]);
        if (s.closed) path_.closeSubpath();
    }
}

std::vector<CGContext::Polygon> CGContext::devicePolygons(const CGPath& path) const {
    std::vector<Polygon> out;
    for (auto& s : path.subpaths()) {
        if (s.points.size() < 3) continue;
        Polygon poly;
        for (auto& p : s.points) poly.push_back(CGPointApplyAffineTransform(p, state().ctm));
        out.push_back(std::move(poly));
    }
    return out;
}

std::vector<CGContext::Polygon> CGContext::strokePolygons(const CGPath& path) const {
    const auto& ctm = state().ctm;
    double w = state().lineWidth * std::sqrt(std::fabs(ctm.a * ctm.d - ctm.b * ctm.c));
    double h = w / 2;
    std::vector<Polygon> out;
    for (auto& s : path.subpaths()) {
        std::vector<CGPoint> pts;
        for (auto& p : s.points) {
            CGPoint d = CGPointApplyAffineTransform(p, ctm);
            if (pts.empty() || std::hypot(d.x - pts.back().x, d.y - pts.back().y) > 1e-9) pts.push_back(d);
        }
        if (s.closed && pts.size() > 2) pts.push_back(pts.front());
        if (pts.size() < 2) continue;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            CGPoint a = pts[i], b = pts[i + 1];
            double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
            double nx = -dy / len * h, ny = dx / len * h;
            double ex = 0, ey = 0;
            bool first = i == 0 && !s.closed, last = i + 2 == pts.size() && !s.closed;
            if (state().cap == kCGLineCapSquare) {
                ex = dx / len * h;
                ey = dy / len * h;
            }
            CGPoint a2{a.x - (first ? ex : 0), a.y - (first ? ey : 0)}, b2{b.x + (last ? ex : 0), b.y + (last ? ey : 0)};
            out.push_back(oriented({{a2.x + nx, a2.y + ny}, {b2.x + nx, b2.y + ny}, {b2.x - nx, b2.y - ny}, {a2.x - nx, a2.y - ny}}));
            bool interior = i + 1 < pts.size() - 1 || s.closed;
            if (interior) {
                if (state().join == kCGLineJoinRound) {
                    out.push_back(oriented(circle(b, h)));
                } else {
                    // Bevel (and miter, whose tip is left out): the triangle between the two offsets.
                    CGPoint c = pts[i + 2 < pts.size() ? i + 2 : 1];
                    double dx2 = c.x - b.x, dy2 = c.y - b.y, len2 = std::hypot(dx2, dy2);
                    if (len2 > 0) {
                        double nx2 = -dy2 / len2 * h, ny2 = dx2 / len2 * h;
                        out.push_back(oriented({b, {b.x + nx, b.y + ny}, {b.x + nx2, b.y + ny2}}));
                        out.push_back(oriented({b, {b.x - nx, b.y - ny}, {b.x - nx2, b.y - ny2}}));
                    }
                }
            }
        }
        if (!s.closed && state().cap == kCGLineCapRound) {
            out.push_back(oriented(circle(pts.front(), h)));
            out.push_back(oriented(circle(pts.back(), h)));
        }
    }
    return out;
}

// The corners of a polygon whose every edge is horizontal or vertical (a rectangle, an image's
// box under a transform without rotation), or nothing.
struct AxisAlignedBox {
    double left, top, right, bottom;
};

// One sample row's share of the pixels of row y that [xa, xb) covers.
static void addSpan(std::vector<float>& cov, std::size_t width, long y, double xa, double xb) {
    for (long x = static_cast<long>(std::floor(xa)); x < xb && x < static_cast<long>(width); ++x) {
        double overlap = std::min(xb, double(x + 1)) - std::max(xa, double(x));
        if (overlap > 0) cov[y * width + x] += static_cast<float>(overlap / kSubRows);
    }
}

// Sums of sample rows can pass 1 where shapes overlap; only rows [y0, y1) were written.
static void capCoverage(std::vector<float>& cov, std::size_t width, long y0, long y1) {
    if (y1 <= y0) return;
    auto first = cov.begin() + y0 * static_cast<long>(width), last = cov.begin() + y1 * static_cast<long>(width);
    for (auto c = first; c != last; ++c) *c = std::min(*c, 1.f);
}

static std::optional<AxisAlignedBox> axisAlignedBox(const std::vector<CGPoint>& poly) {
    if (poly.size() < 4 || poly.size() > 5) return std::nullopt;
    double minX = poly[0].x, maxX = poly[0].x, minY = poly[0].y, maxY = poly[0].y;
    for (std::size_t i = 0, n = poly.size(); i < n; ++i) {
        const CGPoint a = poly[i], b = poly[(i + 1) % n];
        if (!std::isfinite(a.x) || !std::isfinite(a.y)) return std::nullopt;
        if (a.x != b.x && a.y != b.y) return std::nullopt;
        minX = std::min(minX, a.x), maxX = std::max(maxX, a.x);
        minY = std::min(minY, a.y), maxY = std::max(maxY, a.y);
    }
    return AxisAlignedBox{minX, minY, maxX, maxY};
}

std::vector<float> CGContext::rasterize(const std::vector<Polygon>& polygons, bool evenOdd) const {
    std::vector<float> cov(width_ * height_, 0.f);
    if (polygons.empty() || width_ == 0 || height_ == 0) return cov;
    if (polygons.size() == 1) {
        if (auto box = axisAlignedBox(polygons.front())) {
            // What the sample rows below give such a box, without finding its edges row by row:
            // each sample row inside it spans [left, right); the sums are made in the same order.
            const double left = box->left, right = box->right, top = box->top, bottom = box->bottom;
            long y0 = std::max(0L, static_cast<long>(std::floor(top)));
            long y1 = std::min(static_cast<long>(height_), static_cast<long>(std::ceil(bottom)) + 1);
            const double xa = std::max(0.0, left), xb = std::min(double(width_), right);
            for (long y = y0; y < y1; ++y) {
                for (int s = 0; s < kSubRows; ++s) {
                    double sy = y + (s + 0.5) / kSubRows;
                    if (!(top <= sy && sy < bottom)) continue;
                    addSpan(cov, width_, y, xa, xb);
                }
            }
            capCoverage(cov, width_, y0, y1);
            return cov;
        }
    }
    // Every edge that a sample row can cross (horizontal ones never are), ordered by its lower
    // end. A sample row at sy crosses the edges with top <= sy < bottom; walking the rows down
    // keeps only those at hand instead of testing every edge of every polygon on every row (a
    // stroked arc is some hundred small polygons).
    struct Edge {
        CGPoint a, b;
        double top, bottom;
    };
    std::vector<Edge> edges;
    double minY = 1e300, maxY = -1e300;
    for (auto& poly : polygons) {
        for (std::size_t i = 0, n = poly.size(); i < n; ++i) {
            CGPoint a = poly[i], b = poly[(i + 1) % n];
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) continue;
            minY = std::min({minY, a.y, b.y});
            maxY = std::max({maxY, a.y, b.y});
            if (a.y != b.y) edges.push_back({a, b, std::min(a.y, b.y), std::max(a.y, b.y)});
        }
    }
    if (edges.empty()) return cov;
    std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.top < r.top; });
    long y0 = std::max(0L, static_cast<long>(std::floor(minY)));
    long y1 = std::min(static_cast<long>(height_), static_cast<long>(std::ceil(maxY)) + 1);
    std::vector<std::pair<double, int>> xs;
    std::vector<const Edge*> active;
    std::size_t nextEdge = 0;
    for (long y = y0; y < y1; ++y) {
        for (int s = 0; s < kSubRows; ++s) {
            double sy = y + (s + 0.5) / kSubRows;
            while (nextEdge < edges.size() && edges[nextEdge].top <= sy) active.push_back(&edges[nextEdge++]);
            std::erase_if(active, [sy](const Edge* e) { return e->bottom <= sy; });
            xs.clear();
            for (const Edge* e : active) {
                const CGPoint a = e->a, b = e->b;
                xs.emplace_back(a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y), b.y > a.y ? 1 : -1);
            }
            std::sort(xs.begin(), xs.end());
            int winding = 0;
            for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
                winding += evenOdd ? 1 : xs[i].second;
                bool inside = evenOdd ? (winding % 2) != 0 : winding != 0;
                if (!inside) continue;
                double xa = std::max(0.0, xs[i].first), xb = std::min(double(width_), xs[i + 1].first);
                addSpan(cov, width_, y, xa, xb);
            }
        }
    }
    capCoverage(cov, width_, y0, y1);
    return cov;
}

void CGContext::blendPixel(std::size_t i, const std::array<double, 4>& rgba, double coverage) {
    double a = rgba[3] * coverage * state().alpha;
    if (state().clip) a *= (*state().clip)[i];
    if (a <= 0) return;
    uint8_t* px = &pixels_[i * 4];
    for (int k = 0; k < 3; ++k) px[k] = static_cast<uint8_t>(roundHalfAway(rgba[k] * a * 255 + px[k] * (1 - a)));
    px[3] = static_cast<uint8_t>(roundHalfAway(a * 255 + px[3] * (1 - a)));
}

void CGContext::paint(const std::vector<float>& coverage, const std::array<double, 4>& rgba) {
    ensurePixels();
    if (pixels_.empty()) return;
    for (std::size_t i = 0; i < coverage.size(); ++i)
        if (coverage[i] > 0) blendPixel(i, rgba, coverage[i]);
}

void CGContext::drawPath(CGPathDrawingMode mode) {
    CGPath path = std::move(path_);
    path_ = CGPath();
    if (mode == kCGPathFill || mode == kCGPathEOFill || mode == kCGPathFillStroke)
        paint(rasterize(devicePolygons(path), mode == kCGPathEOFill), state().fill);
    if (mode == kCGPathStroke || mode == kCGPathFillStroke) paint(rasterize(strokePolygons(path), false), state().stroke);
}

void CGContext::clip(bool evenOdd) {
    auto coverage = rasterize(devicePolygons(path_), evenOdd);
    path_ = CGPath();
    if (state().clip)
        for (std::size_t i = 0; i < coverage.size(); ++i) coverage[i] *= (*state().clip)[i];
    state().clip = std::make_shared<std::vector<float>>(std::move(coverage));
}

void CGContext::clipToRect(CGRect rect) {
    CGPath saved = std::move(path_);
    path_ = CGPath();
    path_.addRect(rect);
    clip();
    path_ = std::move(saved);
}

void CGContext::fillRect(CGRect rect) {
    CGPath p;
    p.addRect(rect);
    paint(rasterize(devicePolygons(p), false), state().fill);
}

void CGContext::strokeRect(CGRect rect) {
    CGPath p;
    p.addRect(rect);
    paint(rasterize(strokePolygons(p), false), state().stroke);
}

void CGContext::clearRect(CGRect rect) {
    CGPath p;
    p.addRect(rect);
    auto cov = rasterize(devicePolygons(p), false);
    ensurePixels();
    for (std::size_t i = 0; i < cov.size() && !pixels_.empty(); ++i)
        if (cov[i] > 0)
            for (int k = 0; k < 4; ++k) pixels_[i * 4 + k] = static_cast<uint8_t>(pixels_[i * 4 + k] * (1 - cov[i]));
}

void CGContext::fillEllipseInRect(CGRect rect) {
    CGPath p;
    p.addEllipseInRect(rect);
    paint(rasterize(devicePolygons(p), false), state().fill);
}

void CGContext::strokeEllipseInRect(CGRect rect) {
    CGPath p;
    p.addEllipseInRect(rect);
    paint(rasterize(strokePolygons(p), false), state().stroke);
}

void CGContext::drawImage(CGRect rect, const CGImageRef& image) {
    if (!image || image->width() == 0 || image->height() == 0 || rect.size.width == 0 || rect.size.height == 0) return;
    CGPath p;
    p.addRect(rect);
    const auto polygons = devicePolygons(p);
    auto cov = rasterize(polygons, false);
    ensurePixels();
    if (pixels_.empty()) return;
    // Only the pixels under the image's box can be covered.
    double minX = 0, minY = 0, maxX = double(width_), maxY = double(height_);
    if (!polygons.empty() && !polygons.front().empty()) {
        minX = maxX = polygons.front().front().x;
        minY = maxY = polygons.front().front().y;
        for (const auto& point : polygons.front()) {
            minX = std::min(minX, point.x), maxX = std::max(maxX, point.x);
            minY = std::min(minY, point.y), maxY = std::max(maxY, point.y);
        }
    }
    auto firstIndex = [](double v, std::size_t limit) {
        return std::isfinite(v) ? static_cast<std::size_t>(std::clamp(std::floor(v), 0.0, double(limit))) : 0;
    };
    auto endIndex = [](double v, std::size_t limit) {
        return std::isfinite(v) ? static_cast<std::size_t>(std::clamp(std::ceil(v) + 1, 0.0, double(limit))) : limit;
    };
    const std::size_t x0 = firstIndex(minX, width_), x1 = endIndex(maxX, width_);
    const std::size_t y0 = firstIndex(minY, height_), y1 = endIndex(maxY, height_);
    auto inverse = CGAffineTransformInvert(state().ctm);
    for (std::size_t y = y0; y < y1; ++y)
        for (std::size_t x = x0; x < x1; ++x) {
            float c = cov[y * width_ + x];
            if (c <= 0) continue;
            CGPoint u = CGPointApplyAffineTransform(CGPointMake(x + 0.5, y + 0.5), inverse);
            double fx = (u.x - rect.origin.x) / rect.size.width * image->width();
            double fy = (u.y - rect.origin.y) / rect.size.height * image->height();
            auto sx = static_cast<std::size_t>(std::clamp(fx, 0.0, double(image->width() - 1)));
            auto sy = static_cast<std::size_t>(std::clamp(fy, 0.0, double(image->height() - 1)));
            auto px = image->pixelAt(sx, sy);
            blendPixel(y * width_ + x, {px[0] / 255.0, px[1] / 255.0, px[2] / 255.0, px[3] / 255.0}, c);
        }
}

void CGContext::drawLinearGradient(const CGGradient& g, CGPoint start, CGPoint end, uint32_t options) {
    ensurePixels();
    if (pixels_.empty()) return;
    auto inverse = CGAffineTransformInvert(state().ctm);
    double dx = end.x - start.x, dy = end.y - start.y, len2 = dx * dx + dy * dy;
    for (std::size_t y = 0; y < height_; ++y)
        for (std::size_t x = 0; x < width_; ++x) {
            CGPoint u = CGPointApplyAffineTransform(CGPointMake(x + 0.5, y + 0.5), inverse);
            double t = len2 > 0 ? ((u.x - start.x) * dx + (u.y - start.y) * dy) / len2 : 0;
            if (t < 0 && !(options & kCGGradientDrawsBeforeStartLocation)) continue;
            if (t > 1 && !(options & kCGGradientDrawsAfterEndLocation)) continue;
            blendPixel(y * width_ + x, g.colorAt(std::clamp(t, 0.0, 1.0)), 1);
        }
}

void CGContext::drawRadialGradient(const CGGradient& g, CGPoint c0, double r0, CGPoint c1, double r1, uint32_t options) {
    ensurePixels();
    if (pixels_.empty()) return;
    auto inverse = CGAffineTransformInvert(state().ctm);
    // The largest t with |p − c(t)| = r(t), r(t) ≥ 0, where c and r move linearly from 0 to 1.
    double cdx = c1.x - c0.x, cdy = c1.y - c0.y, dr = r1 - r0;
    double a = cdx * cdx + cdy * cdy - dr * dr;
    for (std::size_t y = 0; y < height_; ++y)
        for (std::size_t x = 0; x < width_; ++x) {
            CGPoint u = CGPointApplyAffineTransform(CGPointMake(x + 0.5, y + 0.5), inverse);
            double px = u.x - c0.x, py = u.y - c0.y;
            double b = px * cdx + py * cdy + r0 * dr;
            double c = px * px + py * py - r0 * r0;
            std::optional<double> t;
            if (std::fabs(a) < 1e-12) {
                if (std::fabs(b) > 1e-12) t = c / (2 * b);
            } else {
                double disc = b * b - a * c;
                if (disc >= 0) {
                    double s = std::sqrt(disc);
                    double t1 = (b + s) / a, t2 = (b - s) / a;
                    if (r0 + std::max(t1, t2) * dr >= 0) t = std::max(t1, t2);
                    else if (r0 + std::min(t1, t2) * dr >= 0) t = std::min(t1, t2);
                }
            }
            if (!t || r0 + *t * dr < 0) continue;
            if (*t < 0 && !(options & kCGGradientDrawsBeforeStartLocation)) continue;
            if (*t > 1 && !(options & kCGGradientDrawsAfterEndLocation)) continue;
            blendPixel(y * width_ + x, g.colorAt(std::clamp(*t, 0.0, 1.0)), 1);
        }
}

std::array<uint8_t, 4> CGContext::pixelAt(std::size_t x, std::size_t y) const {
    if (x >= width_ || y >= height_) return {0, 0, 0, 0};
    if (pixels_.empty()) return opaque_ ? std::array<uint8_t, 4>{255, 255, 255, 255} : std::array<uint8_t, 4>{0, 0, 0, 0};
    const uint8_t* px = &pixels_[(y * width_ + x) * 4];
    if (px[3] == 0) return {0, 0, 0, 0};
    if (px[3] == 255) return {px[0], px[1], px[2], 255};  // nothing to divide out
    auto un = [&](uint8_t v) { return static_cast<uint8_t>(std::min(255L, roundHalfAway(v * 255.0 / px[3]))); };
    return {un(px[0]), un(px[1]), un(px[2]), px[3]};
}

CGImageRef CGContext::makeImage() const {
    if (width_ == 0 || height_ == 0) return nullptr;
    std::vector<uint8_t> rgba(width_ * height_ * 4);
    for (std::size_t y = 0; y < height_; ++y)
        for (std::size_t x = 0; x < width_; ++x) {
            auto px = pixelAt(x, y);
            std::copy(px.begin(), px.end(), rgba.begin() + static_cast<std::ptrdiff_t>((y * width_ + x) * 4));
        }
    return std::make_shared<CGImage>(width_, height_, 8, kCGColorSpaceModelRGB,
                                     opaque_ ? kCGImageAlphaNoneSkipLast : kCGImageAlphaLast, std::move(rgba));
}
