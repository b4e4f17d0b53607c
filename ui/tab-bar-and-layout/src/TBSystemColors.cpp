#include <ui_tab_bar_and_layout/TBSystemColors.h>

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIGraphics.h>
#include <platform_uikit/UIImageNamed.h>
#include <platform_uikit/UITraitCollection.h>
#include <platform_uikit/UIView.h>

#include <map>

namespace {

struct Fallback {
    double r, g, b, a;
};

const std::map<std::string, Fallback, std::less<>>& fallbacks() {
    static const std::map<std::string, Fallback, std::less<>> table = {
        {"systemRedColor", {255, 59, 48, 1.0}},
        {"systemGreenColor", {52, 199, 89, 1.0}},
        {"systemBlueColor", {0, 122, 255, 1.0}},
        {"systemOrangeColor", {255, 149, 0, 1.0}},
        {"systemYellowColor", {255, 204, 0, 1.0}},
        {"systemPinkColor", {255, 45, 85, 1.0}},
        {"systemPurpleColor", {175, 82, 222, 1.0}},
        {"systemTealColor", {90, 200, 250, 1.0}},
        {"systemIndigoColor", {88, 86, 214, 1.0}},
        {"systemGrayColor", {142, 142, 147, 1.0}},
        {"systemGray2Color", {174, 174, 178, 1.0}},
        {"systemGray3Color", {199, 199, 204, 1.0}},
        {"systemGray4Color", {209, 209, 214, 1.0}},
        {"systemGray5Color", {229, 229, 234, 1.0}},
        {"systemGray6Color", {242, 242, 247, 1.0}},
        {"labelColor", {0, 0, 0, 1.0}},
        {"secondaryLabelColor", {60, 60, 67, 0.6}},
        {"tertiaryLabelColor", {60, 60, 67, 0.3}},
        {"quaternaryLabelColor", {60, 60, 67, 0.18}},
        {"linkColor", {0, 122, 255, 1.0}},
        {"placeholderTextColor", {60, 60, 67, 0.3}},
        {"separatorColor", {60, 60, 67, 0.29}},
        {"opaqueSeparatorColor", {198, 198, 200, 1.0}},
        {"systemBackgroundColor", {255, 255, 255, 1.0}},
        {"secondarySystemBackgroundColor", {242, 242, 247, 1.0}},
        {"tertiarySystemBackgroundColor", {255, 255, 255, 1.0}},
        {"systemGroupedBackgroundColor", {242, 242, 247, 1.0}},
        {"secondarySystemGroupedBackgroundColor", {255, 255, 255, 1.0}},
        {"tertiarySystemGroupedBackgroundColor", {242, 242, 247, 1.0}},
        {"systemFillColor", {120, 120, 128, 0.2}},
        {"secondarySystemFillColor", {120, 120, 128, 0.16}},
        {"tertiarySystemFillColor", {118, 118, 128, 0.12}},
        {"quaternarySystemFillColor", {116, 116, 128, 0.08}},
        {"lightTextColor", {255, 255, 255, 0.6}},
        {"darkTextColor", {0, 0, 0, 1.0}},
        {"systemBrownColor", {162, 132, 94, 1.0}},
    };
    return table;
}

bool darkStyle(const NSObject* owner) {
    UITraitCollectionPtr traits;
    if (auto* view = dynamic_cast<const UIView*>(owner)) traits = view->traitCollection();
    if (!traits) traits = UITraitCollection::currentTraitCollection();
    return traits && traits->userInterfaceStyle() == UIUserInterfaceStyleDark;
}

}  // namespace

UIColorPtr tb_systemColorNamed(const std::string& name) {
    if (UIKitIsAvailable(13))
        if (auto colour = UIColor::colorNamed(name)) return colour;
    auto it = fallbacks().find(name);
    if (it == fallbacks().end()) return nullptr;
    const Fallback& f = it->second;
    return UIColor::colorWithRed(f.r / 255.0, f.g / 255.0, f.b / 255.0, f.a);
}

#define TB_COLOUR(fn, name) \
    UIColorPtr fn() { return tb_systemColorNamed(name); }
