#include <ui_widgets/RatePrompt.h>

#include <platform_dispatch/Dispatch.h>
#include <platform_foundation/NSLog.h>
#include <platform_foundation/NSNotificationCenter.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSStringFormat.h>
#include <platform_foundation/NSUserDefaults.h>
#include <platform_net/NSURLRequest.h>
#include <platform_net/NSURLSession.h>
#include <platform_net/NSURLSessionConfiguration.h>
#include <platform_net/SCNetworkReachability.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_system/SKStoreReviewController.h>
#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIWindow.h>

#include <netinet/in.h>

#include <cstdlib>
#include <mutex>

namespace {

struct Settings {
    std::mutex mutex;
    std::optional<std::string> appId;
    double daysUntilPrompt = 30.0;
    int64_t usesUntilPrompt = 20;
    int64_t significantEventsUntilPrompt = -1;
    double timeBeforeReminding = 1.0;
    bool debug = false;
    bool usesAnimation = true;
    bool alwaysUseMainBundle = false;
    bool modalOpen = false;
    std::function<std::optional<uint32_t>()> flagsReader;
    std::vector<std::string> logged;
};

Settings& settings() {
    static Settings s;
    return s;
}

template <class T>
T read(T Settings::*field) {
    std::lock_guard lock(settings().mutex);
    return settings().*field;
}

template <class T>
void write(T Settings::*field, T value) {
    std::lock_guard lock(settings().mutex);
    settings().*field = std::move(value);
}

void logLine(const std::string& line) {
    {
        std::lock_guard lock(settings().mutex);
        settings().logged.push_back(line);
    }
    NSLog("%@", line);
}

double now1970() { return NSDate::date().timeIntervalSince1970(); }

std::string currentVersion() {
    return NSBundle::mainBundle()->objectForInfoDictionaryKey("CFBundleVersion").stringValue();
}

std::string envOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

namespace {
// The prompt's alert: tells the prompt when its view enters and leaves the window, so that
// other threads can ask whether it is visible without touching it.
class RatePromptAlertController : public UIAlertController {
public:
    void viewWillAppear(bool animated) override {
        UIAlertController::viewWillAppear(animated);
        RatePrompt::sharedInstance()->setAlertVisibleForTesting(true);
    }
    void viewDidDisappear(bool animated) override {
        UIAlertController::viewDidDisappear(animated);
        RatePrompt::sharedInstance()->setAlertVisibleForTesting(false);
    }
};
}  // namespace

// --- settings ---

void RatePrompt::setAppId(std::string appId) { write(&Settings::appId, std::optional<std::string>(std::move(appId))); }
std::optional<std::string> RatePrompt::appId() { return read(&Settings::appId); }
void RatePrompt::setDaysUntilPrompt(double days) { write(&Settings::daysUntilPrompt, days); }
void RatePrompt::setUsesUntilPrompt(int64_t uses) { write(&Settings::usesUntilPrompt, uses); }
void RatePrompt::setSignificantEventsUntilPrompt(int64_t events) { write(&Settings::significantEventsUntilPrompt, events); }
void RatePrompt::setTimeBeforeReminding(double days) { write(&Settings::timeBeforeReminding, days); }
void RatePrompt::setDebug(bool debug) { write(&Settings::debug, debug); }
void RatePrompt::setUsesAnimation(bool animated) { write(&Settings::usesAnimation, animated); }
void RatePrompt::setAlwaysUseMainBundle(bool on) { write(&Settings::alwaysUseMainBundle, on); }
void RatePrompt::setModalOpen(bool open) { write(&Settings::modalOpen, open); }
void RatePrompt::setDelegate(std::weak_ptr<RatePromptDelegate> delegate) { sharedInstance()->delegate_ = std::move(delegate); }
void RatePrompt::setOpenInAppStore(bool on) { sharedInstance()->openInAppStore_ = on; }
void RatePrompt::setCustomAlertTitle(std::optional<std::string> t) { sharedInstance()->title_ = std::move(t); }
void RatePrompt::setCustomAlertMessage(std::optional<std::string> t) { sharedInstance()->message_ = std::move(t); }
void RatePrompt::setCustomAlertCancelButtonTitle(std::optional<std::string> t) { sharedInstance()->cancel_ = std::move(t); }
void RatePrompt::setCustomAlertRateButtonTitle(std::optional<std::string> t) { sharedInstance()->rate_ = std::move(t); }
void RatePrompt::setCustomAlertRateLaterButtonTitle(std::optional<std::string> t) { sharedInstance()->rateLater_ = std::move(t); }

void RatePrompt::setReachabilityFlagsReaderForTesting(std::function<std::optional<uint32_t>()> reader) {
    write(&Settings::flagsReader, std::move(reader));
}
std::vector<std::string> RatePrompt::loggedLines() { return read(&Settings::logged); }
void RatePrompt::clearLoggedLines() { write(&Settings::logged, std::vector<std::string>{}); }

// --- the shared instance ---

RatePrompt::RatePrompt() {
    auto version = NSProcessInfo::processInfo()->operatingSystemVersion();
    openInAppStore_ = double(version.majorVersion) + double(version.minorVersion) / 10 >= 7.0;
    eventQueue_ = NSOperationQueue::create();
    eventQueue_->setMaxConcurrentOperationCount(1);
}

std::shared_ptr<RatePrompt> RatePrompt::sharedInstance() {
    static const std::shared_ptr<RatePrompt> shared = [] {
        auto prompt = std::make_shared<RatePrompt>();
        prompt->resignObserver_ = NSNotificationCenter::defaultCenter()->addObserverForName(
            UIApplicationWillResignActiveNotification, Value(), nullptr,
            [](const NSNotification&) { RatePrompt::appWillResignActive(); });
        return prompt;
    }();
    return shared;
}

// --- texts ---

std::shared_ptr<NSBundle> RatePrompt::bundle() {
    if (read(&Settings::alwaysUseMainBundle)) return NSBundle::mainBundle();
    auto main = NSBundle::mainBundle();
    if (auto path = main->pathForResource("RatePrompt", "bundle"))
        if (auto found = NSBundle::bundleWithPath(*path)) return found;
    return main;
}

std::string RatePrompt::appName() const {
    auto main = NSBundle::mainBundle();
    Value name = main->objectForInfoDictionaryKey("CFBundleDisplayName");
    if (name.isNull() || name.stringValue().empty()) name = main->infoDictionary().objectForKey(Value("CFBundleName"));
    return name.stringValue();
}

std::string RatePrompt::text(const std::optional<std::string>& custom, const char* key, bool withAppName) {
    if (custom) return *custom;
    std::string found = bundle()->localizedStringForKey(key, "", "RatePromptLocalizable");
    if (!withAppName) return found;
    std::string name = appName();
    std::string out;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found.compare(i, 2, "%@") == 0) {
            out += name;
            ++i;
        } else {
            out += found[i];
        }
    }
    return out;
}

