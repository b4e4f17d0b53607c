// The application's interface orientation, the orientations it supports per
// window, and the status bar the key window's controllers ask for.

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>

#include "DelegateOptional.h"
#include "SafeAreaChange.h"

#include <platform_foundation/NSBundle.h>

#include <utility>

UIInterfaceOrientationMask UIApplicationDelegate::applicationSupportedInterfaceOrientationsForWindow(UIApplication&,
                                                                                                    UIWindow*) {
    uikit_detail::delegateLacksMethod();
    return 0;
}

UIInterfaceOrientationMask UIApplication::supportedInterfaceOrientationsForWindow(UIWindow* window) {
    if (auto delegate = delegate_) {
        UIInterfaceOrientationMask mask = 0;
        if (uikit_detail::callOptional(
                [&] { mask = delegate->applicationSupportedInterfaceOrientationsForWindow(*this, window); }))
            return mask;
    }
    Value listed = NSBundle::mainBundle()->objectForInfoDictionaryKey(UISupportedInterfaceOrientationsKey);
    if (listed.isArray()) {
        static const std::pair<const char*, UIInterfaceOrientationMask> names[] = {
            {"UIInterfaceOrientationPortrait", UIInterfaceOrientationMaskPortrait},
            {"UIInterfaceOrientationPortraitUpsideDown", UIInterfaceOrientationMaskPortraitUpsideDown},
            {"UIInterfaceOrientationLandscapeLeft", UIInterfaceOrientationMaskLandscapeLeft},
            {"UIInterfaceOrientationLandscapeRight", UIInterfaceOrientationMaskLandscapeRight},
        };
        UIInterfaceOrientationMask mask = 0;
        for (const Value& item : listed.asArray())
            for (auto& [name, bit] : names)
                if (item.isString() && item.asString() == name) mask |= bit;
        if (mask) return mask;
    }
    return UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad
               ? UIInterfaceOrientationMaskAll
               : UIInterfaceOrientationMaskAllButUpsideDown;
}

void UIApplication::setStatusBarOrientation(UIInterfaceOrientation orientation) {
    if (orientation_ == orientation) return;
    post(UIApplicationWillChangeStatusBarOrientationNotification);
    const bool axisChanges = UIInterfaceOrientationIsLandscape(orientation) != UIInterfaceOrientationIsLandscape(orientation_);
    orientation_ = orientation;
    for (const auto& window : windows()) {
        if (axisChanges) {
            CGRect frame = window->frame();
            window->setFrame(CGRectMake(frame.origin.x, frame.origin.y, frame.size.height, frame.size.width));
        }
        tellSafeAreaChanged(*window);
    }
    post(UIApplicationDidChangeStatusBarOrientationNotification);
}

void UIApplication::updateStatusBarAppearance() {
    Value controllerBased = NSBundle::mainBundle()->objectForInfoDictionaryKey(UIViewControllerBasedStatusBarAppearanceKey);
    if ((controllerBased.isBool() || controllerBased.isNumber()) && !controllerBased.boolValue()) return;
    auto window = keyWindow();
    if (!window || !window->rootViewController()) return;
    UIViewController* top = window->rootViewController()->topStatusBarController();
    UIViewControllerPtr style = top->childViewControllerForStatusBarStyle();
    for (UIViewControllerPtr next = style; next; next = next->childViewControllerForStatusBarStyle()) style = next;
    UIViewControllerPtr hidden = top->childViewControllerForStatusBarHidden();
    for (UIViewControllerPtr next = hidden; next; next = next->childViewControllerForStatusBarHidden()) hidden = next;
    statusBarStyle_ = (style ? style.get() : top)->preferredStatusBarStyle();
    statusBarHidden_ = (hidden ? hidden.get() : top)->prefersStatusBarHidden();
}
