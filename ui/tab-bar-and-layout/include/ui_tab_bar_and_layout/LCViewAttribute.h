#pragma once
// One layout attribute of one view, or of a layout item that belongs to the
// view (its safe-area guide, a controller's layout guide): a target of a
// constraint chain. Immutable.
//
// Main thread. The view and the item are held weakly.

#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIView.h>

#include <memory>

class LCViewAttribute : public NSObject {
    NS_CLASS(LCViewAttribute, NSObject)
public:
    // initWithView:layoutAttribute: (the item is the view).
    LCViewAttribute(const UIViewPtr& view, NSLayoutAttribute attribute) : LCViewAttribute(view, view, attribute) {}
    // initWithView:item:layoutAttribute:
    LCViewAttribute(const UIViewPtr& view, const std::shared_ptr<NSObject>& item, NSLayoutAttribute attribute)
        : view_(view), item_(item), attribute_(attribute) {}

    UIViewPtr view() const { return view_.lock(); }
    std::shared_ptr<NSObject> item() const { return item_.lock(); }
    NSLayoutAttribute layoutAttribute() const { return attribute_; }
    bool isSizeAttribute() const {
        return attribute_ == NSLayoutAttributeWidth || attribute_ == NSLayoutAttributeHeight;
    }

    // Same class (or a subclass), same view, same attribute; the item is not compared.
    bool isEqual(const NSObject& other) const override;
    std::size_t hash() const override;

private:
    std::weak_ptr<UIView> view_;
    std::weak_ptr<NSObject> item_;
    NSLayoutAttribute attribute_;
};
using LCViewAttributePtr = std::shared_ptr<LCViewAttribute>;
