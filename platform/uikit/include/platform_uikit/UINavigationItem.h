#pragma once
// What a controller shows in a navigation bar while it is on a navigation
// stack. Storage only for now: the bar that draws it comes later.
//
// Main thread.

#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <optional>
#include <string>

class UINavigationItem : public NSObject {
    NS_CLASS(UINavigationItem, NSObject)
public:
    UINavigationItem() = default;
    explicit UINavigationItem(std::optional<std::string> title) : title_(std::move(title)) {}

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }

private:
    std::optional<std::string> title_;
};
using UINavigationItemPtr = std::shared_ptr<UINavigationItem>;
