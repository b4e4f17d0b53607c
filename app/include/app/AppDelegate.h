#pragma once
// The application delegate: the launch sequence (rating prompt, notification permission,
// background fetch, analytics start, the three tabs in the app's tab bar controller), the
// foreground hook of the rating prompt, and the background check of the favourite device's
// signed firmware count with its local notification.
//
// Made by name by the process entry point; lives for the process. Main thread only. Each step
// is a virtual member so a subclass can watch the order in which launch and fetch run them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <platform_runtime/ObjCDeclare.h>
#include <platform_system/UNUserNotificationCenter.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIWindow.h>

class FirmwaresItem;
class TBTabBarController;

class AppDelegate : public UIResponder, public UIApplicationDelegate, public UNUserNotificationCenterDelegate {
    NS_CLASS(AppDelegate, UIResponder)
    NS_PROTOCOLS("UIApplicationDelegate", "UNUserNotificationCenterDelegate")

public:
    using FetchCompletion = std::function<void(UIBackgroundFetchResult)>;

    static constexpr const char* kNotificationIdentifier = "ECLocalNotification";

    // The app's one window (the platform sets it before the launch sequence runs).
    std::shared_ptr<UIWindow> window() const override { return window_; }
    void setWindow(std::shared_ptr<UIWindow> window) override { window_ = std::move(window); }
    NS_PROPERTY_ACCESSORS(std::shared_ptr<UIWindow>, window, "&,N", window, setWindow)
    // " <device name>" as the last background check fetched it.
    NS_PROPERTY(std::string, favDeviceName, setFavDeviceName, "&,N")

    // --- launch ---
    // Runs the launch sequence; always true.
    bool applicationDidFinishLaunching(UIApplication& application, const Value& launchOptions) override;
    void applicationWillEnterForeground(UIApplication& application) override;
    // Rating prompt: store id, conditions, then counts this launch.
    virtual void setInitRatesUI();
    // Notification permission (the centre from 10.0, the legacy settings before), the
    // minimum background fetch interval, and no scheduled local notification left.
    virtual void setInitNoti(const Value& launchOptions);
    // The tab bar controller with the children in the order first, third, second.
    virtual std::shared_ptr<TBTabBarController> setupViewControllers(const UIViewControllerPtr& first,
                                                                     const UIViewControllerPtr& second,
                                                                     const UIViewControllerPtr& third);
    // Tab attributes (titles, images) and the global tab bar appearance.
    virtual void customizeTabBarForController(TBTabBarController& controller);

    // --- background check ---
    void applicationPerformFetch(UIApplication& application, FetchCompletion completion) override;
    virtual void requestLastetData(FetchCompletion completion);
    virtual void requestStatusWithiPhoneModel(const std::string& model, FetchCompletion completion);
    virtual void dealWithDate(const std::vector<std::shared_ptr<FirmwaresItem>>& firmwares, FetchCompletion completion);
    virtual void createLocalNotification(const std::string& text);

    // Whether the running system's version is at least `version` (numeric comparison).
    static bool systemVersionAtLeast(const std::string& version);

private:
    std::shared_ptr<UIWindow> window_;
};

// The process entry point: runs the app with AppDelegate until it terminates.
int AppMain(int argc, char** argv);