std::string RatePrompt::alertTitle() { return text(title_, "Rate %@", true); }
std::string RatePrompt::alertMessage() {
    return text(message_,
                "If you enjoy using %@, would you mind taking a moment to rate it? It won't take more than a minute. "
                "Thanks for your support!",
                true);
}
std::string RatePrompt::alertCancelTitle() { return text(cancel_, "No, Thanks", false); }
std::string RatePrompt::alertRateTitle() { return text(rate_, "Rate %@", true); }
std::string RatePrompt::alertRateLaterTitle() { return text(rateLater_, "Remind me later", false); }

// --- counting ---

void RatePrompt::countUse(bool significantEvent) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    std::string version = currentVersion();
    auto stored = defaults->stringForKey(kRatePromptCurrentVersion);
    if (!stored) {
        defaults->setObject(Value(version), kRatePromptCurrentVersion);
        stored = version;
    }
    const bool debug = read(&Settings::debug);
    if (debug) logLine("RATEPROMPT Tracking version: " + *stored);
    const char* counter = significantEvent ? kRatePromptSignificantEventCount : kRatePromptUseCount;
    if (*stored == version) {
        if (defaults->doubleForKey(kRatePromptFirstUseDate) == 0.0) defaults->setDouble(now1970(), kRatePromptFirstUseDate);
        int64_t count = defaults->integerForKey(counter) + 1;
        defaults->setInteger(count, counter);
        if (debug)
            logLine(std::string(significantEvent ? "RATEPROMPT Significant event count: " : "RATEPROMPT Use count: ") +
                    std::to_string(count));
    } else {
        defaults->setObject(Value(version), kRatePromptCurrentVersion);
        defaults->setDouble(significantEvent ? 0.0 : now1970(), kRatePromptFirstUseDate);
        defaults->setInteger(significantEvent ? 0 : 1, kRatePromptUseCount);
        defaults->setInteger(significantEvent ? 1 : 0, kRatePromptSignificantEventCount);
        defaults->setBool(false, kRatePromptRatedCurrentVersion);
        defaults->setBool(false, kRatePromptDeclinedToRate);
        defaults->setDouble(0.0, kRatePromptReminderRequestDate);
    }
    (void)defaults->synchronize();
}

