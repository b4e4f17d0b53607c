#include <platform_uikit/CALayer.h>
#include <platform_uikit/CAShapeLayer.h>
#include <platform_uikit/UIBezierPath.h>

#include <platform_dispatch/ManualClock.h>
#include <platform_uikit/UIGraphics.h>
#include <platform_uikit/UIView.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using RGBA = std::array<uint8_t, 4>;

bool close(RGBA a, RGBA b, int tolerance = 2) {
    for (int i = 0; i < 4; ++i)
        if (std::abs(int(a[i]) - int(b[i])) > tolerance) return false;
    return true;
}

std::string show(RGBA p) {
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," + std::to_string(p[3]);
}

// A 100 × 100 point picture at scale 1 exercising each kind of drawing.
UIImagePtr drawScene() {
    UIGraphicsImageRendererFormat format;
    format.scale = 1;
    UIGraphicsImageRenderer renderer(CGSizeMake(100, 100), format);
    return renderer.imageWithActions([](UIGraphicsImageRendererContext& rc) {
        CGContext& c = rc.cgContext();
        c.setFillColor(UIColor::redColor());
        c.fillRect(CGRectMake(0, 0, 50, 50));
        c.setFillColor(UIColor::colorWithRed(0, 0, 1, 0.5));
        c.fillRect(CGRectMake(25, 25, 50, 50));  // half-transparent over red and over nothing
        c.setFillColor(UIColor::greenColor());
        c.addArc(CGPointMake(80, 20), 15, 0, 2 * M_PI, true);
        c.fillPath();
        auto gradient = CGGradient::withColors({UIColor::blackColor(), UIColor::whiteColor()});
        c.saveGState();
        c.clipToRect(CGRectMake(0, 80, 100, 20));
        c.drawLinearGradient(*gradient, CGPointMake(0, 0), CGPointMake(100, 0), 0);
        c.restoreGState();
        c.setStrokeColor(UIColor::blackColor());
        c.setLineWidth(4);
        c.moveToPoint(CGPointMake(0, 62));
        c.addLineToPoint(CGPointMake(20, 62));
        c.strokePath();
    });
}

struct Probe {
    int x, y;
    RGBA expected;
};

const Probe kProbes[] = {
    {10, 10, {255, 0, 0, 255}},       // red
    {30, 30, {128, 0, 127, 255}},     // blue at half over red
    {70, 70, {0, 0, 255, 128}},       // blue at half over nothing
    {80, 20, {0, 255, 0, 255}},       // inside the circle
    {97, 3, {0, 0, 0, 0}},            // outside it
    {5, 90, {13, 13, 13, 255}},       // gradient start
    {95, 90, {242, 242, 242, 255}},   // gradient end
    {50, 78, {0, 0, 0, 0}},           // clipped away above the band
    {10, 62, {0, 0, 0, 255}},         // the stroke
    {10, 66, {0, 0, 0, 0}},           // beside it
};

TEST(CGContext, DrawingTableOfPixels) {
    auto image = drawScene();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(100, 100));
    for (auto& p : kProbes) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        auto px = image->CGImage()->pixelAt(p.x, p.y);
        EXPECT_TRUE(close(px, p.expected, 3)) << show(px) << " vs " << show(p.expected);
    }
}

TEST(CGContext, RadialGradientExtendsOnlyWhenAsked) {
    auto gradient = CGGradient::withColors({UIColor::redColor(), UIColor::blueColor()});
    for (uint32_t options : {0u, unsigned(kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation)}) {
        SCOPED_TRACE(options);
        CGContext c(CGSizeMake(40, 40), 1);
        c.drawRadialGradient(*gradient, CGPointMake(20, 20), 5, CGPointMake(20, 20), 15, options);
        // The pixel centre (30.5, 20.5) lies 10.5 from the centre: 55 % of the way.
        EXPECT_TRUE(close(c.pixelAt(30, 20), {115, 0, 140, 255}, 3)) << show(c.pixelAt(30, 20));
        RGBA inner = c.pixelAt(20, 20), outer = c.pixelAt(1, 1);
        if (options) {
            EXPECT_TRUE(close(inner, {255, 0, 0, 255})) << show(inner);
            EXPECT_TRUE(close(outer, {0, 0, 255, 255})) << show(outer);
        } else {
            EXPECT_EQ(inner[3], 0);
            EXPECT_EQ(outer[3], 0);
        }
    }
}

TEST(CGContext, ScaleAndImagesAndTheUntouchedContext) {
    CGContext empty(CGSizeMake(10, 10), 2);
    EXPECT_FALSE(empty.hasDrawn());
    EXPECT_EQ(empty.pixelWidth(), 20u);
    auto source = drawScene();
    CGContext c(CGSizeMake(50, 50), 2);
    c.drawImage(CGRectMake(0, 0, 50, 50), source->CGImage());  // scaled down to half, at 2 px per point
    EXPECT_TRUE(close(c.pixelAt(10, 10), {255, 0, 0, 255})) << show(c.pixelAt(10, 10));
    EXPECT_TRUE(close(c.pixelAt(80, 20), {0, 255, 0, 255})) << show(c.pixelAt(80, 20));
    // Legacy image contexts nest on the calling thread.
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 4), true, 1);
    EXPECT_NE(UIGraphicsGetCurrentContext(), nullptr);
    auto opaque = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->CGImage()->pixelAt(0, 0), (RGBA{255, 255, 255, 255}));
}

