// Orientations a controller supports, rotation to the device's orientation,
// status-bar updates and memory warnings.

#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>

UIInterfaceOrientationMask UIViewController::supportedInterfaceOrientations() const {
    return UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad
               ? UIInterfaceOrientationMaskAll
               : UIInterfaceOrientationMaskAllButUpsideDown;
}

UIViewController* UIViewController::topStatusBarController() {
    UIViewController* top = this;
    for (UIViewController* c = presented_.get(); c; c = c->presented_.get())
        if (c->presentation_ && (c->presentation_->shouldRemovePresentersView() || c->capturesStatusBar_)) top = c;
    return top;
}

void UIViewController::attemptRotationToDeviceOrientation() {
    const int64_t device = UIDevice::currentDevice()->orientation();
    if (device < UIDeviceOrientationPortrait || device > UIDeviceOrientationLandscapeRight) return;
    // Each interface orientation has the value of the device orientation that shows it upright.
    const auto target = static_cast<UIInterfaceOrientation>(device);
    auto app = UIApplication::sharedApplication();
    if (app->statusBarOrientation() == target) return;
    auto window = app->keyWindow();
    if (!window || !window->rootViewController()) return;
    UIViewController* top = window->rootViewController()->topStatusBarController();
    if (!top->shouldAutorotate()) return;
    const UIInterfaceOrientationMask mask =
        top->supportedInterfaceOrientations() & app->supportedInterfaceOrientationsForWindow(window.get());
    if (!(mask & (UIInterfaceOrientationMask{1} << target))) return;
    app->setStatusBarOrientation(target);
}

void UIViewController::setNeedsStatusBarAppearanceUpdate() { UIApplication::sharedApplication()->updateStatusBarAppearance(); }

void UIViewController::propagateMemoryWarning() {
    auto self = std::static_pointer_cast<UIViewController>(shared_from_this());
    didReceiveMemoryWarning();
    for (const auto& child : std::vector<UIViewControllerPtr>(children_)) child->propagateMemoryWarning();
    if (auto presented = presented_) presented->propagateMemoryWarning();
}