void RatePrompt::incrementUseCount() { countUse(false); }
void RatePrompt::incrementSignificantEventCount() { countUse(true); }

bool RatePrompt::ratingConditionsHaveBeenMet() {
    if (read(&Settings::debug)) return true;
    auto defaults = NSUserDefaults::standardUserDefaults();
    double now = now1970();
    if (now - defaults->doubleForKey(kRatePromptFirstUseDate) < read(&Settings::daysUntilPrompt) * 86400) return false;
    if (defaults->integerForKey(kRatePromptUseCount) < read(&Settings::usesUntilPrompt)) return false;
    if (defaults->integerForKey(kRatePromptSignificantEventCount) < read(&Settings::significantEventsUntilPrompt))
        return false;
    if (now - defaults->doubleForKey(kRatePromptReminderRequestDate) < read(&Settings::timeBeforeReminding) * 86400)
        return false;
    return true;
}

bool RatePrompt::userHasDeclinedToRate() { return NSUserDefaults::standardUserDefaults()->boolForKey(kRatePromptDeclinedToRate); }
bool RatePrompt::userHasRatedCurrentVersion() {
    return NSUserDefaults::standardUserDefaults()->boolForKey(kRatePromptRatedCurrentVersion);
}

bool RatePrompt::ratingAlertIsAppropriate() {
    return connectedToNetwork() && !userHasDeclinedToRate() && !isRatingAlertVisible() && !userHasRatedCurrentVersion();
}

bool RatePrompt::connectedToNetwork() {
    std::optional<uint32_t> flags;
    if (auto reader = read(&Settings::flagsReader)) {
        flags = reader();
    } else {
        sockaddr_in zero{};
        zero.sin_family = AF_INET;
        auto target = SCNetworkReachabilityCreateWithAddress(reinterpret_cast<const sockaddr*>(&zero));
        SCNetworkReachabilityFlags read = 0;
        if (target && SCNetworkReachabilityGetFlags(target, &read)) flags = read;
    }
    if (!flags) {
        logLine("Error. Could not recover network reachability flags");
        return false;
    }
    bool reachable = (*flags & kSCNetworkReachabilityFlagsReachable) != 0;
    bool needsConnection = (*flags & kSCNetworkReachabilityFlagsConnectionRequired) != 0;
    bool transient = (*flags & kSCNetworkReachabilityFlagsTransientConnection) != 0;
    std::call_once(probeSessionOnce_, [this] {
        probeSession_ = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::ephemeralSessionConfiguration());
    });
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(envOr(kProbeURLVariable, kDefaultProbeURL)),
                                                NSURLRequestReloadIgnoringLocalCacheData, 20.0);
    auto task = probeSession_->dataTaskWithRequest(request);
    task->resume();
    lastProbeTask_ = task;  // its result is never read
    bool taskRunning = task->state() != NSURLSessionTaskStateSuspended;
    return ((reachable && !needsConnection) || transient) && taskRunning;
}

void RatePrompt::incrementAndRate(bool canPromptForRating) {
    incrementUseCount();
    if (canPromptForRating && ratingConditionsHaveBeenMet() && ratingAlertIsAppropriate())
        dispatch_async(dispatch_get_main_queue(), [] { sharedInstance()->showRatingAlert(true); });
}

