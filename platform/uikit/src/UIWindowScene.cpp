#include <platform_uikit/UIWindowScene.h>

#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIWindow.h>

UISceneActivationState UIScene::activationState() const {
    if (!connected_) return UISceneActivationStateUnattached;
    switch (UIApplication::sharedApplication()->applicationState()) {
        case UIApplicationStateActive: return UISceneActivationStateForegroundActive;
        case UIApplicationStateInactive: return UISceneActivationStateForegroundInactive;
        case UIApplicationStateBackground: return UISceneActivationStateBackground;
    }
    return UISceneActivationStateUnattached;
}

std::vector<std::shared_ptr<UIWindow>> UIWindowScene::windows() const {
    return UIApplication::sharedApplication()->windows();
}

std::shared_ptr<UIScreen> UIWindowScene::screen() const { return UIScreen::mainScreen(); }

int64_t UIWindowScene::interfaceOrientation() const {
    return UIApplication::sharedApplication()->statusBarOrientation();
}
