#pragma once
// A colour: fixed RGBA components (0...1, sRGB), or a dynamic colour that
// picks one of those for the trait collection it is resolved against (the
// system colours are dynamic: they change with light and dark style).
//
// Immutable; shared freely between threads.

#include <platform_uikit/UITraitCollection.h>

#include <platform_runtime/ObjCDeclare.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

class UIColor;
using UIColorPtr = std::shared_ptr<UIColor>;

class UIColor : public NSObject {
    NS_CLASS(UIColor, NSObject)
public:
    using Provider = std::function<UIColorPtr(const UITraitCollection&)>;

    UIColor() = default;
    UIColor(double red, double green, double blue, double alpha, std::string name = {});

    // Components are clamped to 0...1.
    static UIColorPtr colorWithRed(double red, double green, double blue, double alpha);
    static UIColorPtr colorWithWhite(double white, double alpha);
    static UIColorPtr colorWithHue(double hue, double saturation, double brightness, double alpha);
    // A dynamic colour; the provider is asked at every resolution.
    static UIColorPtr colorWithDynamicProvider(Provider provider);
    // Light and dark variants (what the system colours are made of).
    static UIColorPtr dynamicColor(UIColorPtr light, UIColorPtr dark, std::string name);

    static UIColorPtr blackColor();
    static UIColorPtr whiteColor();
    static UIColorPtr clearColor();
    static UIColorPtr redColor();
    static UIColorPtr greenColor();
    static UIColorPtr blueColor();
    static UIColorPtr grayColor();
    static UIColorPtr lightGrayColor();
    static UIColorPtr darkGrayColor();
    static UIColorPtr yellowColor();
    static UIColorPtr orangeColor();
    static UIColorPtr purpleColor();
    static UIColorPtr brownColor();
    static UIColorPtr cyanColor();
    static UIColorPtr magentaColor();
    static UIColorPtr groupTableViewBackgroundColor();
    // System colours (OS 13 and later report them as available).
    static UIColorPtr systemBlueColor();
    static UIColorPtr systemRedColor();
    static UIColorPtr systemGreenColor();
    static UIColorPtr systemOrangeColor();
    static UIColorPtr systemYellowColor();
    static UIColorPtr systemGrayColor();
    static UIColorPtr systemBackgroundColor();
    static UIColorPtr secondarySystemBackgroundColor();
    static UIColorPtr systemGroupedBackgroundColor();
    static UIColorPtr labelColor();
    static UIColorPtr secondaryLabelColor();
    static UIColorPtr tertiaryLabelColor();
    static UIColorPtr separatorColor();
    static UIColorPtr linkColor();
    // A colour by its name ("systemBlueColor", "redColor", ...); nullptr if unknown.
    static UIColorPtr colorNamed(const std::string& selectorName);

    bool isDynamic() const { return static_cast<bool>(provider_); }
    // This colour's fixed variant for `traits` (itself when not dynamic).
    UIColorPtr resolvedColorWithTraitCollection(const UITraitCollection& traits) const;
    // Components resolved against the current trait collection.
    std::array<double, 4> rgba() const;
    bool getRed(double* red, double* green, double* blue, double* alpha) const;
    bool getWhite(double* white, double* alpha) const;
    double alpha() const { return rgba()[3]; }
    UIColorPtr colorWithAlphaComponent(double alpha) const;
    // 8-bit RGBA of the resolved colour, rounded.
    std::array<uint8_t, 4> rgba8() const;
    const std::string& name() const { return name_; }

    // Fixed colours: equal components; dynamic: the same provider object.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;
    // "UIExtendedSRGBColorSpace 1 0 0 1" style text.
    std::string description() const override;

private:
    std::array<double, 4> c_{0, 0, 0, 1};
    std::string name_;
    std::shared_ptr<Provider> provider_;
};

// Equal as colours (both null counts as equal).
bool UIColorsEqual(const UIColorPtr& a, const UIColorPtr& b);
