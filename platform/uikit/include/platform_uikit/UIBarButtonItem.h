#pragma once
// A button in a navigation bar: a title, an image or a custom view, with a
// target and action sent when it is tapped. The bar shows a custom view as
// it is and makes a _UIButtonBarButton for the others; key-value coding
// answers that view under "_view" (the custom view for custom items).
//
// Main thread. The item holds its custom view, not the target.

#include <platform_uikit/UIBarItem.h>
#include <platform_uikit/UIButton.h>

#include <functional>
#include <memory>
#include <string>

enum UIBarButtonItemStyle : int64_t {
    UIBarButtonItemStylePlain = 0,
    UIBarButtonItemStyleBordered = 1,
    UIBarButtonItemStyleDone = 2,
};

// The view a bar makes for an item without a custom view (and the back button).
class _UIButtonBarButton : public UIButton {
    NS_CLASS(_UIButtonBarButton, UIButton)
};

class UIBarButtonItem : public UIBarItem {
    NS_CLASS(UIBarButtonItem, UIBarItem)
public:
    using Action = std::function<void(UIBarButtonItem& sender)>;

    UIBarButtonItem() = default;
    // `action` runs on a tap while `target` lives (a null target: always).
    static std::shared_ptr<UIBarButtonItem> withTitle(std::string title, UIBarButtonItemStyle style,
                                                      std::shared_ptr<NSObject> target, std::string selector,
                                                      Action action);
    static std::shared_ptr<UIBarButtonItem> withImage(UIImagePtr image, UIBarButtonItemStyle style,
                                                      std::shared_ptr<NSObject> target, std::string selector,
                                                      Action action);
    static std::shared_ptr<UIBarButtonItem> withCustomView(UIViewPtr view);

    const UIViewPtr& customView() const { return customView_; }
    void setCustomView(UIViewPtr view);
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    const std::string& action() const { return selector_; }
    void setTarget(std::shared_ptr<NSObject> target, std::string selector, Action action);
    UIColorPtr tintColor() const { return tint_; }
    void setTintColor(UIColorPtr color);

    // The custom view, else the button a bar made (nothing before).
    UIViewPtr itemView() const override;
    // The button a bar shows for this item (made on first use; the custom view is not one).
    std::shared_ptr<_UIButtonBarButton> barButton();
    // Sends the action as a tap does.
    void sendAction();

protected:
    void itemDidChange() override;

private:
    void refreshButton();

    UIViewPtr customView_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    std::weak_ptr<NSObject> target_;
    bool hasTarget_ = false;
    std::string selector_;
    Action action_;
    UIColorPtr tint_;
    std::shared_ptr<_UIButtonBarButton> button_;
};
using UIBarButtonItemPtr = std::shared_ptr<UIBarButtonItem>;
