#pragma once
// What tab bar items and bar button items share: title, image, image insets,
// tag, enabled, and title text attributes per control state. A bar that
// shows an item makes a view for it; key-value coding answers that view
// under "_view" (nothing before a bar showed the item).
//
// Main thread. An item does not hold its view: the bar does.

#include <platform_uikit/UIAppearance.h>
#include <platform_uikit/UIControl.h>

#include <platform_net/UIImage.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

class UIFont;
class UIColor;

// The font (NSFont) and colour (NSColor) a bar's text attributes give; nothing for what they lack.
struct UIBarTitleStyle {
    std::shared_ptr<UIFont> font;
    std::shared_ptr<UIColor> colour;
    static UIBarTitleStyle fromAttributes(const Value::Dictionary& attributes);
};

class UIBarItem : public NSObject {
    NS_CLASS(UIBarItem, NSObject)
public:
    UIBarItem() = default;

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    const UIImagePtr& image() const { return image_; }
    void setImage(UIImagePtr image);
    UIEdgeInsets imageInsets() const { return imageInsets_; }
    void setImageInsets(UIEdgeInsets insets);
    int64_t tag() const { return tag_; }
    void setTag(int64_t tag) { tag_ = tag; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // Attributes (NSFont, NSColor, ...) for a state; a state without its own
    // falls back to the normal state's.
    virtual void setTitleTextAttributes(Value::Dictionary attributes, UIControlState state);
    Value::Dictionary titleTextAttributesForState(UIControlState state) const;
    bool hasTitleTextAttributesForState(UIControlState state) const { return attributes_.count(state) != 0; }

    // The view a bar made for this item (tab button, bar button view); nothing before.
    virtual UIViewPtr itemView() const { return view_.lock(); }
    void setItemView(const UIViewPtr& view) { view_ = view; }

    Value valueForUndefinedKey(const std::string& key) const override;

protected:
    // Called after a shown property changed, so the item's view can follow.
    virtual void itemDidChange() {}

private:
    std::optional<std::string> title_;
    UIImagePtr image_;
    UIEdgeInsets imageInsets_{};
    int64_t tag_ = 0;
    bool enabled_ = true;
    std::map<UIControlState, Value::Dictionary> attributes_;
    std::weak_ptr<UIView> view_;

public:
    NS_PROPERTY_ACCESSORS(std::optional<std::string>, title, "C,N", title, setTitle)
    NS_PROPERTY_ACCESSORS(int64_t, tag, "N", tag, setTag)
    NS_PROPERTY_ACCESSORS(bool, enabled, "N,GisEnabled", isEnabled, setEnabled)
};
