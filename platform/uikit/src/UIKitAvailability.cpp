// Which classes and selectors exist on the operating-system version the
// process reports: respondsToSelector and NSClassFromString answer by it.

#include <platform_uikit/UIColor.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIFeedbackGenerator.h>
#include <platform_uikit/UIView.h>

#include <platform_runtime/ObjCAvailability.h>
#include <platform_runtime/ObjCDeclare.h>

namespace {

ObjCAvailability since(int64_t major) {
    return [major] { return UIKitIsAvailable(major); };
}

}  // namespace

NS_CLASS_LOAD(UIView) {
    // Safe areas and adjusted insets arrived with 11, the interface-style override with 13.
    const std::pair<const char*, int64_t> selectors[] = {
        {"safeAreaInsets", 11},
        {"safeAreaLayoutGuide", 11},
        {"safeAreaInsetsDidChange", 11},
        {"insetsLayoutMarginsFromSafeArea", 11},
        {"directionalLayoutMargins", 11},
        {"overrideUserInterfaceStyle", 13},
        {"setOverrideUserInterfaceStyle:", 13},
    };
    std::vector<std::string> names;
    for (auto& [selector, major] : selectors) {
        names.emplace_back(selector);
        objc_setSelectorAvailability(cls, selector, since(major));
    }
    cls.addInstanceSelectors(std::move(names));
}

NS_CLASS_LOAD(UIColor) {
    // The system colours (class methods by name) arrived with 13.
    for (const char* name :
         {"systemBlueColor", "systemRedColor", "systemGreenColor", "systemOrangeColor", "systemYellowColor",
          "systemGrayColor", "systemBackgroundColor", "secondarySystemBackgroundColor",
          "systemGroupedBackgroundColor", "labelColor", "secondaryLabelColor", "tertiaryLabelColor",
          "separatorColor", "linkColor"}) {
        std::string selector = name;
        cls.addClassOperation(selector, [selector](ObjCClass&, const Value::Array&) {
            return Value(UIColor::colorNamed(selector));
        });
        objc_setSelectorAvailability(cls, selector, since(13));
    }
    for (const char* name : {"blackColor", "whiteColor", "clearColor", "redColor", "greenColor", "blueColor",
                             "grayColor", "lightGrayColor", "darkGrayColor", "yellowColor", "orangeColor",
                             "purpleColor", "brownColor", "cyanColor", "magentaColor"}) {
        std::string selector = name;
        cls.addClassOperation(selector, [selector](ObjCClass&, const Value::Array&) {
            return Value(UIColor::colorNamed(selector));
        });
    }
}

// Haptics arrived with 10.
NS_CLASS_LOAD(UIFeedbackGenerator) { objc_setClassAvailability(cls, since(10)); }
NS_CLASS_LOAD(UINotificationFeedbackGenerator) { objc_setClassAvailability(cls, since(10)); }
NS_CLASS_LOAD(UIImpactFeedbackGenerator) { objc_setClassAvailability(cls, since(10)); }
NS_CLASS_LOAD(UISelectionFeedbackGenerator) { objc_setClassAvailability(cls, since(10)); }
