#pragma once
// What a controller shows in a tab bar: title, image and selected image,
// image insets, title offset and badge. `setBadgeValue` runs through the
// class's method slot "setBadgeValue:" (the slot's own implementation stores
// the value and shows it), so a hook exchanged into the slot runs once per
// call. The tab button a tab bar made for the item is its "_view".
//
// UITabBarItem::appearance() is the proxy for title text attributes per
// state and the title offset.
//
// Main thread.

#include <platform_uikit/UIBarItem.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class UITabBarItem;
using UITabBarItemPtr = std::shared_ptr<UITabBarItem>;

class UITabBarItem : public UIBarItem, public UIAppearanceCustomizable {
    NS_CLASS(UITabBarItem, UIBarItem)
public:
    UITabBarItem() = default;
    UITabBarItem(std::optional<std::string> title, UIImagePtr image, int64_t tag);
    UITabBarItem(std::optional<std::string> title, UIImagePtr image, UIImagePtr selectedImage);

    static UITabBarItemPtr appearance() { return UIAppearanceProxyFor<UITabBarItem>(classObject()); }

    // The image while selected; the image when none was set.
    UIImagePtr selectedImage() const { return selectedImage_ ? selectedImage_ : image(); }
    void setSelectedImage(UIImagePtr image);
    UIOffset titlePositionAdjustment() const { return titleOffset_; }
    void setTitlePositionAdjustment(UIOffset offset);
    void setTitleTextAttributes(Value::Dictionary attributes, UIControlState state) override;

    const std::optional<std::string>& badgeValue() const { return badge_; }
    // Through the "setBadgeValue:" slot.
    void setBadgeValue(std::optional<std::string> value);
    UIColorPtr badgeColor() const { return badgeColor_; }
    void setBadgeColor(UIColorPtr color);

    // Takes the values of the appearance proxies the item has not set itself.
    void applyAppearance() { applyAppearanceProxies(objcClass(), classObject()); }

    // What the slot runs.
    void setBadgeValueImplementation(std::optional<std::string> value);

    // The tab bar that shows the item hears changes through this.
    void setChangeHandler(std::function<void(UITabBarItem&)> handler) { changed_ = std::move(handler); }

protected:
    void itemDidChange() override;
    void copyAppearanceValue(const UIAppearanceCustomizable& proxy, const std::string& key) override;

private:
    UIImagePtr selectedImage_;
    UIOffset titleOffset_{};
    std::optional<std::string> badge_;
    UIColorPtr badgeColor_;
    std::function<void(UITabBarItem&)> changed_;

public:
    NS_PROPERTY_ACCESSORS(std::optional<std::string>, badgeValue, "C,N", badgeValue, setBadgeValue)
    NS_PROPERTY_ACCESSORS(UIImagePtr, selectedImage, "&,N", selectedImage, setSelectedImage)
};
