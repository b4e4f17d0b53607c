// A controller's part in its view's safe area.

#include "ScrollInsetsForBars.h"

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIViewController.h>

void UIViewController::applyControllerSafeAreaInsets() {
    if (!view_) return;
    const UIEdgeInsets extra = UIKitIsAvailable(11) ? additionalInsets_ : UIEdgeInsetsZero;
    view_->setControllerSafeAreaInsets(UIEdgeInsetsMake(overlayInsets_.top + extra.top, overlayInsets_.left + extra.left,
                                                        overlayInsets_.bottom + extra.bottom,
                                                        overlayInsets_.right + extra.right));
}

void UIViewController::setAdditionalSafeAreaInsets(UIEdgeInsets insets) {
    if (additionalInsets_ == insets) return;
    additionalInsets_ = insets;
    applyControllerSafeAreaInsets();
    if (view_) viewSafeAreaInsetsDidChange();
}

void UIViewController::setContentOverlayInsets(UIEdgeInsets insets) {
    if (overlayInsets_ == insets) return;
    overlayInsets_ = insets;
    applyControllerSafeAreaInsets();
    uikit_detail::adjustScrollViewInsetsForBars(*this);
    if (view_) viewSafeAreaInsetsDidChange();
}
