#include <platform_uikit/UIApplication.h>

#include <platform_uikit/MemoryPressureMonitor.h>
#include <platform_uikit/UIDevice.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIStoryboard.h>
#include <platform_uikit/UIViewController.h>
#include <platform_uikit/UIWindow.h>
#include <platform_uikit/UIWindowScene.h>

#include "DelegateOptional.h"

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/NSThread.h>
#include <platform_dispatch/NSTimer.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_net/NSURL.h>
#include <platform_runtime/ObjCRuntime.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

std::shared_ptr<UIApplication> UIApplication::sharedApplication() {
    static auto* app = new std::shared_ptr<UIApplication>(std::make_shared<UIApplication>());
    return *app;
}

void UIApplication::post(const char* name) {
    NSNotificationCenter::defaultCenter()->postNotificationName(name, Value(shared_from_this()));
}

void UIApplication::postScene(const char* name) {
    if (!UIKitIsAvailable(13)) return;
    NSNotificationCenter::defaultCenter()->postNotificationName(name, Value(std::shared_ptr<NSObject>(scene())));
}

std::shared_ptr<UIWindowScene> UIApplication::scene() {
    if (!scene_) scene_ = std::make_shared<UIWindowScene>();
    return scene_;
}

std::vector<std::shared_ptr<UIWindowScene>> UIApplication::connectedScenes() {
    if (!UIKitIsAvailable(13) || !scene()->connected_) return {};
    return {scene()};
}

namespace {
UIViewControllerPtr initialControllerOfStoryboard(const std::string& name) {
    return UIStoryboard::storyboardWithName(name, nullptr)->instantiateInitialViewController();
}

UIApplication::MainStoryboardLoader& storyboardLoader() {
    static auto* loader = new UIApplication::MainStoryboardLoader(initialControllerOfStoryboard);
    return *loader;
}
}  // namespace

void UIApplication::setMainStoryboardLoader(MainStoryboardLoader loader) {
    storyboardLoader() = loader ? std::move(loader) : initialControllerOfStoryboard;
}

void UIApplication::finishLaunching(const Value& launchOptions) { runLaunch(launchOptions, false); }

void UIApplication::launchWithMainInterface(const Value& launchOptions) { runLaunch(launchOptions, true); }

void UIApplication::runLaunch(const Value& launchOptions, bool mainInterface) {
    if (terminated_) return;
    state_ = UIApplicationStateInactive;
    installNotificationPresenter();
    if (UIKitIsAvailable(13)) {
        scene()->connected_ = true;
        postScene(UISceneWillConnectNotification);
    }
    auto delegate = delegate_;
    if (delegate) delegate->applicationWillFinishLaunching(*this, launchOptions);
    if (mainInterface) {
        auto window = std::make_shared<UIWindow>();
        Value storyboard = NSBundle::mainBundle()->objectForInfoDictionaryKey(UIMainStoryboardFileKey);
        if (storyboard.isString() && !storyboard.asString().empty())
            window->setRootViewController(storyboardLoader()(storyboard.asStdString()));
        mainWindow_ = window;
        if (delegate) delegate->setWindow(window);
    }
    if (delegate) delegate->applicationDidFinishLaunching(*this, launchOptions);
    post(UIApplicationDidFinishLaunchingNotification);
    if (mainInterface) {
        auto window = delegate && delegate->window() ? delegate->window() : mainWindow_;
        if (window && (window->isHidden() || !window->isKeyWindow())) window->makeKeyAndVisible();
    }
    becomeActive();
}

