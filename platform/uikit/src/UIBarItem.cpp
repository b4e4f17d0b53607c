#include <platform_uikit/UIBarItem.h>

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIFont.h>
#include <platform_uikit/UIView.h>

UIBarTitleStyle UIBarTitleStyle::fromAttributes(const Value::Dictionary& attributes) {
    UIBarTitleStyle style;
    if (auto it = attributes.find(NSFontAttributeName); it != attributes.end()) style.font = it->second.objectAs<UIFont>();
    if (auto it = attributes.find(NSForegroundColorAttributeName); it != attributes.end())
        style.colour = it->second.objectAs<UIColor>();
    return style;
}

void UIBarItem::setTitle(std::optional<std::string> title) {
    if (title_ == title) return;
    willChangeValueForKey("title");
    title_ = std::move(title);
    didChangeValueForKey("title");
    itemDidChange();
}

void UIBarItem::setImage(UIImagePtr image) {
    image_ = std::move(image);
    itemDidChange();
}

void UIBarItem::setImageInsets(UIEdgeInsets insets) {
    imageInsets_ = insets;
    itemDidChange();
}

void UIBarItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    itemDidChange();
}

void UIBarItem::setTitleTextAttributes(Value::Dictionary attributes, UIControlState state) {
    attributes_[state] = std::move(attributes);
    itemDidChange();
}

Value::Dictionary UIBarItem::titleTextAttributesForState(UIControlState state) const {
    if (auto it = attributes_.find(state); it != attributes_.end()) return it->second;
    if (auto it = attributes_.find(UIControlStateNormal); it != attributes_.end()) return it->second;
    return {};
}

Value UIBarItem::valueForUndefinedKey(const std::string& key) const {
    if (key == "_view") {
        if (auto view = itemView()) return Value(std::static_pointer_cast<NSObject>(view));
        return Value();
    }
    return NSObject::valueForUndefinedKey(key);
}
