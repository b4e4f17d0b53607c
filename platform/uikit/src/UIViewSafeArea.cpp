// A view's safe area: the window's, clipped down the tree, grown where a
// controller adds insets (its additional insets and the bars over its view).

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include "LayerPointConversion.h"
#include "SafeAreaChange.h"

#include <algorithm>

UIEdgeInsets UIView::safeAreaInsets() const {
    if (!UIKitIsAvailable(11)) return UIEdgeInsetsZero;
    return computedSafeAreaInsets();
}

UIEdgeInsets UIView::computedSafeAreaInsets() const {
    if (!window_) return UIEdgeInsetsZero;
    UIEdgeInsets in{};
    if (static_cast<const UIView*>(window_) == this) {
        in = window_->windowSafeAreaInsets();
    } else if (auto parent = superview()) {
        // Only where the parent has an unsafe band does this view inherit one:
        // the part of the view that lies in that band.
        const UIEdgeInsets p = parent->computedSafeAreaInsets();
        const CGRect safe = UIEdgeInsetsInsetRect(parent->bounds(), p);
        // The view's bounds in the parent: one step up when the layers are parent and child
        // (as views keep them), instead of a conversion through the root and back.
        CGRect r;
        if (layer_->superlayer() == parent->layer_) {
            const CGRect b = bounds();
            CGPoint corners[4] = {{CGRectGetMinX(b), CGRectGetMinY(b)},
                                  {CGRectGetMaxX(b), CGRectGetMinY(b)},
                                  {CGRectGetMinX(b), CGRectGetMaxY(b)},
                                  {CGRectGetMaxX(b), CGRectGetMaxY(b)}};
            uikit_detail::layerPointsToSuperlayer(*layer_, corners, 4);
            r = CGRectBoundingPoints({corners[0], corners[1], corners[2], corners[3]});
        } else {
            r = convertRectToView(bounds(), parent.get());
        }
        auto band = [](double inset, double overlap, double extent) {
            return inset > 0 ? std::clamp(overlap, 0.0, std::max(0.0, extent)) : 0.0;
        };
        in.top = band(p.top, CGRectGetMinY(safe) - CGRectGetMinY(r), r.size.height);
        in.left = band(p.left, CGRectGetMinX(safe) - CGRectGetMinX(r), r.size.width);
        in.bottom = band(p.bottom, CGRectGetMaxY(r) - CGRectGetMaxY(safe), r.size.height);
        in.right = band(p.right, CGRectGetMaxX(r) - CGRectGetMaxX(safe), r.size.width);
    }
    in.top += controllerSafeArea_.top;
    in.left += controllerSafeArea_.left;
    in.bottom += controllerSafeArea_.bottom;
    in.right += controllerSafeArea_.right;
    return in;
}

void tellSafeAreaChanged(UIView& view) {
    view.safeAreaInsetsDidChange();
    view.setNeedsLayout();
    for (const auto& sub : std::vector<UIViewPtr>(view.subviews())) tellSafeAreaChanged(*sub);
}

void UIView::setControllerSafeAreaInsets(UIEdgeInsets insets) {
    if (controllerSafeArea_ == insets) return;
    controllerSafeArea_ = insets;
    tellSafeAreaChanged(*this);
}
