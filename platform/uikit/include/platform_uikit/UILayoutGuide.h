#pragma once
// A layout guide: a rectangle that belongs to a view and takes part in its
// constraints without being a view. A view's safe-area guide follows the
// view's safe area; a controller's top and bottom layout guides cover the
// safe-area insets at the top and bottom of its view.
//
// Main thread. The guide holds its owning view weakly; the view holds the guide.

#include <platform_runtime/Geometry.h>
#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <string>

class UIView;

class UILayoutGuide : public NSObject {
    NS_CLASS(UILayoutGuide, NSObject)
public:
    enum class Kind { SafeArea, TopLayoutGuide, BottomLayoutGuide };
    UILayoutGuide(Kind kind, std::weak_ptr<UIView> owningView) : kind_(kind), owningView_(std::move(owningView)) {}

    Kind kind() const { return kind_; }
    std::shared_ptr<UIView> owningView() const { return owningView_.lock(); }
    // The guide's rectangle in its owning view's bounds space.
    CGRect layoutFrame() const;
    // Of the top and bottom guides: their height.
    double length() const { return layoutFrame().size.height; }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

private:
    Kind kind_;
    std::weak_ptr<UIView> owningView_;
    std::string identifier_;
};
using UILayoutGuidePtr = std::shared_ptr<UILayoutGuide>;