void UIApplication::becomeActive() {
    state_ = UIApplicationStateActive;
    postScene(UISceneDidActivateNotification);
    if (auto delegate = delegate_) delegate->applicationDidBecomeActive(*this);
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::simulateResignActive() {
    if (terminated_ || state_ != UIApplicationStateActive) return;
    postScene(UISceneWillDeactivateNotification);
    if (auto delegate = delegate_) delegate->applicationWillResignActive(*this);
    post(UIApplicationWillResignActiveNotification);
    state_ = UIApplicationStateInactive;
}

void UIApplication::simulateEnterBackground() {
    if (terminated_ || state_ == UIApplicationStateBackground) return;
    simulateResignActive();
    state_ = UIApplicationStateBackground;
    postScene(UISceneDidEnterBackgroundNotification);
    if (auto delegate = delegate_) delegate->applicationDidEnterBackground(*this);
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::simulateEnterForeground() {
    if (terminated_ || state_ != UIApplicationStateBackground) return;
    postScene(UISceneWillEnterForegroundNotification);
    if (auto delegate = delegate_) delegate->applicationWillEnterForeground(*this);
    post(UIApplicationWillEnterForegroundNotification);
    state_ = UIApplicationStateInactive;
    becomeActive();
}

void UIApplication::simulateTerminate() {
    if (terminated_) return;
    simulateEnterBackground();
    if (auto delegate = delegate_) delegate->applicationWillTerminate(*this);
    post(UIApplicationWillTerminateNotification);
    terminated_ = true;
    stopMemoryPressureMonitoring();
    NSRunLoop::mainRunLoop()->wakeUp();
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const {
    std::vector<std::shared_ptr<UIWindow>> out;
    for (auto& weak : windows_)
        if (auto w = weak.lock()) out.push_back(std::move(w));
    std::stable_sort(out.begin(), out.end(), [](auto& a, auto& b) { return a->windowLevel() < b->windowLevel(); });
    return out;
}

std::shared_ptr<UIWindow> UIApplication::keyWindow() const { return keyWindow_.lock(); }

void UIApplication::windowDidBecomeVisible(const std::shared_ptr<UIWindow>& window) {
    std::erase_if(windows_, [&](auto& w) { return w.expired() || w.lock() == window; });
    windows_.push_back(window);
}

void UIApplication::windowDidBecomeHidden(const UIWindow* window) {
    std::erase_if(windows_, [&](auto& w) { return w.expired() || w.lock().get() == window; });
    if (keyWindow_.lock().get() == window) keyWindow_.reset();
}

void UIApplication::windowDidBecomeKey(const std::shared_ptr<UIWindow>& window) { keyWindow_ = window; }

CGRect UIApplication::statusBarFrame() const {
    if (statusBarHidden_) return CGRectZero;
    auto screen = UIScreen::mainScreen();
    return CGRectMake(0, 0, screen->bounds().size.width, screen->statusBarHeight());
}

void UIApplication::setNetworkActivityIndicatorVisible(bool visible) {
    if (indicatorVisible_.load() == visible) return;
    willChangeValueForKey("networkActivityIndicatorVisible");
    indicatorVisible_.store(visible);
    didChangeValueForKey("networkActivityIndicatorVisible");
}

void UIApplication::setOpenableURLSchemes(std::set<std::string> schemes) {
    std::lock_guard lock(urlMutex_);
    openableSchemes_ = std::move(schemes);
}

bool UIApplication::canOpenURL(const std::string& url) {
    auto parsed = NSURL::URLWithString(url);
    std::string scheme = parsed ? parsed->scheme() : std::string();
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    std::lock_guard lock(urlMutex_);
    canOpenQueries_.push_back(url);
    return !scheme.empty() && openableSchemes_.count(scheme);
}

void UIApplication::openURL(const std::string& url, const Value& /*options*/, std::function<void(bool)> completion) {
    bool can = canOpenURL(url);
    {
        std::lock_guard lock(urlMutex_);
        canOpenQueries_.pop_back();  // the check above was ours, not the caller's
        openedURLs_.push_back(url);
    }
    if (completion) dispatch_async(dispatch_get_main_queue(), [completion, can] { completion(can); });
}

std::vector<std::string> UIApplication::openedURLs() const {
    std::lock_guard lock(urlMutex_);
    return openedURLs_;
}

std::vector<std::string> UIApplication::canOpenURLQueries() const {
    std::lock_guard lock(urlMutex_);
    return canOpenQueries_;
}

void UIApplication::simulateMemoryWarning() {
    auto self = std::static_pointer_cast<UIApplication>(shared_from_this());
    auto warn = [self] {
        if (auto delegate = self->delegate_) delegate->applicationDidReceiveMemoryWarning(*self);
        self->post(UIApplicationDidReceiveMemoryWarningNotification);
        for (const auto& window : self->windows())
            if (auto root = window->rootViewController()) root->propagateMemoryWarning();
    };
    if (NSThread::isMainThread())
        warn();
    else
        dispatch_async(dispatch_get_main_queue(), warn);
}

void UIApplication::startMemoryPressureMonitoring(std::shared_ptr<MemoryPressureMonitor> monitor) {
    if (pressureTimer_) return;
    if (!monitor) monitor = std::make_shared<MemoryPressureMonitor>();
    monitor->poll();  // the baseline of the event counts
    std::weak_ptr<UIApplication> weak = std::static_pointer_cast<UIApplication>(shared_from_this());
    auto timer = NSTimer::timerWithTimeInterval(MemoryPressureMonitor::kPollInterval, true, [monitor, weak](auto&) {
        if (monitor->poll())
            if (auto app = weak.lock()) app->simulateMemoryWarning();
    });
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
    pressureTimer_ = timer;
}

void UIApplication::stopMemoryPressureMonitoring() {
    if (auto timer = std::static_pointer_cast<NSTimer>(pressureTimer_)) timer->invalidate();
    pressureTimer_.reset();
}

void UIApplication::resetForTesting() {
    stopMemoryPressureMonitoring();
    delegate_.reset();
    state_ = UIApplicationStateInactive;
    windows_.clear();
    keyWindow_.reset();
    statusBarHidden_ = false;
    statusBarStyle_ = UIStatusBarStyleDefault;
    indicatorVisible_ = false;
    std::lock_guard lock(urlMutex_);
    openableSchemes_ = {"http", "https", "mailto", "tel", "sms"};
    openedURLs_.clear();
    canOpenQueries_.clear();
    terminated_ = false;
    fetchInterval_ = UIApplicationBackgroundFetchIntervalNever;
    refreshStatus_ = backgroundRefreshStatusFromEnvironment();
    lastFetchResult_.reset();
    lastFetchOutcome_.clear();
    ++fetchGeneration_;
    orientation_ = UIInterfaceOrientationPortrait;
    if (scene_) scene_->connected_ = false;
    mainWindow_.reset();
    notificationSettings_.reset();
    banner_ = nullptr;
}

int UIApplicationMain(int /*argc*/, char** /*argv*/, const char* principalClassName, const char* delegateClassName) {
    if (principalClassName && std::string(principalClassName) != UIApplication::classObject().name()) {
        std::fprintf(stderr, "UIApplicationMain: the principal class %s is not UIApplication\n", principalClassName);
        return 1;
    }
    auto app = UIApplication::sharedApplication();
    if (delegateClassName) {
        auto* cls = NSClassFromString(delegateClassName);
        auto delegate = cls ? std::dynamic_pointer_cast<UIApplicationDelegate>(cls->createInstance()) : nullptr;
        if (!delegate) {
            std::fprintf(stderr, "UIApplicationMain: no application delegate class named %s\n", delegateClassName);
            return 1;
        }
        app->setDelegate(std::move(delegate));
    }
    app->launchWithMainInterface();
    app->startMemoryPressureMonitoring();
    auto loop = NSRunLoop::mainRunLoop();
    while (!app->isTerminated()) loop->runModeUntil(NSDefaultRunLoopMode, std::chrono::steady_clock::now() + std::chrono::hours(1));
    return 0;
}
