#include <platform_uikit/UIColor.h>

#include <platform_uikit/UIDevice.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace {

double clamp01(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }

UIColorPtr rgb255(int r, int g, int b, double a = 1) { return UIColor::colorWithRed(r / 255.0, g / 255.0, b / 255.0, a); }

UIColorPtr fixed(double r, double g, double b, double a, const char* name) {
    return std::make_shared<UIColor>(r, g, b, a, name);
}

// A shared colour made once.
#define UICOLOR_CONSTANT(selector, expr)        \
    UIColorPtr UIColor::selector() {            \
        static const UIColorPtr color = (expr); \
        return color;                           \
    }

UIColorPtr system(int lr, int lg, int lb, double la, int dr, int dg, int db, double da, const char* name) {
    return UIColor::dynamicColor(rgb255(lr, lg, lb, la), rgb255(dr, dg, db, da), name);
}

}  // namespace

UIColor::UIColor(double red, double green, double blue, double alpha, std::string name)
    : c_{clamp01(red), clamp01(green), clamp01(blue), clamp01(alpha)}, name_(std::move(name)) {}

UIColorPtr UIColor::colorWithRed(double red, double green, double blue, double alpha) {
    return std::make_shared<UIColor>(red, green, blue, alpha);
}

UIColorPtr UIColor::colorWithWhite(double white, double alpha) { return colorWithRed(white, white, white, alpha); }

UIColorPtr UIColor::colorWithHue(double hue, double saturation, double brightness, double alpha) {
    double h = clamp01(hue) * 6, s = clamp01(saturation), v = clamp01(brightness);
    int sector = static_cast<int>(std::floor(h)) % 6;
    double f = h - std::floor(h), p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    static const int order[6][3] = {{0, 3, 1}, {2, 0, 1}, {1, 0, 3}, {1, 2, 0}, {3, 1, 0}, {0, 1, 2}};
    double values[4] = {v, p, q, t};
    return colorWithRed(values[order[sector][0]], values[order[sector][1]], values[order[sector][2]], alpha);
}

UIColorPtr UIColor::colorWithDynamicProvider(Provider provider) {
    auto color = std::make_shared<UIColor>();
    if (provider) color->provider_ = std::make_shared<Provider>(std::move(provider));
    return color;
}

UIColorPtr UIColor::dynamicColor(UIColorPtr light, UIColorPtr dark, std::string name) {
    auto color = colorWithDynamicProvider([light, dark](const UITraitCollection& traits) {
        return traits.userInterfaceStyle() == UIUserInterfaceStyleDark ? dark : light;
    });
    color->name_ = std::move(name);
    return color;
}

UICOLOR_CONSTANT(blackColor, fixed(0, 0, 0, 1, "blackColor"))
UICOLOR_CONSTANT(whiteColor, fixed(1, 1, 1, 1, "whiteColor"))
UICOLOR_CONSTANT(clearColor, fixed(0, 0, 0, 0, "clearColor"))
UICOLOR_CONSTANT(redColor, fixed(1, 0, 0, 1, "redColor"))
UICOLOR_CONSTANT(greenColor, fixed(0, 1, 0, 1, "greenColor"))
UICOLOR_CONSTANT(blueColor, fixed(0, 0, 1, 1, "blueColor"))
UICOLOR_CONSTANT(grayColor, fixed(0.5, 0.5, 0.5, 1, "grayColor"))
UICOLOR_CONSTANT(lightGrayColor, fixed(2.0 / 3, 2.0 / 3, 2.0 / 3, 1, "lightGrayColor"))
UICOLOR_CONSTANT(darkGrayColor, fixed(1.0 / 3, 1.0 / 3, 1.0 / 3, 1, "darkGrayColor"))
UICOLOR_CONSTANT(yellowColor, fixed(1, 1, 0, 1, "yellowColor"))
UICOLOR_CONSTANT(orangeColor, fixed(1, 0.5, 0, 1, "orangeColor"))
UICOLOR_CONSTANT(purpleColor, fixed(0.5, 0, 0.5, 1, "purpleColor"))
UICOLOR_CONSTANT(brownColor, fixed(0.6, 0.4, 0.2, 1, "brownColor"))
UICOLOR_CONSTANT(cyanColor, fixed(0, 1, 1, 1, "cyanColor"))
UICOLOR_CONSTANT(magentaColor, fixed(1, 0, 1, 1, "magentaColor"))
UICOLOR_CONSTANT(groupTableViewBackgroundColor, system(242, 242, 247, 1, 0, 0, 0, 1, "groupTableViewBackgroundColor"))
UICOLOR_CONSTANT(systemBlueColor, system(0, 122, 255, 1, 10, 132, 255, 1, "systemBlueColor"))
UICOLOR_CONSTANT(systemRedColor, system(255, 59, 48, 1, 255, 69, 58, 1, "systemRedColor"))
UICOLOR_CONSTANT(systemGreenColor, system(52, 199, 89, 1, 48, 209, 88, 1, "systemGreenColor"))
UICOLOR_CONSTANT(systemOrangeColor, system(255, 149, 0, 1, 255, 159, 10, 1, "systemOrangeColor"))
UICOLOR_CONSTANT(systemYellowColor, system(255, 204, 0, 1, 255, 214, 10, 1, "systemYellowColor"))
UICOLOR_CONSTANT(systemGrayColor, system(142, 142, 147, 1, 142, 142, 147, 1, "systemGrayColor"))
UICOLOR_CONSTANT(systemBackgroundColor, system(255, 255, 255, 1, 0, 0, 0, 1, "systemBackgroundColor"))
UICOLOR_CONSTANT(secondarySystemBackgroundColor,
                 system(242, 242, 247, 1, 28, 28, 30, 1, "secondarySystemBackgroundColor"))
