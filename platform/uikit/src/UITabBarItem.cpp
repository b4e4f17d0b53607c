#include <platform_uikit/UITabBarItem.h>

#include <platform_runtime/ObjCRuntime.h>

NS_CLASS_LOAD(UITabBarItem) {
    cls.addMethod("setBadgeValue:", makeInstanceImp<void(std::optional<std::string>)>(
                                        [](NSObject& self, std::optional<std::string> value) {
                                            static_cast<UITabBarItem&>(self).setBadgeValueImplementation(
                                                std::move(value));
                                        }),
                  "v24@0:8@16");
}

namespace {
constexpr char kTitleOffsetKey[] = "titlePositionAdjustment";
const std::string kAttributesKeyPrefix = "titleTextAttributes:";
}  // namespace

UITabBarItem::UITabBarItem(std::optional<std::string> title, UIImagePtr image, int64_t tag) {
    setTitle(std::move(title));
    setImage(std::move(image));
    setTag(tag);
}

UITabBarItem::UITabBarItem(std::optional<std::string> title, UIImagePtr image, UIImagePtr selectedImage) {
    setTitle(std::move(title));
    setImage(std::move(image));
    selectedImage_ = std::move(selectedImage);
}

void UITabBarItem::setSelectedImage(UIImagePtr image) {
    selectedImage_ = std::move(image);
    itemDidChange();
}

void UITabBarItem::setTitlePositionAdjustment(UIOffset offset) {
    noteCustomized(kTitleOffsetKey);
    titleOffset_ = offset;
    itemDidChange();
}

void UITabBarItem::setTitleTextAttributes(Value::Dictionary attributes, UIControlState state) {
    noteCustomized(kAttributesKeyPrefix + std::to_string(state));
    UIBarItem::setTitleTextAttributes(std::move(attributes), state);
}

void UITabBarItem::setBadgeValue(std::optional<std::string> value) {
    invokeMethod<void(std::optional<std::string>)>(*this, "setBadgeValue:", std::move(value));
}

void UITabBarItem::setBadgeValueImplementation(std::optional<std::string> value) {
    if (badge_ == value) return;
    willChangeValueForKey("badgeValue");
    badge_ = std::move(value);
    didChangeValueForKey("badgeValue");
    itemDidChange();
}

void UITabBarItem::setBadgeColor(UIColorPtr color) {
    badgeColor_ = std::move(color);
    itemDidChange();
}

void UITabBarItem::itemDidChange() {
    if (changed_) changed_(*this);
}

void UITabBarItem::copyAppearanceValue(const UIAppearanceCustomizable& proxy, const std::string& key) {
    const auto& from = static_cast<const UITabBarItem&>(proxy);
    if (key == kTitleOffsetKey) {
        setTitlePositionAdjustment(from.titlePositionAdjustment());
    } else if (key.starts_with(kAttributesKeyPrefix)) {
        auto state = static_cast<UIControlState>(std::stoull(key.substr(kAttributesKeyPrefix.size())));
        setTitleTextAttributes(from.titleTextAttributesForState(state), state);
    }
}
