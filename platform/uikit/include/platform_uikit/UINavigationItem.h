#pragma once
// What a controller shows in a navigation bar while it is on a navigation
// stack: a title (or a title view), bar button items on the left and right,
// the item the next controller's back button shows, whether the back
// button hides, and (from 13) an appearance of its own for the bar.
//
// Main thread. The bar showing the item hears its changes.

#include <platform_uikit/UIBarButtonItem.h>

#include <platform_runtime/ObjCDeclare.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UINavigationBarAppearance;

class UINavigationItem : public NSObject {
    NS_CLASS(UINavigationItem, NSObject)
public:
    UINavigationItem() = default;
    explicit UINavigationItem(std::optional<std::string> title) : title_(std::move(title)) {}

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title);
    const UIViewPtr& titleView() const { return titleView_; }
    void setTitleView(UIViewPtr view);

    const std::vector<UIBarButtonItemPtr>& leftBarButtonItems() const { return left_; }
    void setLeftBarButtonItems(std::vector<UIBarButtonItemPtr> items);
    UIBarButtonItemPtr leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }
    void setLeftBarButtonItem(UIBarButtonItemPtr item);
    const std::vector<UIBarButtonItemPtr>& rightBarButtonItems() const { return right_; }
    void setRightBarButtonItems(std::vector<UIBarButtonItemPtr> items);
    UIBarButtonItemPtr rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front(); }
    void setRightBarButtonItem(UIBarButtonItemPtr item);

    // Shown by the back button of the controller above this one.
    const UIBarButtonItemPtr& backBarButtonItem() const { return back_; }
    void setBackBarButtonItem(UIBarButtonItemPtr item);
    bool hidesBackButton() const { return hidesBack_; }
    void setHidesBackButton(bool hides);
    bool leftItemsSupplementBackButton() const { return supplement_; }
    void setLeftItemsSupplementBackButton(bool on);

    // From 13: the bar's look while this item is on top, over the bar's own.
    const std::shared_ptr<UINavigationBarAppearance>& standardAppearance() const { return standard_; }
    void setStandardAppearance(std::shared_ptr<UINavigationBarAppearance> appearance);

    // The bar showing the item hears changes through this.
    void setChangeHandler(std::function<void(UINavigationItem&)> handler) { changed_ = std::move(handler); }

private:
    void changed();

    std::optional<std::string> title_;
    UIViewPtr titleView_;
    std::vector<UIBarButtonItemPtr> left_, right_;
    UIBarButtonItemPtr back_;
    bool hidesBack_ = false;
    bool supplement_ = false;
    std::shared_ptr<UINavigationBarAppearance> standard_;
    std::function<void(UINavigationItem&)> changed_;
};
using UINavigationItemPtr = std::shared_ptr<UINavigationItem>;
