#pragma once
// The scene the app's windows live in (OS 13 and later): one per process,
// connected at launch, its activation state following the application's
// (active: foreground active, inactive: foreground inactive, background).
// Each change is announced with the scene notifications below (object: the
// scene), posted just before the application's own notification of the step.
//
// Main thread. The application holds the scene; windows find it through it.

#include <platform_uikit/UIResponder.h>

#include <memory>
#include <vector>

class UIWindow;
class UIScreen;

inline constexpr char UISceneWillConnectNotification[] = "UISceneWillConnectNotification";
inline constexpr char UISceneDidActivateNotification[] = "UISceneDidActivateNotification";
inline constexpr char UISceneWillDeactivateNotification[] = "UISceneWillDeactivateNotification";
inline constexpr char UISceneDidEnterBackgroundNotification[] = "UISceneDidEnterBackgroundNotification";
inline constexpr char UISceneWillEnterForegroundNotification[] = "UISceneWillEnterForegroundNotification";

enum UISceneActivationState : int64_t {
    UISceneActivationStateUnattached = -1,
    UISceneActivationStateForegroundActive = 0,
    UISceneActivationStateForegroundInactive = 1,
    UISceneActivationStateBackground = 2,
};

class UIScene : public UIResponder {
    NS_CLASS(UIScene, UIResponder)
public:
    // Unattached until the application connects it at launch.
    UISceneActivationState activationState() const;

private:
    friend class UIApplication;
    bool connected_ = false;
};

class UIWindowScene : public UIScene {
    NS_CLASS(UIWindowScene, UIScene)
public:
    // The application's shown windows, back to front.
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    std::shared_ptr<UIScreen> screen() const;
    int64_t interfaceOrientation() const;
};