UICOLOR_CONSTANT(systemGroupedBackgroundColor, system(242, 242, 247, 1, 0, 0, 0, 1, "systemGroupedBackgroundColor"))
UICOLOR_CONSTANT(labelColor, system(0, 0, 0, 1, 255, 255, 255, 1, "labelColor"))
UICOLOR_CONSTANT(secondaryLabelColor, system(60, 60, 67, 0.6, 235, 235, 245, 0.6, "secondaryLabelColor"))
UICOLOR_CONSTANT(tertiaryLabelColor, system(60, 60, 67, 0.3, 235, 235, 245, 0.3, "tertiaryLabelColor"))
UICOLOR_CONSTANT(separatorColor, system(60, 60, 67, 0.29, 84, 84, 88, 0.6, "separatorColor"))
UICOLOR_CONSTANT(linkColor, system(0, 122, 255, 1, 9, 132, 255, 1, "linkColor"))

UIColorPtr UIColor::colorNamed(const std::string& selectorName) {
    static const std::map<std::string, UIColorPtr (*)()> table = {
        {"blackColor", blackColor},
        {"whiteColor", whiteColor},
        {"clearColor", clearColor},
        {"redColor", redColor},
        {"greenColor", greenColor},
        {"blueColor", blueColor},
        {"grayColor", grayColor},
        {"lightGrayColor", lightGrayColor},
        {"darkGrayColor", darkGrayColor},
        {"yellowColor", yellowColor},
        {"orangeColor", orangeColor},
        {"purpleColor", purpleColor},
        {"brownColor", brownColor},
        {"cyanColor", cyanColor},
        {"magentaColor", magentaColor},
        {"groupTableViewBackgroundColor", groupTableViewBackgroundColor},
        {"systemBlueColor", systemBlueColor},
        {"systemRedColor", systemRedColor},
        {"systemGreenColor", systemGreenColor},
        {"systemOrangeColor", systemOrangeColor},
        {"systemYellowColor", systemYellowColor},
        {"systemGrayColor", systemGrayColor},
        {"systemBackgroundColor", systemBackgroundColor},
        {"secondarySystemBackgroundColor", secondarySystemBackgroundColor},
        {"systemGroupedBackgroundColor", systemGroupedBackgroundColor},
        {"labelColor", labelColor},
        {"secondaryLabelColor", secondaryLabelColor},
        {"tertiaryLabelColor", tertiaryLabelColor},
        {"separatorColor", separatorColor},
        {"linkColor", linkColor},
    };
    auto it = table.find(selectorName);
    return it == table.end() ? nullptr : it->second();
}

UIColorPtr UIColor::resolvedColorWithTraitCollection(const UITraitCollection& traits) const {
    auto self = std::static_pointer_cast<UIColor>(std::const_pointer_cast<NSObject>(shared_from_this()));
    if (!provider_) return self;
    // A provider may answer another dynamic colour; a bounded chain ends it.
    UIColorPtr color = self;
    for (int depth = 0; depth < 8 && color && color->provider_; ++depth) color = (*color->provider_)(traits);
    if (!color || color->provider_) return UIColor::clearColor();
    return color;
}

std::array<double, 4> UIColor::rgba() const {
    if (!provider_) return c_;
    return resolvedColorWithTraitCollection(*UITraitCollection::currentTraitCollection())->c_;
}

bool UIColor::getRed(double* red, double* green, double* blue, double* alpha) const {
    auto c = rgba();
    if (red) *red = c[0];
    if (green) *green = c[1];
    if (blue) *blue = c[2];
    if (alpha) *alpha = c[3];
    return true;
}

bool UIColor::getWhite(double* white, double* alpha) const {
    auto c = rgba();
    // Luminance of an sRGB colour (its grey equivalent).
    if (white) *white = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
    if (alpha) *alpha = c[3];
    return true;
}

UIColorPtr UIColor::colorWithAlphaComponent(double alpha) const {
    if (provider_) {
        auto base = std::static_pointer_cast<const UIColor>(shared_from_this());
        return colorWithDynamicProvider([base, alpha](const UITraitCollection& traits) {
            return base->resolvedColorWithTraitCollection(traits)->colorWithAlphaComponent(alpha);
        });
    }
    return colorWithRed(c_[0], c_[1], c_[2], alpha);
}

std::array<uint8_t, 4> UIColor::rgba8() const {
    auto c = rgba();
    std::array<uint8_t, 4> out{};
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(std::lround(c[i] * 255));
    return out;
}

bool UIColor::isEqual(const NSObject& other) const {
    auto* o = dynamic_cast<const UIColor*>(&other);
    if (!o) return false;
    if (provider_ || o->provider_) return provider_ == o->provider_;
    return c_ == o->c_;
}

std::size_t UIColor::hash() const {
    if (provider_) return std::hash<const void*>()(provider_.get());
    std::size_t h = 0;
    for (double v : c_) h = h * 31 + static_cast<std::size_t>(std::lround(v * 255));
    return h;
}

std::string UIColor::description() const {
    auto c = rgba();
    char text[96];
    std::snprintf(text, sizeof text, "UIExtendedSRGBColorSpace %g %g %g %g", c[0], c[1], c[2], c[3]);
    return text;
}

bool UIColorsEqual(const UIColorPtr& a, const UIColorPtr& b) {
    if (!a || !b) return !a && !b;
    return a->isEqual(*b);
}
