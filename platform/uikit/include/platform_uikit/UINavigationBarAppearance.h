#pragma once
// From 13: a navigation bar's look as one value: background (default blur,
// opaque or transparent, or a colour or image), the hairline (colour or
// image; clear hides it) and the title's text attributes. Set on a bar (its
// standard, compact and scroll-edge appearances) or on a navigation item.
//
// Main thread. Copy before sharing a changed appearance between bars.

#include <platform_uikit/UIColor.h>

#include <platform_net/UIImage.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <memory>

class UINavigationBarAppearance : public NSObject {
    NS_CLASS(UINavigationBarAppearance, NSObject)
public:
    UINavigationBarAppearance() { configureWithDefaultBackground(); }

    // A blur with the default hairline.
    void configureWithDefaultBackground();
    // The system background colour with the default hairline.
    void configureWithOpaqueBackground();
    // No background and no hairline.
    void configureWithTransparentBackground();

    bool isTranslucent() const { return translucent_; }
    UIColorPtr backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(UIColorPtr color) { backgroundColor_ = std::move(color); }
    UIImagePtr backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(UIImagePtr image) { backgroundImage_ = std::move(image); }
    UIColorPtr shadowColor() const { return shadowColor_; }
    void setShadowColor(UIColorPtr color) { shadowColor_ = std::move(color); }
    UIImagePtr shadowImage() const { return shadowImage_; }
    void setShadowImage(UIImagePtr image) { shadowImage_ = std::move(image); }
    const Value::Dictionary& titleTextAttributes() const { return titleAttributes_; }
    void setTitleTextAttributes(Value::Dictionary attributes) { titleAttributes_ = std::move(attributes); }

    std::shared_ptr<UINavigationBarAppearance> copy() const;

private:
    bool translucent_ = true;
    UIColorPtr backgroundColor_;
    UIImagePtr backgroundImage_;
    UIColorPtr shadowColor_;
    UIImagePtr shadowImage_;
    Value::Dictionary titleAttributes_;
};
