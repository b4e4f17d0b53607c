// A view's safe area: the window's, clipped down the tree, grown where a
// controller adds insets (its additional insets and the bars over its view).

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include "LayerPointConversion.h"
#include "SafeAreaChange.h"
#include "SafeAreaEpoch.h"

#include <algorithm>
#include <array>

UIEdgeInsets UIView::safeAreaInsets() const {
    if (!UIKitIsAvailable(11)) return UIEdgeInsetsZero;
    return computedSafeAreaInsets();
}

namespace {

UIEdgeInsets addEdgeInsets(UIEdgeInsets a, const UIEdgeInsets& b) {
    a.top += b.top;
    a.left += b.left;
    a.bottom += b.bottom;
    a.right += b.right;
    return a;
}

// Safe areas this thread worked out lately, each with the counts and the window's own insets it
// was worked out under: read again (a scroll view's inset at every step of a drag) they are
// answered without going up the tree while nothing they depend on changed. A view's own bounds
// origin is not among those (its rectangle in the parent does not move with it).
struct SafeAreaMemo {
    const UIView* view = nullptr;
    uint64_t geometry = 0;
    uint64_t origin = 0;
    UIEdgeInsets window{};
    UIEdgeInsets insets{};
};

std::array<SafeAreaMemo, 4>& safeAreaMemos() {
    thread_local std::array<SafeAreaMemo, 4> memos;
    return memos;
}

std::size_t& nextSafeAreaMemo() {
    thread_local std::size_t next = 0;
    return next;
}

}  // namespace

UIEdgeInsets UIView::computedSafeAreaInsets() const {
    if (!window_) return UIEdgeInsetsZero;
    if (static_cast<const UIView*>(window_) == this)
        return addEdgeInsets(window_->windowSafeAreaInsets(), controllerSafeArea_);
    const uikit_detail::SafeAreaEpoch& epoch = uikit_detail::safeAreaEpoch();
    const uint64_t geometry = epoch.geometry.load(std::memory_order_relaxed);
    const UIEdgeInsets windowInsets = window_->windowSafeAreaInsets();
    auto& memos = safeAreaMemos();
    for (const SafeAreaMemo& m : memos)
        if (m.view == this && m.geometry == geometry && m.window == windowInsets &&
            uikit_detail::onlyOriginOfSince(*layer_, m.origin))
            return m.insets;
    // Read before the walk: a change during it leaves a memo that no longer matches.
    const uint64_t origin = epoch.origin.load(std::memory_order_relaxed);
    bool memorable = false;
    UIEdgeInsets in{};
    if (auto parent = superview()) {
        // Only where the parent has an unsafe band does this view inherit one:
        // the part of the view that lies in that band.
        const UIEdgeInsets p = parent->computedSafeAreaInsets();
        const CGRect safe = UIEdgeInsetsInsetRect(parent->bounds(), p);
        // The view's bounds in the parent: one step up when the layers are parent and child
        // (as views keep them), instead of a conversion through the root and back.
        CGRect r;
        if (layer_->superlayer() == parent->layer_) {
            memorable = true;
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
    in = addEdgeInsets(in, controllerSafeArea_);
    if (memorable) {
        std::size_t& next = nextSafeAreaMemo();
        SafeAreaMemo* slot = &memos[next];
        for (SafeAreaMemo& m : memos)
            if (m.view == this) slot = &m;
        if (slot == &memos[next]) next = (next + 1) % memos.size();
        *slot = SafeAreaMemo{this, geometry, origin, windowInsets, in};
    }
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
    uikit_detail::safeAreaGeometryChanged();
    tellSafeAreaChanged(*this);
}
