#include <platform_uikit/UIPresentationController.h>

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>

#include <algorithm>

UIModalPresentationStyle UIModalPresentationStyleResolved(UIModalPresentationStyle requested) {
    const bool sheets =
        UIKitIsAvailable(13) || UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
    switch (requested) {
        case UIModalPresentationAutomatic:
        case UIModalPresentationPageSheet:
        case UIModalPresentationFormSheet:
        case UIModalPresentationPopover: return sheets ? UIModalPresentationPageSheet : UIModalPresentationFullScreen;
        case UIModalPresentationNone:
        case UIModalPresentationCurrentContext: return UIModalPresentationFullScreen;
        case UIModalPresentationOverCurrentContext: return UIModalPresentationOverFullScreen;
        case UIModalPresentationFullScreen:
        case UIModalPresentationCustom:
        case UIModalPresentationOverFullScreen: return requested;
    }
    return UIModalPresentationFullScreen;
}

bool UIModalPresentationStyleRemovesPresenter(UIModalPresentationStyle resolved) {
    return resolved == UIModalPresentationFullScreen;
}

UIPresentationController::UIPresentationController(const std::shared_ptr<UIViewController>& presented,
                                                   const std::shared_ptr<UIViewController>& presenting,
                                                   UIModalPresentationStyle style)
    : presented_(presented), presenting_(presenting), style_(style), container_(std::make_shared<UIView>()) {
    container_->setBackgroundColor(UIColor::clearColor());
    container_->setOpaque(false);
}

UIViewPtr UIPresentationController::presentedView() const {
    auto presented = presented_.lock();
    return presented ? presented->viewIfLoaded() : nullptr;
}

CGRect UIPresentationController::frameOfPresentedViewInContainerView() const {
    const CGRect bounds = container_->bounds();
    if (style_ != UIModalPresentationPageSheet) return bounds;
    const UIWindow* window = container_->window();
    const double top = (window ? window->windowSafeAreaInsets().top : 0) + 10;
    double width = bounds.size.width, x = 0;
    if (UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad) {
        width = std::min(width, 704.0);
        x = (bounds.size.width - width) / 2;
    }
    return CGRectMake(x, top, width, std::max(0.0, bounds.size.height - top));
}