class Painted : public UIView {
public:
    using UIView::UIView;
    bool drawsContent() const override { return true; }
    void drawRect(CGRect rect) override {
        auto* c = UIGraphicsGetCurrentContext();
        c->setFillColor(UIColor::labelColor());  // resolved against the view's traits
        c->fillRect(rect);
    }
};

TEST(CALayer, DisplayKeepsWhatTheViewDrewAndRenderComposesTheTree) {
    auto view = std::make_shared<Painted>(CGRectMake(0, 0, 4, 4));
    view->setOverrideUserInterfaceStyle(UIUserInterfaceStyleDark);
    view->layer()->display();
    auto drawn = view->layer()->contents().objectAs<UIImage>();
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->CGImage()->pixelAt(0, 0), (RGBA{255, 255, 255, 255}));

    auto root = CALayer::layer();
    root->setBounds(CGRectMake(0, 0, 20, 20));
    root->setBackgroundColor(UIColor::blueColor());
    auto child = CALayer::layer();
    child->setFrame(CGRectMake(10, 10, 10, 10));
    child->setBackgroundColor(UIColor::redColor());
    child->setOpacity(0.5);
    root->addSublayer(child);
    CGContext c(CGSizeMake(20, 20), 1);
    root->renderInContext(c);
    EXPECT_TRUE(close(c.pixelAt(5, 5), {0, 0, 255, 255}));
    EXPECT_TRUE(close(c.pixelAt(15, 15), {128, 0, 127, 255})) << show(c.pixelAt(15, 15));
}

TEST(CAShapeLayer, StrokesTheRequestedPartOfAnArcAndAnimatesIt) {
    ManualClock::Scope clock;
    auto shape = CAShapeLayer::layer();
    shape->setBounds(CGRectMake(0, 0, 40, 40));
    // A full circle from the rightmost point, growing angles (clockwise on screen).
    auto circle = UIBezierPath::bezierPathWithArcCenter(CGPointMake(20, 20), 15, 0, 2 * M_PI, true);
    shape->setPath(circle->cgPath());
    shape->setFillColor(nullptr);
    shape->setStrokeColor(UIColor::redColor());
    shape->setLineWidth(4);
    shape->setStrokeEnd(0.5);  // the lower half: right, bottom, left
    struct Probe {
        int x, y;
        bool painted;
    };
    const Probe probes[] = {{20, 35, true}, {35, 22, true}, {20, 5, false}, {20, 20, false}};
    CGContext c(CGSizeMake(40, 40), 1);
    shape->drawInContext(c);
    for (auto& p : probes) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_EQ(c.pixelAt(p.x, p.y)[3] > 128, p.painted) << show(c.pixelAt(p.x, p.y));
    }
    auto half = CAShapeLayer::subpath(*circle->cgPath(), 0.25, 0.75);
    EXPECT_NEAR(half.boundingBox().origin.x, 5, 0.1);  // reaches the leftmost point
    EXPECT_NEAR(CGRectGetMaxY(half.boundingBox()), 35, 0.1);
    EXPECT_TRUE(CAShapeLayer::subpath(*circle->cgPath(), 0.6, 0.6).isEmpty());

    auto grow = CABasicAnimation::animationWithKeyPath("strokeEnd");
    grow->fromValue = Value(0.0);
    grow->toValue = Value(1.0);
    grow->duration = 2;
    shape->addAnimation(grow, "grow");
    ManualClock::advance(0.5);
    auto shown = std::dynamic_pointer_cast<CAShapeLayer>(shape->presentationLayer());
    ASSERT_TRUE(shown);
    EXPECT_NEAR(shown->strokeEnd(), 0.25, 1e-9);
    EXPECT_EQ(shown->path(), shape->path());
    EXPECT_EQ(shape->strokeEnd(), 0.5);
}

TEST(CGContext, PNGReadBackByAnIndependentDecoder) {
    const char* python = "/usr/bin/python3";
    if (std::system((std::string(python) + " -c 'import PIL' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "python3-pil is not installed";
    auto png = UIImagePNGRepresentation(drawScene());
    ASSERT_FALSE(png.empty());
    auto dir = std::filesystem::temp_directory_path() / ("uikit-png-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto file = dir / "scene.png";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    std::string probes;
    for (auto& p : kProbes) probes += std::to_string(p.x) + "," + std::to_string(p.y) + " ";
    std::string command = std::string(python) +
                          " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert(\"RGBA\"); "
                          "print(im.size[0], im.size[1]); "
                          "[print(*im.getpixel(tuple(map(int, p.split(\",\"))))) for p in sys.argv[2:]]' " +
                          file.string() + " " + probes;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, pipe)) out += buf;
    EXPECT_EQ(pclose(pipe), 0);
    std::filesystem::remove_all(dir);
    std::istringstream lines(out);
    int w = 0, h = 0;
    lines >> w >> h;
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 100);
    for (auto& p : kProbes) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        int r, g, b, a;
        ASSERT_TRUE(lines >> r >> g >> b >> a);
        RGBA px{uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)};
        EXPECT_TRUE(close(px, p.expected, 3)) << show(px);
    }
}

}  // namespace
