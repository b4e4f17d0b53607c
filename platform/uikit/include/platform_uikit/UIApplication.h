#pragma once
// The application object: its delegate, windows and key window, its scene
// (13+), its life-cycle state with the notifications that announce each step,
// background fetch, the status bar and interface orientation, the network
// activity indicator, URL opening (recorded, nothing is launched) and memory
// warnings.
//
// One shared instance. Main thread, except where a member says otherwise.

#include <platform_uikit/UIInterfaceOrientation.h>
#include <platform_uikit/UILocalNotification.h>
#include <platform_uikit/UIResponder.h>

#include <platform_runtime/Geometry.h>
#include <platform_runtime/Value.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class UIApplication;
class UIWindow;
class UIWindowScene;
class UIViewController;
class MemoryPressureMonitor;

inline constexpr char UIApplicationDidFinishLaunchingNotification[] = "UIApplicationDidFinishLaunchingNotification";
inline constexpr char UIApplicationDidBecomeActiveNotification[] = "UIApplicationDidBecomeActiveNotification";
inline constexpr char UIApplicationWillResignActiveNotification[] = "UIApplicationWillResignActiveNotification";
inline constexpr char UIApplicationDidEnterBackgroundNotification[] = "UIApplicationDidEnterBackgroundNotification";
inline constexpr char UIApplicationWillEnterForegroundNotification[] = "UIApplicationWillEnterForegroundNotification";
inline constexpr char UIApplicationWillTerminateNotification[] = "UIApplicationWillTerminateNotification";
inline constexpr char UIApplicationDidReceiveMemoryWarningNotification[] =
    "UIApplicationDidReceiveMemoryWarningNotification";
inline constexpr char UIApplicationWillChangeStatusBarOrientationNotification[] =
    "UIApplicationWillChangeStatusBarOrientationNotification";
inline constexpr char UIApplicationDidChangeStatusBarOrientationNotification[] =
    "UIApplicationDidChangeStatusBarOrientationNotification";

// Info keys read at launch.
inline constexpr char UIMainStoryboardFileKey[] = "UIMainStoryboardFile";
inline constexpr char UISupportedInterfaceOrientationsKey[] = "UISupportedInterfaceOrientations";
inline constexpr char UIViewControllerBasedStatusBarAppearanceKey[] = "UIViewControllerBasedStatusBarAppearance";

inline constexpr uint64_t UIBackgroundTaskInvalid = 0;

enum UIApplicationState : int64_t {
    UIApplicationStateActive = 0,
    UIApplicationStateInactive = 1,
    UIApplicationStateBackground = 2,
};

enum UIBackgroundFetchResult : int64_t {
    UIBackgroundFetchResultNewData = 0,
    UIBackgroundFetchResultNoData = 1,
    UIBackgroundFetchResultFailed = 2,
};

enum UIBackgroundRefreshStatus : int64_t {
    UIBackgroundRefreshStatusRestricted = 0,
    UIBackgroundRefreshStatusDenied = 1,
    UIBackgroundRefreshStatusAvailable = 2,
};

inline constexpr double UIApplicationBackgroundFetchIntervalMinimum = 0;
inline constexpr double UIApplicationBackgroundFetchIntervalNever = 1.7976931348623157e308;

enum UIStatusBarStyle : int64_t {
    UIStatusBarStyleDefault = 0,
    UIStatusBarStyleLightContent = 1,
    UIStatusBarStyleDarkContent = 3,
};

// What the application tells its delegate. Every method is optional; the
// base bodies of the last group tell the application that the delegate lacks
// them (it then does what the platform does without them).
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
    // The delegate's window, if it keeps one; launch sets it before
    // did-finish-launching.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
    virtual void setWindow(std::shared_ptr<UIWindow> /*window*/) {}

    // --- optional, with "not implemented" base bodies ---
    // Called in the background on main; `completion` counts once.
    virtual void applicationPerformFetch(UIApplication&, std::function<void(UIBackgroundFetchResult)> completion);
    virtual UIInterfaceOrientationMask applicationSupportedInterfaceOrientationsForWindow(UIApplication&, UIWindow*);
};

class UIApplication : public UIResponder {
    NS_CLASS(UIApplication, UIResponder)
public:
    static std::shared_ptr<UIApplication> sharedApplication();

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