void RatePrompt::incrementSignificantEventAndRate(bool canPromptForRating) {
    incrementSignificantEventCount();
    if (canPromptForRating && ratingConditionsHaveBeenMet() && ratingAlertIsAppropriate())
        dispatch_async(dispatch_get_main_queue(), [] { sharedInstance()->showRatingAlert(true); });
}

// --- entry points ---

namespace {
dispatch_group_t launchWork() {
    static dispatch_group_t group = dispatch_group_create();
    return group;
}
}  // namespace

void RatePrompt::waitForLaunchWorkForTesting() { dispatch_group_wait(launchWork(), DISPATCH_TIME_FOREVER); }

void RatePrompt::appLaunched(bool canPromptForRating) {
    auto prompt = sharedInstance();
    dispatch_group_async(launchWork(), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), [prompt, canPromptForRating] {
        if (read(&Settings::debug)) {
            dispatch_async(dispatch_get_main_queue(), [prompt] { prompt->showRatingAlert(true); });
            return;
        }
        prompt->incrementAndRate(canPromptForRating);
    });
}

void RatePrompt::appEnteredForeground(bool canPromptForRating) {
    auto prompt = sharedInstance();
    prompt->eventQueue_->addOperationWithBlock([prompt, canPromptForRating] { prompt->incrementAndRate(canPromptForRating); });
}

void RatePrompt::userDidSignificantEvent(bool canPromptForRating) {
    auto prompt = sharedInstance();
    prompt->eventQueue_->addOperationWithBlock(
        [prompt, canPromptForRating] { prompt->incrementSignificantEventAndRate(canPromptForRating); });
}

void RatePrompt::tryToShowPrompt() { sharedInstance()->showPromptWithChecks(true, true); }
void RatePrompt::forceShowPrompt(bool displayRateLaterButton) {
    sharedInstance()->showPromptWithChecks(false, displayRateLaterButton);
}

void RatePrompt::showPromptWithChecks(bool withChecks, bool displayRateLaterButton) {
    if (withChecks && !ratingAlertIsAppropriate()) return;
    showRatingAlert(displayRateLaterButton);
}

std::vector<std::string> RatePrompt::alertChoices(bool displayRateLaterButton) {
    std::vector<std::string> choices{alertRateTitle()};
    if (displayRateLaterButton) choices.push_back(alertRateLaterTitle());
    choices.push_back(alertCancelTitle());
    return choices;
}

int64_t RatePrompt::choiceForTitle(const std::string& title) {
    if (title == alertCancelTitle()) return 0;
    if (title == alertRateTitle()) return 1;
    if (title == alertRateLaterTitle()) return 2;
    return -1;
}

void RatePrompt::showRatingAlert(bool displayRateLaterButton) {
    auto delegate = delegate_.lock();
    if (delegate && !delegate->ratePromptShouldDisplayAlert(*this)) return;
    if (NSClassFromString("SKStoreReviewController")) {
        rateApp();
    } else {
        auto alert = std::make_shared<RatePromptAlertController>();
        alert->setTitle(alertTitle());
        alert->setMessage(alertMessage());
        auto choices = alertChoices(displayRateLaterButton);
        for (std::size_t i = 0; i < choices.size(); ++i) {
            std::string title = choices[i];
            auto style = i + 1 == choices.size() ? UIAlertActionStyleCancel : UIAlertActionStyleDefault;
            alert->addAction(UIAlertAction::actionWithTitle(title, style, [title](UIAlertAction&) {
                auto prompt = RatePrompt::sharedInstance();
                prompt->alertViewDidDismissWithButtonIndex(prompt->choiceForTitle(title));
            }));
        }
        // Without a window at the normal level holding a controller, it is kept but not shown.
        if (auto root = getRootViewController()) root->presentViewController(alert, true);
        ratingAlert_ = alert;
    }
    if (delegate) delegate->ratePromptDidDisplayAlert(*this);
}

void RatePrompt::alertViewDidDismissWithButtonIndex(int64_t index) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto delegate = delegate_.lock();
    if (index == 0) {
        defaults->setBool(true, kRatePromptDeclinedToRate);
        (void)defaults->synchronize();
        if (delegate) delegate->ratePromptDidDeclineToRate(*this);
    } else if (index == 1) {
        rateApp();
        if (delegate) delegate->ratePromptDidOptToRate(*this);
    } else if (index == 2) {
        defaults->setDouble(now1970(), kRatePromptReminderRequestDate);
        (void)defaults->synchronize();
        if (delegate) delegate->ratePromptDidOptToRemindLater(*this);
    }
    ratingAlert_.reset();
}