TB_COLOUR(tb_systemRedColor, "systemRedColor")
TB_COLOUR(tb_systemGreenColor, "systemGreenColor")
TB_COLOUR(tb_systemBlueColor, "systemBlueColor")
TB_COLOUR(tb_systemOrangeColor, "systemOrangeColor")
TB_COLOUR(tb_systemYellowColor, "systemYellowColor")
TB_COLOUR(tb_systemPinkColor, "systemPinkColor")
TB_COLOUR(tb_systemPurpleColor, "systemPurpleColor")
TB_COLOUR(tb_systemTealColor, "systemTealColor")
TB_COLOUR(tb_systemIndigoColor, "systemIndigoColor")
TB_COLOUR(tb_systemGrayColor, "systemGrayColor")
TB_COLOUR(tb_systemGray2Color, "systemGray2Color")
TB_COLOUR(tb_systemGray3Color, "systemGray3Color")
TB_COLOUR(tb_systemGray4Color, "systemGray4Color")
TB_COLOUR(tb_systemGray5Color, "systemGray5Color")
TB_COLOUR(tb_systemGray6Color, "systemGray6Color")
TB_COLOUR(tb_labelColor, "labelColor")
TB_COLOUR(tb_secondaryLabelColor, "secondaryLabelColor")
TB_COLOUR(tb_tertiaryLabelColor, "tertiaryLabelColor")
TB_COLOUR(tb_quaternaryLabelColor, "quaternaryLabelColor")
TB_COLOUR(tb_linkColor, "linkColor")
TB_COLOUR(tb_placeholderTextColor, "placeholderTextColor")
TB_COLOUR(tb_separatorColor, "separatorColor")
TB_COLOUR(tb_opaqueSeparatorColor, "opaqueSeparatorColor")
TB_COLOUR(tb_systemBackgroundColor, "systemBackgroundColor")
TB_COLOUR(tb_secondarySystemBackgroundColor, "secondarySystemBackgroundColor")
TB_COLOUR(tb_tertiarySystemBackgroundColor, "tertiarySystemBackgroundColor")
TB_COLOUR(tb_systemGroupedBackgroundColor, "systemGroupedBackgroundColor")
TB_COLOUR(tb_secondarySystemGroupedBackgroundColor, "secondarySystemGroupedBackgroundColor")
TB_COLOUR(tb_tertiarySystemGroupedBackgroundColor, "tertiarySystemGroupedBackgroundColor")
TB_COLOUR(tb_systemFillColor, "systemFillColor")
TB_COLOUR(tb_secondarySystemFillColor, "secondarySystemFillColor")
TB_COLOUR(tb_tertiarySystemFillColor, "tertiarySystemFillColor")
TB_COLOUR(tb_quaternarySystemFillColor, "quaternarySystemFillColor")
TB_COLOUR(tb_lightTextColor, "lightTextColor")
TB_COLOUR(tb_darkTextColor, "darkTextColor")
TB_COLOUR(tb_systemBrownColor, "systemBrownColor")
#undef TB_COLOUR

UIImagePtr tb_imageWithColor(const UIColorPtr& color, CGSize size) {
    if (!color || size.width <= 0 || size.height <= 0) return nullptr;
    UIGraphicsImageRendererFormat format;
    format.opaque = false;
    UIGraphicsImageRenderer renderer(size, format);
    auto image = renderer.imageWithActions([&](UIGraphicsImageRendererContext& context) {
        context.cgContext().setFillColor(color);
        context.fillRect(CGRectMake(0, 0, size.width, size.height));
    });
    return image ? image->imageWithRenderingMode(UIImageRenderingModeAlwaysOriginal) : nullptr;
}

UIImagePtr tb_lightOrDarkModeImageWithOwner(const NSObject* owner, UIImagePtr light, UIImagePtr dark) {
    if (!UIKitIsAvailable(13)) return light;
    return darkStyle(owner) ? dark : light;
}

UIImagePtr tb_lightOrDarkModeImageWithLightImage(UIImagePtr light, UIImagePtr dark) {
    return tb_lightOrDarkModeImageWithOwner(nullptr, std::move(light), std::move(dark));
}

UIImagePtr tb_lightOrDarkModeImageWithOwner(const NSObject* owner, const std::string& lightName,
                                            const std::string& darkName) {
    return tb_lightOrDarkModeImageWithOwner(owner, UIImageNamed(lightName), UIImageNamed(darkName));
}

UIImagePtr tb_assetImageName(const std::string& name, int64_t userInterfaceStyle) {
    if (!UIKitIsAvailable(13)) return UIImageNamed(name);
    return UIImageNamed(name, nullptr,
                        UITraitCollection::traitCollectionWithUserInterfaceStyle(
                            static_cast<UIUserInterfaceStyle>(userInterfaceStyle)));
}