    // --- life cycle: the host and tests drive it; each step tells the
    // delegate, then posts its notification (sender: the application); from
    // 13 the scene's notification of the step comes just before ---
    // Inactive, will/did finish launching, then active. No window is made.
    void finishLaunching(const Value& launchOptions = {});
    // The launch UIApplicationMain runs: will-finish, the main window (its
    // root the initial controller of the storyboard the Info key
    // UIMainStoryboardFile names, else empty) set on the delegate, did-finish
    // (delegate, notification), the delegate's window made key and visible,
    // then active. A missing storyboard raises as UIStoryboard does.
    void launchWithMainInterface(const Value& launchOptions = {});
    // Resign active: nothing unless active.
    void simulateResignActive();
    // Resigns first when active; then background.
    void simulateEnterBackground();
    // Will enter foreground, inactive, then active.
    void simulateEnterForeground();
    // To the background first (as the platform ends only a background app),
    // then will-terminate; ends UIApplicationMain's loop. Later steps do nothing.
    void simulateTerminate();
    bool isTerminated() const { return terminated_; }
    UIApplicationState applicationState() const { return state_.load(); }

    // Makes the main storyboard's initial controller from its name; by default
    // UIStoryboard's (main bundle), which a host or test may replace (nullptr
    // restores it).
    using MainStoryboardLoader = std::function<std::shared_ptr<UIViewController>(const std::string& name)>;
    static void setMainStoryboardLoader(MainStoryboardLoader loader);

    // --- background fetch (UIApplicationBackgroundFetch.cpp) ---
    // Never until set.
    double minimumBackgroundFetchInterval() const { return fetchInterval_; }
    void setMinimumBackgroundFetchInterval(double interval) { fetchInterval_ = interval; }
    // The device's setting: APP_BACKGROUND_REFRESH=available|denied|restricted
    // when the app object is made (available when unset or unknown); the host
    // and tests change it, the app only reads it.
    static constexpr const char* kBackgroundRefreshEnvironmentVariable = "APP_BACKGROUND_REFRESH";
    static UIBackgroundRefreshStatus backgroundRefreshStatusFromEnvironment();
    UIBackgroundRefreshStatus backgroundRefreshStatus() const { return refreshStatus_; }
    void setBackgroundRefreshStatus(UIBackgroundRefreshStatus status) { refreshStatus_ = status; }
    // How long the delegate has to call the fetch's completion before the
    // fetch is recorded as "expired" (main-queue time: the manual clock in tests).
    static constexpr double kBackgroundFetchTimeLimit = 30;
    // Each fetch's outcome is one line of System/background-fetch.jsonl:
    // {"outcome": "new data"|"no data"|"failed"|"expired", "result": 0..2
    // (not for expired), "asked", "ended": seconds since 1970}.
    static constexpr const char* kBackgroundFetchRecordsFile = "background-fetch.jsonl";
    // Main thread. Sends an active app to the background, then asks the
    // delegate to fetch when an interval other than Never is set, the status
    // is available and the delegate implements the fetch. True when the
    // delegate was asked. The completion counts once, from any thread (the
    // outcome is recorded on the main queue); later calls are ignored and logged.
    bool simulateBackgroundFetch();
    // What the last fetch's completion reported (nothing before its first
    // call, nothing for a fetch that expired).
    std::optional<UIBackgroundFetchResult> lastBackgroundFetchResult() const { return lastFetchResult_; }
    // The last fetch's outcome as recorded ("new data", "no data", "failed",
    // "expired"); empty before the first ends.
    const std::string& lastBackgroundFetchOutcome() const { return lastFetchOutcome_; }

    // --- windows (registered when shown, held weakly), back to front by level ---
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    std::shared_ptr<UIWindow> keyWindow() const;
    // From 13 the one scene, connected at launch; nothing before 13.
    std::vector<std::shared_ptr<UIWindowScene>> connectedScenes();

    // --- interface orientation (UIApplicationOrientation.cpp) ---
    // Portrait until a rotation.
    UIInterfaceOrientation statusBarOrientation() const { return orientation_; }
    // The delegate's answer when it has one, else the Info key
    // UISupportedInterfaceOrientations, else all but upside down (a phone) or all (a pad).
    UIInterfaceOrientationMask supportedInterfaceOrientationsForWindow(UIWindow* window);

