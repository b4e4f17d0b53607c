#pragma once
// The application object: its delegate, windows and key window, its life-cycle
// state with the notifications that announce each step, the status bar, the
// network activity indicator, URL opening (recorded, nothing is launched) and
// memory warnings.
//
// One shared instance. Main thread, except where a member says otherwise.

#include <platform_uikit/UIResponder.h>

#include <platform_runtime/Geometry.h>
#include <platform_runtime/Value.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class UIApplication;
class UIWindow;
class MemoryPressureMonitor;

inline constexpr char UIApplicationDidFinishLaunchingNotification[] = "UIApplicationDidFinishLaunchingNotification";
inline constexpr char UIApplicationDidBecomeActiveNotification[] = "UIApplicationDidBecomeActiveNotification";
inline constexpr char UIApplicationWillResignActiveNotification[] = "UIApplicationWillResignActiveNotification";
inline constexpr char UIApplicationDidEnterBackgroundNotification[] = "UIApplicationDidEnterBackgroundNotification";
inline constexpr char UIApplicationWillEnterForegroundNotification[] = "UIApplicationWillEnterForegroundNotification";
inline constexpr char UIApplicationWillTerminateNotification[] = "UIApplicationWillTerminateNotification";
inline constexpr char UIApplicationDidReceiveMemoryWarningNotification[] =
    "UIApplicationDidReceiveMemoryWarningNotification";

inline constexpr uint64_t UIBackgroundTaskInvalid = 0;

enum UIApplicationState : int64_t {
    UIApplicationStateActive = 0,
    UIApplicationStateInactive = 1,
    UIApplicationStateBackground = 2,
};

enum UIStatusBarStyle : int64_t {
    UIStatusBarStyleDefault = 0,
    UIStatusBarStyleLightContent = 1,
    UIStatusBarStyleDarkContent = 3,
};

// What the application tells its delegate. Every method is optional.
class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;
    virtual bool applicationWillFinishLaunching(UIApplication&, const Value& /*launchOptions*/) { return true; }
    virtual bool applicationDidFinishLaunching(UIApplication&, const Value& /*launchOptions*/) { return true; }
    virtual void applicationDidBecomeActive(UIApplication&) {}
    virtual void applicationWillResignActive(UIApplication&) {}
    virtual void applicationDidEnterBackground(UIApplication&) {}
    virtual void applicationWillEnterForeground(UIApplication&) {}
    virtual void applicationWillTerminate(UIApplication&) {}
    virtual void applicationDidReceiveMemoryWarning(UIApplication&) {}
    // The delegate's window, if it keeps one.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
};

class UIApplication : public UIResponder {
    NS_CLASS(UIApplication, UIResponder)
public:
    static std::shared_ptr<UIApplication> sharedApplication();

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

    // --- life cycle: the host and tests drive it; each step tells the
    // delegate and posts its notification (sender: the application) ---
    // Inactive, will/did finish launching, then active.
    void finishLaunching(const Value& launchOptions = {});
    void simulateResignActive();
    // Resigns first when active; then background.
    void simulateEnterBackground();
    // Will enter foreground, inactive, then active.
    void simulateEnterForeground();
    void simulateTerminate();
    UIApplicationState applicationState() const { return state_.load(); }

    // --- windows (registered when shown, held weakly), front last ---
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    std::shared_ptr<UIWindow> keyWindow() const;

    // --- status bar ---
    CGRect statusBarFrame() const;
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden) { statusBarHidden_ = hidden; }
    UIStatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(UIStatusBarStyle style) { statusBarStyle_ = style; }

    // Any thread. Observers of "networkActivityIndicatorVisible" are told on the setting thread.
    bool isNetworkActivityIndicatorVisible() const { return indicatorVisible_.load(); }
    void setNetworkActivityIndicatorVisible(bool visible);

    // --- URLs: recorded; the answer says whether a handler would exist ---
    // Schemes answered as openable: http, https, mailto, tel, sms unless set.
    void setOpenableURLSchemes(std::set<std::string> schemes);
    bool canOpenURL(const std::string& url);
    // Records the URL; the completion runs on main with whether it could open.
    void openURL(const std::string& url, const Value& options = {}, std::function<void(bool)> completion = nullptr);
    std::vector<std::string> openedURLs() const;
    std::vector<std::string> canOpenURLQueries() const;

    // Any thread: on the main queue, tells the delegate and posts
    // UIApplicationDidReceiveMemoryWarningNotification (at once when called on main).
    void simulateMemoryWarning();

    // Polls memory pressure every 5 s on the main run loop, turning pressure
    // into memory warnings; `monitor` defaults to the system's files.
    // Idempotent while running.
    void startMemoryPressureMonitoring(std::shared_ptr<MemoryPressureMonitor> monitor = nullptr);
    void stopMemoryPressureMonitoring();

    // --- background tasks (any thread; UIApplicationBackgroundTasks.cpp) ---
    // A new task id (never UIBackgroundTaskInvalid); the handler runs on the main queue if
    // the task is still open when the platform expires it.
    uint64_t beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    void endBackgroundTask(uint64_t identifier);
    std::size_t openBackgroundTaskCount() const;
    // Tests: the platform's time is up for every open task (handlers run on the main queue).
    void expireBackgroundTasksForTesting();

    // Tests: back to a fresh state (inactive, no delegate, no windows, nothing recorded).
    void resetForTesting();

    std::shared_ptr<UIResponder> nextResponder() const override { return nullptr; }

    UIApplication() = default;

private:
    friend class UIWindow;
    void windowDidBecomeVisible(const std::shared_ptr<UIWindow>& window);
    void windowDidBecomeHidden(const UIWindow* window);
    void windowDidBecomeKey(const std::shared_ptr<UIWindow>& window);
    void post(const char* name);
    void becomeActive();

    std::shared_ptr<UIApplicationDelegate> delegate_;
    std::atomic<UIApplicationState> state_{UIApplicationStateInactive};
    std::vector<std::weak_ptr<UIWindow>> windows_;
    std::weak_ptr<UIWindow> keyWindow_;
    bool statusBarHidden_ = false;
    UIStatusBarStyle statusBarStyle_ = UIStatusBarStyleDefault;
    std::atomic<bool> indicatorVisible_{false};
    mutable std::mutex urlMutex_;
    std::set<std::string> openableSchemes_{"http", "https", "mailto", "tel", "sms"};
    std::vector<std::string> openedURLs_, canOpenQueries_;
    std::shared_ptr<NSObject> pressureTimer_;
};

// Makes the shared application with a delegate of class `delegateClassName`
// (looked up by name), finishes launching and runs the main run loop for
// ever. Returns 1 when the delegate class is unknown.
int UIApplicationMain(int argc, char** argv, const char* principalClassName, const char* delegateClassName);