void RatePrompt::rateApp() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setBool(true, kRatePromptRatedCurrentVersion);
    (void)defaults->synchronize();
    if (NSClassFromString("SKStoreReviewController")) {
        SKStoreReviewController::requestReview();
        return;
    }
    auto prompt = sharedInstance();
    if (!prompt->openInAppStore_ && NSClassFromString("SKStoreProductViewController")) {
        auto sheet = std::make_shared<SKStoreProductViewController>();
        Value::Dictionary parameters;
        parameters[Value(SKStoreProductParameterITunesItemIdentifier)] =
            Value(int64_t(std::strtoll(appId().value_or("0").c_str(), nullptr, 10)));
        sheet->loadProductWithParameters(Value(std::move(parameters)), nullptr);
        sheet->setDelegate(std::shared_ptr<SKStoreProductViewControllerDelegate>(
            prompt, static_cast<SKStoreProductViewControllerDelegate*>(prompt.get())));
        const bool animated = read(&Settings::usesAnimation);
        if (auto delegate = prompt->delegate()) delegate->ratePromptWillPresentModalView(*prompt, animated);
        if (auto root = getRootViewController())
            root->presentViewController(sheet, animated, [] { setModalOpen(true); });
        return;
    }
    std::string url = std::string("itms-apps://") + envOr(kStoreHostVariable, kDefaultStoreHost) + kReviewPath;
    std::string id = appId().value_or("");
    for (std::size_t at = url.find("APP_ID"); at != std::string::npos; at = url.find("APP_ID", at + id.size()))
        url.replace(at, 6, id);
    UIApplication::sharedApplication()->openURL(url);
}

bool RatePrompt::modalOpen() { return read(&Settings::modalOpen); }

void RatePrompt::closeModal() {
    if (!read(&Settings::modalOpen)) return;
    const bool animated = read(&Settings::usesAnimation);
    write(&Settings::modalOpen, false);
    auto key = UIApplication::sharedApplication()->keyWindow();
    auto top = topMostViewController(key ? key->rootViewController() : nullptr);
    if (!top) return;
    top->dismissViewControllerAnimated(animated, [animated] {
        auto prompt = sharedInstance();
        if (auto delegate = prompt->delegate()) delegate->ratePromptDidDismissModalView(*prompt, animated);
    });
}

UIViewControllerPtr RatePrompt::topMostViewController(UIViewControllerPtr controller) {
    while (controller) {
        auto presented = controller->presentedViewController();
        if (!presented || presented == controller) break;
        controller = presented;
    }
    return controller;
}

UIViewControllerPtr RatePrompt::iterateSubViewsForViewController(const UIView& view) {
    for (auto& subview : view.subviews()) {
        if (auto controller = std::dynamic_pointer_cast<UIViewController>(subview->nextResponder()))
            return topMostViewController(controller);
        if (auto found = iterateSubViewsForViewController(*subview)) return found;
    }
    return nullptr;
}

UIViewControllerPtr RatePrompt::getRootViewController() {
    auto app = UIApplication::sharedApplication();
    auto window = app->keyWindow();
    if (!window || window->windowLevel() != UIWindowLevelNormal) {
        window = nullptr;
        for (auto& candidate : app->windows())
            if (candidate->windowLevel() == UIWindowLevelNormal) {
                window = candidate;
                break;
            }
    }
    return window ? iterateSubViewsForViewController(*window) : nullptr;
}

void RatePrompt::hideRatingAlert() {
    if (!isRatingAlertVisible()) return;
    if (read(&Settings::debug)) logLine("RATEPROMPT Hiding Alert");
    // No choice is recorded; the hidden alert stays the prompt's alert.
    if (ratingAlert_) ratingAlert_->dismissViewControllerAnimated(false);
    alertVisible_.store(false);
}

void RatePrompt::appWillResignActive() {
    if (read(&Settings::debug)) logLine("RATEPROMPT appWillResignActive");
    sharedInstance()->hideRatingAlert();
}