    // --- status bar ---
    CGRect statusBarFrame() const;
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden) { statusBarHidden_ = hidden; }
    UIStatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(UIStatusBarStyle style) { statusBarStyle_ = style; }
    // Unless the Info key UIViewControllerBasedStatusBarAppearance is NO: the
    // style and hidden flag the key window's top controller asks for
    // (following childViewControllerForStatusBarStyle / ...Hidden).
    // Controllers call it through setNeedsStatusBarAppearanceUpdate.
    void updateStatusBarAppearance();

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

    // Any thread: on the main queue, tells the delegate, posts
    // UIApplicationDidReceiveMemoryWarningNotification, then tells the
    // controllers of the shown windows (at once when called on main).
    void simulateMemoryWarning();

    // Polls memory pressure every 5 s on the main run loop, turning pressure
    // into memory warnings; `monitor` defaults to the system's files.
    // Idempotent while running.
    void startMemoryPressureMonitoring(std::shared_ptr<MemoryPressureMonitor> monitor = nullptr);
    void stopMemoryPressureMonitoring();

    // --- legacy local notifications (main thread; UIApplicationNotifications.cpp) ---
    // Registering asks the notification centre for authorization (the device's
    // setting answers); the settings are kept for currentUserNotificationSettings.
    void registerUserNotificationSettings(const std::shared_ptr<UIUserNotificationSettings>& settings);
    std::shared_ptr<UIUserNotificationSettings> currentUserNotificationSettings() const;
    // Delivered at once through the notification centre, with its outcome rules.
    void presentLocalNotificationNow(const std::shared_ptr<UILocalNotification>& notification);
    // Removes every pending request, of this interface and of the centre's.
    void cancelAllLocalNotifications();
    // The host's banner: called on the main queue for each notification the
    // centre presents (nothing set: the record is all).
    using NotificationBanner = std::function<void(const std::string& title, const std::string& body)>;
    void setNotificationBanner(NotificationBanner banner);
    // Installs the centre's presenter: "in front" while active, "present"
    // through the banner. Done at launch; tests may call it themselves.
    void installNotificationPresenter();

    // --- background tasks (any thread; UIApplicationBackgroundTasks.cpp) ---
    // A new task id (never UIBackgroundTaskInvalid); the handler runs on the main queue if
    // the task is still open when the platform expires it.
    uint64_t beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
    void endBackgroundTask(uint64_t identifier);
    std::size_t openBackgroundTaskCount() const;
    // Tests: the platform's time is up for every open task (handlers run on the main queue).
    void expireBackgroundTasksForTesting();

    // Tests: back to a fresh state (inactive, no delegate, no windows, nothing
    // recorded, portrait, scene unattached, fetch interval Never).
    void resetForTesting();

    std::shared_ptr<UIResponder> nextResponder() const override { return nullptr; }

    UIApplication() = default;

private:
    friend class UIWindow;
    void windowDidBecomeVisible(const std::shared_ptr<UIWindow>& window);
    void windowDidBecomeHidden(const UIWindow* window);
    void windowDidBecomeKey(const std::shared_ptr<UIWindow>& window);
    friend class UIViewController;
    void setStatusBarOrientation(UIInterfaceOrientation orientation);
    void post(const char* name);
    void postScene(const char* name);
    void becomeActive();
    void runLaunch(const Value& launchOptions, bool mainInterface);
    std::shared_ptr<UIWindowScene> scene();

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
    bool terminated_ = false;
    double fetchInterval_ = UIApplicationBackgroundFetchIntervalNever;
    UIBackgroundRefreshStatus refreshStatus_ = backgroundRefreshStatusFromEnvironment();
    std::optional<UIBackgroundFetchResult> lastFetchResult_;
    std::string lastFetchOutcome_;
    uint64_t fetchGeneration_ = 0;
    UIInterfaceOrientation orientation_ = UIInterfaceOrientationPortrait;
    std::shared_ptr<UIWindowScene> scene_;
    std::shared_ptr<UIWindow> mainWindow_;
    std::shared_ptr<UIUserNotificationSettings> notificationSettings_;
    NotificationBanner banner_;
};

// Makes the shared application's delegate from the class named
// `delegateClassName`, launches with the main interface
// (launchWithMainInterface) and runs the main run loop until the app is
// terminated (simulateTerminate); then answers 0. Answers 1 when the
// delegate class is unknown or the principal class is not UIApplication.
int UIApplicationMain(int argc, char** argv, const char* principalClassName, const char* delegateClassName);
