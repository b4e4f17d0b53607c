#pragma once
// What a controller shows in a tab bar: title, image and tag. Storage only
// for now: the bar that draws it comes later.
//
// Main thread.

#include <platform_net/UIImage.h>
#include <platform_runtime/ObjCDeclare.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class UITabBarItem : public NSObject {
    NS_CLASS(UITabBarItem, NSObject)
public:
    UITabBarItem() = default;
    UITabBarItem(std::optional<std::string> title, UIImagePtr image, int64_t tag)
        : title_(std::move(title)), image_(std::move(image)), tag_(tag) {}

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    const UIImagePtr& image() const { return image_; }
    void setImage(UIImagePtr image) { image_ = std::move(image); }
    int64_t tag() const { return tag_; }
    void setTag(int64_t tag) { tag_ = tag; }

private:
    std::optional<std::string> title_;
    UIImagePtr image_;
    int64_t tag_ = 0;
};
using UITabBarItemPtr = std::shared_ptr<UITabBarItem>;
